// The --dump writer and the ffmpeg pipe behind video, GIF and PNG outputs.
#include "frame_sinks.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Creates (or empties) the file, so that an unwritable output is refused before any frame is rendered.
bool ProbeWritableFile(const std::string& path, std::string& error) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    error = "cannot write '" + path + "': it is a folder";
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  std::fclose(f);
  return true;
}

bool StartFfmpeg(FrameSink& sink, const std::string& audioPath, std::string& error) {
  const std::string program = FindProgramOnPath("ffmpeg");
  if (program.empty()) {
    error = "ffmpeg was not found on PATH; it is needed to write '" + sink.path + "' (install it, or use --dump)";
    return false;
  }
  std::vector<std::string> args = FfmpegArguments(sink.kind, sink.path, sink.geometry, audioPath);
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int fds[2];
  if (::pipe(fds) != 0) {
    error = std::string("cannot create a pipe to ffmpeg: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int status = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[0]);
  if (status != 0) {
    ::close(fds[1]);
    error = "cannot start ffmpeg: " + std::string(std::strerror(status));
    return false;
  }
  // A dying ffmpeg must turn into a write error, not kill the host.
  std::signal(SIGPIPE, SIG_IGN);
  sink.ffmpeg = pid;
  sink.pipe = fds[1];
  return true;
}

}  // namespace

OutputKind OutputKindForPath(const std::string& path) {
  if (path.empty()) return OutputKind::Unsupported;
  const std::string lower = Lower(path);
  if (EndsWith(lower, ".mp4")) return OutputKind::Mp4;
  if (EndsWith(lower, ".mkv")) return OutputKind::Mkv;
  if (EndsWith(lower, ".webm")) return OutputKind::Webm;
  if (EndsWith(lower, ".gif")) return OutputKind::Gif;
  std::error_code ec;
  if (path.back() == '/' || fs::is_directory(path, ec)) return OutputKind::PngDirectory;
  if (fs::exists(path, ec)) return OutputKind::Unsupported;  // an existing file of another kind
  if (!fs::path(path).has_extension()) return OutputKind::PngDirectory;
  return OutputKind::Unsupported;
}

std::string FindProgramOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::string dirs = path;
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + name;
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return {};
}

std::vector<std::string> FfmpegArguments(OutputKind kind, const std::string& path, const OutputGeometry& geometry,
                                         const std::string& audioPath) {
  std::vector<std::string> a = {"-hide_banner", "-loglevel",
                                "error",        "-y",
                                "-f",           "rawvideo",
                                "-pix_fmt",     "rgb24",
                                "-s",           std::to_string(geometry.width) + "x" + std::to_string(geometry.height),
                                "-framerate",   "50",
                                "-i",           "pipe:0"};
  const bool video = kind == OutputKind::Mp4 || kind == OutputKind::Mkv || kind == OutputKind::Webm;
  if (video && !audioPath.empty()) {
    for (const char* s : {"-i", audioPath.c_str(), "-map", "0:v:0", "-map", "1:a:0", "-shortest"}) a.push_back(s);
  }
  switch (kind) {
    case OutputKind::Mp4:
    case OutputKind::Mkv:
      for (const char* s : {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p"})
        a.push_back(s);
      if (!audioPath.empty()) {
        if (kind == OutputKind::Mp4) {
          for (const char* s : {"-c:a", "aac", "-b:a", "192k"}) a.push_back(s);
        } else {
          for (const char* s : {"-c:a", "flac"}) a.push_back(s);
        }
      }
      if (kind == OutputKind::Mp4) {
        a.push_back("-movflags");
        a.push_back("+faststart");
      }
      a.push_back(path);
      break;
    case OutputKind::Webm:
      for (const char* s : {"-c:v", "libvpx-vp9", "-crf", "30", "-b:v", "0", "-deadline", "realtime", "-cpu-used", "8",
                            "-row-mt", "1", "-pix_fmt", "yuv420p"})
        a.push_back(s);
      if (!audioPath.empty())
        for (const char* s : {"-c:a", "libopus", "-b:a", "160k"}) a.push_back(s);
      a.push_back(path);
      break;
    case OutputKind::Gif:
      // Each frame has at most 256 colours, so a palette of its own per frame keeps it exact.
      for (const char* s : {"-vf",
                            "split[a][b];[a]palettegen=stats_mode=single:reserve_transparent=0[p];"
                            "[b][p]paletteuse=new=1:dither=none",
                            "-loop", "0"})
        a.push_back(s);
      a.push_back(path);
      break;
    case OutputKind::PngDirectory:
      for (const char* s : {"-f", "image2", "-start_number", "0"}) a.push_back(s);
      a.push_back((fs::path(path) / "frame_%06d.png").string());
      break;
    default:
      a.push_back(path);
      break;
  }
  return a;
}

bool OpenFrameSink(FrameSink& sink, OutputKind kind, const std::string& path, const OutputGeometry& geometry,
                   const std::string& audioPath, std::string& error) {
  sink = {};
  sink.kind = kind;
  sink.path = path;
  sink.geometry = geometry;
  switch (kind) {
    case OutputKind::Dump:
      if (!ProbeWritableFile(path, error)) return false;
      sink.dump = std::fopen(path.c_str(), "wb");
      if (!sink.dump) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
      }
      return true;
    case OutputKind::PngDirectory: {
      std::error_code ec;
      fs::create_directories(path, ec);
      if (ec || !fs::is_directory(path) || ::access(path.c_str(), W_OK) != 0) {
        error = "cannot write into the folder '" + path + "'" + (ec ? ": " + ec.message() : "");
        return false;
      }
      break;
    }
    case OutputKind::Mp4:
    case OutputKind::Mkv:
    case OutputKind::Webm:
    case OutputKind::Gif:
      if (!ProbeWritableFile(path, error)) return false;
      break;
    default:
      error = "cannot tell what to write to '" + path +
              "': use a name ending in .mp4, .mkv, .webm or .gif, or a folder for PNG frames";
      return false;
  }
  sink.rgb.resize(static_cast<std::size_t>(geometry.width) * static_cast<std::size_t>(geometry.height) * 3);
  return StartFfmpeg(sink, audioPath, error);
}

bool WriteFrameToSink(FrameSink& sink, const std::uint8_t* indices, const std::uint8_t* palette, std::string& error) {
  if (sink.dump) {
    if (std::fwrite(indices, 1, kScreenPixels, sink.dump) != kScreenPixels ||
        std::fwrite(palette, 1, kPaletteBytes, sink.dump) != kPaletteBytes) {
      error = "cannot write '" + sink.path + "': " + std::strerror(errno);
      return false;
    }
    ++sink.frames;
    return true;
  }
  ExpandFrame(indices, palette, sink.geometry, sink.rgb.data());
  if (sink.pipe < 0 || !WriteAll(sink.pipe, sink.rgb.data(), sink.rgb.size())) {
    error = "ffmpeg stopped taking frames for '" + sink.path + "'";
    return false;
  }
  ++sink.frames;
  return true;
}

bool CloseFrameSink(FrameSink& sink, std::string& error) {
  bool ok = true;
  if (sink.dump) {
    if (std::fclose(sink.dump) != 0) {
      error = "cannot write '" + sink.path + "': " + std::strerror(errno);
      ok = false;
    }
    sink.dump = nullptr;
  }
  if (sink.pipe >= 0) {
    ::close(sink.pipe);
    sink.pipe = -1;
  }
  if (sink.ffmpeg > 0) {
    int status = 0;
    while (::waitpid(sink.ffmpeg, &status, 0) < 0 && errno == EINTR) {
    }
    sink.ffmpeg = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      if (ok) error = "ffmpeg failed to write '" + sink.path + "'";
      ok = false;
    }
  }
  return ok;
}
