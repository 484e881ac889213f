// The written output synced and read back through FFmpeg's libraries.
#include "output_check.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

struct InputCloser {
  AVFormatContext* context = nullptr;
  ~InputCloser() { avformat_close_input(&context); }
};

// Reads the file back: "" when it opens with a picture of `frames` frames (where the container counts them), else
// what is wrong with it.
std::string ReadBack(OutputKind kind, const std::string& file, std::int64_t frames) {
  av_log_set_level(AV_LOG_QUIET);
  InputCloser input;
  int r = avformat_open_input(&input.context, ("file:" + file).c_str(), nullptr, nullptr);
  if (r >= 0) r = avformat_find_stream_info(input.context, nullptr);
  if (r < 0) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(r, text, sizeof text);
    return std::string("what was written cannot be read back (") + text + ")";
  }
  const int video = av_find_best_stream(input.context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video < 0) return "what was written holds no picture";
  const std::int64_t counted = input.context->streams[video]->nb_frames;
  const bool counts = kind == OutputKind::Mp4 || kind == OutputKind::Mov;
  if (counts && counted > 0 && counted != frames)
    return "what was written holds " + std::to_string(counted) + " of the " + std::to_string(frames) + " frames";
  return {};
}

// "" when the folder holds one PNG for each of `frames`, else what is wrong.
std::string CountFrames(const std::string& folder, std::int64_t frames) {
  std::int64_t found = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (!entry.is_regular_file(ec) || entry.file_size(ec) == 0) return "'" + entry.path().string() + "' is empty";
    if (const int cause = SyncToDisk(entry.path().string())) return std::strerror(cause);
    ++found;
  }
  if (ec) return ec.message();
  if (found != frames)
    return "the folder holds " + std::to_string(found) + " of the " + std::to_string(frames) + " frames";
  return {};
}

}  // namespace

int SyncToDisk(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int cause = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return cause;
}

bool CheckWrittenOutput(OutputKind kind, const std::string& written, std::int64_t frames, const std::string& name,
                        std::string& error) {
  std::string problem;
  if (kind == OutputKind::PngDirectory)
    problem = CountFrames(written, frames);
  else if (const int cause = SyncToDisk(written))
    problem = std::strerror(cause);
  else
    problem = ReadBack(kind, written, frames);
  if (kind == OutputKind::PngDirectory && problem.empty())
    if (const int cause = SyncToDisk(written)) problem = std::strerror(cause);
  if (problem.empty()) return true;
  error = "cannot write '" + name + "': " + problem;
  return false;
}
