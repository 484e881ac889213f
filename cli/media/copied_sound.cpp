// The codec of the file's sound from its demuxer, the container's verdict from avformat_query_codec: found before
// any frame is rendered, rather than as ffmpeg's failure at the end.
#include "copied_sound.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/codec_desc.h>
#include <libavformat/avformat.h>
}

#include <sys/stat.h>

#include <memory>

namespace {

struct FormatCloser {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};

}  // namespace

std::string CopiedSoundProblem(const std::string& path, const char* muxer, const char* containerName) {
  // A pipe can be read only once, and that once is the render's.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  AVFormatContext* opened = nullptr;
  const int r = avformat_open_input(&opened, ("file:" + path).c_str(), nullptr, &options);
  av_dict_free(&options);
  if (r < 0) return {};
  std::unique_ptr<AVFormatContext, FormatCloser> format(opened);
  if (avformat_find_stream_info(format.get(), nullptr) < 0) return {};
  const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  const AVOutputFormat* container = av_guess_format(muxer, nullptr, nullptr);
  if (stream < 0 || !container) return {};
  const AVCodecID codec = format->streams[stream]->codecpar->codec_id;
  // 1: the container holds it; 0: it does not; below 0: the muxer cannot tell, and ffmpeg will.
  if (avformat_query_codec(container, codec, FF_COMPLIANCE_EXPERIMENTAL) != 0) return {};
  const AVCodecDescriptor* described = avcodec_descriptor_get(codec);
  const std::string name = described ? described->name : "its";
  return "--audio-codec copy: the sound of '" + path + "' is " + name + ", which " + containerName +
         " cannot hold; encode it (leave out --audio-codec) or copy it into .mkv";
}
