// Tags read by FFmpeg's demuxers, which know those of every container the decoder reads (RIFF INFO, ID3,
// Vorbis comments, MP4 atoms).
#include "audio_tags.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <sys/stat.h>

#include <memory>

const char* const kCopiedAudioTags[3] = {"title", "artist", "album"};

namespace {

// Longer tags are cut (at a whole UTF-8 character): they go to the encoder on its command line, which has a limit.
constexpr std::size_t kLongestTag = 1024;

std::string CutTag(std::string text) {
  if (text.size() <= kLongestTag) return text;
  text.resize(kLongestTag);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) text.pop_back();
  if (!text.empty() && (static_cast<unsigned char>(text.back()) & 0x80) != 0) text.pop_back();
  return text;
}

struct FormatCloser {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};

}  // namespace

std::vector<std::pair<std::string, std::string>> ReadAudioTags(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> tags;
  // A pipe, a terminal or a device can be read only once, and that once is the decoder's.
  struct stat st {};
  if (path == "-" || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return tags;
  AVDictionary* options = nullptr;
  // Only ever a file: a name is never read as another protocol or an URL.
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  AVFormatContext* opened = nullptr;
  const int r = avformat_open_input(&opened, ("file:" + path).c_str(), nullptr, &options);
  av_dict_free(&options);
  if (r < 0) return tags;
  std::unique_ptr<AVFormatContext, FormatCloser> format(opened);
  // Ogg and Opus keep their comments with the stream, found once the stream's headers are read.
  if (!format->metadata || !av_dict_get(format->metadata, "title", nullptr, 0))
    avformat_find_stream_info(format.get(), nullptr);
  const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  for (const char* key : kCopiedAudioTags) {
    const AVDictionaryEntry* e = av_dict_get(format->metadata, key, nullptr, 0);
    if (!e && stream >= 0) e = av_dict_get(format->streams[stream]->metadata, key, nullptr, 0);
    if (e && e->value && *e->value) tags.emplace_back(key, CutTag(e->value));
  }
  return tags;
}
