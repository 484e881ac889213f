// The --dump writer and the ffmpeg pipes behind video, stream, GIF and PNG outputs, each written under a temporary
// name and renamed when complete.
#include "frame_sinks.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "indexed_frame.h"
#include "interruption.h"
#include "output_target.h"
#include "rgb_to_yuv.h"

extern char** environ;

namespace fs = std::filesystem;

const char kOutputKindsText[] =
    "a name ending in .mp4, .mkv, .mov, .webm or .gif, .png for one still, a folder for PNG frames (an existing one, "
    "or a name ending in '/'), or - for Matroska on standard output (and on a device or named pipe without one of "
    "these endings)";

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsVideo(OutputKind kind) { return IsVideoOutput(kind); }

bool MakeTemporary(FrameSink& sink, std::string& error) {
  std::string name = TemporaryNameBeside(sink.path);
  if (sink.kind == OutputKind::PngDirectory) {
    if (!::mkdtemp(name.data())) {
      error = "cannot write '" + sink.path + "': " + std::strerror(errno);
      return false;
    }
    // mkdtemp makes the folder private; the finished one has the mode of the empty folder it replaces, or that of
    // a new folder.
    struct stat existing {};
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(name.c_str(), ::stat(sink.path.c_str(), &existing) == 0 ? existing.st_mode & 07777 : 0777 & ~mask);
  } else {
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
      error = "cannot write '" + sink.path + "': " + std::strerror(errno);
      return false;
    }
    // The final file keeps the permissions a newly created file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    if (sink.kind == OutputKind::Dump) {
      sink.dump = ::fdopen(fd, "wb");
      if (!sink.dump) {
        ::close(fd);
        ::unlink(name.c_str());
        error = "cannot write '" + sink.path + "': " + std::strerror(errno);
        return false;
      }
    } else {
      ::close(fd);
    }
  }
  sink.temporary = name;
  return true;
}

void RemoveTemporary(FrameSink& sink) {
  if (sink.temporary.empty()) return;
  std::error_code ec;
  fs::remove_all(sink.temporary, ec);
  sink.temporary.clear();
}

// A pipe whose ends close on exec, with the read end away from the descriptors the child is given (0 to 3).
bool MakePipe(int fds[2]) {
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  if (fds[0] <= 3) {
    const int moved = ::fcntl(fds[0], F_DUPFD_CLOEXEC, 10);
    ::close(fds[0]);
    fds[0] = moved;
  }
  return fds[0] >= 0;
}

bool StartFfmpeg(FrameSink& sink, const EncoderChoice& encoder, std::string& error) {
  const std::string program = FindProgramOnPath("ffmpeg");
  if (program.empty()) {
    error = "ffmpeg was not found on PATH; it is needed to write '" + sink.path + "' (install it, or use --dump)";
    return false;
  }
  // Names go to ffmpeg with the file protocol named, so that no name is ever read as another protocol or an URL.
  // A device or pipe is written as it is; everything else under the temporary name.
  const std::string written = sink.temporary.empty() ? sink.path : sink.temporary;
  std::string target = "pipe:1";
  if (sink.kind == OutputKind::PngDirectory)
    target = "file:" + EscapeFramePattern(fs::absolute(written).string()) + "/frame_%06d.png";
  else if (sink.kind != OutputKind::MatroskaStream)
    target = "file:" + fs::absolute(written).string();
  std::vector<std::string> args = FfmpegArguments(sink.kind, target, sink.scaler.geometry, sink.audio, encoder);
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int video[2] = {-1, -1}, audio[2] = {-1, -1};
  if (!MakePipe(video) || (sink.audio.channels > 0 && !MakePipe(audio))) {
    error = std::string("cannot create a pipe to ffmpeg: ") + std::strerror(errno);
    for (int fd : {video[0], video[1], audio[0], audio[1]})
      if (fd >= 0) ::close(fd);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, video[0], 0);
  if (audio[0] >= 0) posix_spawn_file_actions_adddup2(&actions, audio[0], 3);
  if (sink.kind != OutputKind::MatroskaStream) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int status = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(video[0]);
  if (audio[0] >= 0) ::close(audio[0]);
  if (status != 0) {
    ::close(video[1]);
    if (audio[1] >= 0) ::close(audio[1]);
    error = "cannot start ffmpeg: " + std::string(std::strerror(status));
    return false;
  }
  // A dying ffmpeg must turn into a write error, not kill the host. Both pipes are written without blocking, so
  // that ffmpeg waiting for one input never waits on us blocked writing the other.
  std::signal(SIGPIPE, SIG_IGN);
  ::fcntl(video[1], F_SETFL, O_NONBLOCK);
  if (audio[1] >= 0) ::fcntl(audio[1], F_SETFL, O_NONBLOCK);
  sink.ffmpeg = pid;
  sink.videoPipe = video[1];
  sink.audioPipe = audio[1];
  return true;
}

// Writes what it can of the queued sound without waiting. False when ffmpeg no longer takes it.
bool DrainAudio(FrameSink& sink) {
  std::vector<std::uint8_t>& queue = sink.audioQueue;
  while (sink.audioPipe >= 0 && sink.audioQueueAt < queue.size()) {
    const ssize_t n = ::write(sink.audioPipe, queue.data() + sink.audioQueueAt, queue.size() - sink.audioQueueAt);
    if (n < 0) {
      if (errno != EAGAIN && errno != EINTR) return false;
      break;
    }
    sink.audioQueueAt += static_cast<std::size_t>(n);
  }
  // ffmpeg reads the sound to its end while it starts, before it takes a frame: it must see the end.
  if (sink.soundEnded && sink.audioQueueAt == queue.size() && sink.audioPipe >= 0) {
    ::close(sink.audioPipe);
    sink.audioPipe = -1;
  }
  // Taken bytes leave the front once they are many, so the queue keeps the size it grew to.
  if (sink.audioQueueAt == queue.size() || sink.audioQueueAt > (1u << 20)) {
    queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(sink.audioQueueAt));
    sink.audioQueueAt = 0;
  }
  return true;
}

bool AudioQueued(const FrameSink& sink) { return sink.audioPipe >= 0 && sink.audioQueueAt < sink.audioQueue.size(); }

// Writes all of `data` to the frame pipe, feeding the sound pipe whenever ffmpeg takes it.
bool WriteFrameBytes(FrameSink& sink, const std::uint8_t* data, std::size_t size, std::string& error) {
  while (size > 0) {
    if (Interrupted()) {
      error = std::string("interrupted by ") + InterruptionName();
      return false;
    }
    if (!AudioQueued(sink) && sink.feedSound) {
      const int fed = sink.feedSound();
      if (fed < 0) {
        error = sink.soundError;
        return false;
      }
      if (fed > 0) continue;
      // The sound ended with nothing left to give: ffmpeg must see its end now, or it waits for more sound while
      // we wait for it to take the frame.
      if (!DrainAudio(sink)) {
        error = "ffmpeg stopped taking the sound for '" + sink.path + "'";
        return false;
      }
    }
    pollfd fds[2] = {{sink.videoPipe, POLLOUT, 0}, {sink.audioPipe, POLLOUT, 0}};
    const bool sound = AudioQueued(sink);
    if (::poll(fds, sound ? 2 : 1, -1) < 0) {
      if (errno == EINTR) continue;
      error = std::string("cannot wait for ffmpeg: ") + std::strerror(errno);
      return false;
    }
    if (sound && fds[1].revents != 0 && !DrainAudio(sink)) {
      error = "ffmpeg stopped taking the sound for '" + sink.path + "'";
      return false;
    }
    if (fds[0].revents == 0) continue;
    const ssize_t n = ::write(sink.videoPipe, data, size);
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      error = "ffmpeg stopped taking frames for '" + sink.path + "'";
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void StopFfmpeg(FrameSink& sink, bool kill) {
  if (sink.videoPipe >= 0) ::close(sink.videoPipe);
  if (sink.audioPipe >= 0) ::close(sink.audioPipe);
  sink.videoPipe = sink.audioPipe = -1;
  if (sink.ffmpeg > 0) {
    if (kill) ::kill(sink.ffmpeg, SIGKILL);
    int status = 0;
    while (::waitpid(sink.ffmpeg, &status, 0) < 0 && errno == EINTR) {
    }
    sink.ffmpeg = -1;
  }
}

}  // namespace

OutputKind OutputKindForPath(const std::string& path) {
  if (path.empty()) return OutputKind::Unsupported;
  if (path == "-") return OutputKind::MatroskaStream;
  const std::string lower = Lower(path);
  std::error_code ec;
  if (path.back() == '/' || fs::is_directory(path, ec)) return OutputKind::PngDirectory;
  if (EndsWith(lower, ".mp4")) return OutputKind::Mp4;
  if (EndsWith(lower, ".mkv")) return OutputKind::Mkv;
  if (EndsWith(lower, ".webm")) return OutputKind::Webm;
  if (EndsWith(lower, ".gif")) return OutputKind::Gif;
  if (EndsWith(lower, ".mov")) return OutputKind::Mov;
  if (EndsWith(lower, ".png")) return OutputKind::Png;
  // A device or a named pipe has no ending to go by: it gets a stream, as standard output does.
  if (IsWrittenInPlace(path)) return OutputKind::Mkv;
  return OutputKind::Unsupported;
}

bool OutputTakesYuv(OutputKind kind) { return IsVideo(kind); }

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

std::vector<std::string> FfmpegArguments(OutputKind kind, const std::string& target, const OutputGeometry& geometry,
                                         const AudioFeed& audio, const EncoderChoice& encoder) {
  const bool video = IsVideo(kind);
  std::vector<std::string> a = {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "rawvideo"};
  const char* colour[] = {"-color_range",     "tv",    "-colorspace", "bt709",
                          "-color_primaries", "bt709", "-color_trc",  "bt709"};
  for (const char* s : {"-pix_fmt", video ? "yuv420p" : kind == OutputKind::Gif ? "pal8" : "rgb24"}) a.push_back(s);
  a.push_back("-s");
  a.push_back(std::to_string(geometry.width) + "x" + std::to_string(geometry.height));
  a.push_back("-framerate");
  a.push_back(kind == OutputKind::Gif ? std::to_string(encoder.gifFramesPerSecond) : "50");
  if (video) a.insert(a.end(), std::begin(colour), std::end(colour));
  for (const char* s : {"-i", "pipe:0"}) a.push_back(s);
  const bool copy = video && !encoder.copySoundFrom.empty();
  const bool sound = video && (audio.channels > 0 || copy);
  if (copy) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", encoder.copyStart);
    for (const char* s : {"-ss", static_cast<const char*>(seconds)}) a.push_back(s);
    if (encoder.copyLength >= 0) {
      std::snprintf(seconds, sizeof seconds, "%.3f", encoder.copyLength);
      for (const char* s : {"-t", static_cast<const char*>(seconds)}) a.push_back(s);
    }
    a.push_back("-i");
    a.push_back("file:" + fs::absolute(encoder.copySoundFrom).string());
    for (const char* s : {"-map", "0:v:0", "-map", "1:a:0"}) a.push_back(s);
  } else if (sound) {
    // Both inputs are raw and fully described: nothing is to be learnt by reading ahead while starting.
    for (const char* s : {"-probesize", "32", "-analyzeduration", "0", "-f", "f32le", "-ar"}) a.push_back(s);
    a.push_back(std::to_string(audio.rate));
    a.push_back("-ac");
    a.push_back(std::to_string(audio.channels));
    for (const char* s : {"-i", "pipe:3", "-map", "0:v:0", "-map", "1:a:0"}) a.push_back(s);
  }
  if (video) {
    AppendVideoEncoding(kind, encoder, a);
    a.insert(a.end(), std::begin(colour), std::end(colour));
    if (sound) AppendAudioEncoding(kind, encoder, a);
    AppendTags(encoder, a);
  }
  switch (kind) {
    case OutputKind::Mp4:
      for (const char* s : {"-movflags", "+faststart", "-f", "mp4"}) a.push_back(s);
      break;
    case OutputKind::Mov:
      for (const char* s : {"-movflags", "+faststart", "-f", "mov"}) a.push_back(s);
      break;
    case OutputKind::Mkv:
    case OutputKind::MatroskaStream:
      for (const char* s : {"-f", "matroska"}) a.push_back(s);
      break;
    case OutputKind::Webm:
      for (const char* s : {"-f", "webm"}) a.push_back(s);
      break;
    case OutputKind::Gif:
      // The frames' own indices and palettes go in as they are: no colour is quantised or dithered.
      for (const char* s : {"-loop", "0", "-f", "gif"}) a.push_back(s);
      break;
    case OutputKind::Png:
      for (const char* s : {"-frames:v", "1", "-update", "1", "-c:v", "png", "-f", "image2"}) a.push_back(s);
      break;
    case OutputKind::PngDirectory:
      for (const char* s : {"-f", "image2", "-start_number", "0"}) a.push_back(s);
      break;
    default:
      break;
  }
  a.push_back(target);
  return a;
}

bool OpenFrameSink(FrameSink& sink, OutputKind kind, const std::string& path, const OutputGeometry& geometry,
                   const AudioFeed& audio, const EncoderChoice& encoder, bool replace, std::string& error) {
  sink = {};
  sink.kind = kind;
  sink.path = path;
  sink.replace = replace;
  sink.audio = IsVideo(kind) ? audio : AudioFeed{};
  PrepareFrameScaler(sink.scaler, geometry);
  sink.scaling = kind == OutputKind::Gif ? Scaling::Nearest : encoder.scaling;
  if (sink.scaling != Scaling::Nearest && kind != OutputKind::Dump)
    PrepareFrameResampler(sink.resampler, geometry, sink.scaling);
  if (kind == OutputKind::Gif) sink.frameStep = 50 / std::max(1, encoder.gifFramesPerSecond);
  if (kind == OutputKind::Unsupported) {
    error = "cannot tell what to write to '" + path + "': use " + kOutputKindsText;
    return false;
  }
  if (kind != OutputKind::Dump && FindProgramOnPath("ffmpeg").empty()) {
    error = "ffmpeg was not found on PATH; it is needed to write '" + path + "' (install it, or use --dump)";
    return false;
  }
  if (kind != OutputKind::MatroskaStream && IsWrittenInPlace(path)) {
    // A device or a pipe is opened as it is: renaming a file over it would replace it.
    if (kind == OutputKind::Dump && !(sink.dump = std::fopen(path.c_str(), "wb"))) {
      error = "cannot write '" + path + "': " + std::strerror(errno);
      return false;
    }
  } else if (kind != OutputKind::MatroskaStream && !MakeTemporary(sink, error)) {
    return false;
  }
  if (kind == OutputKind::Dump) return true;
  const std::size_t pixels = static_cast<std::size_t>(geometry.width) * static_cast<std::size_t>(geometry.height);
  sink.pixels.resize(kind == OutputKind::Gif ? IndexedFrameBytes(geometry)
                     : OutputTakesYuv(kind)  ? pixels * 3 / 2
                                             : pixels * 3);
  if (!StartFfmpeg(sink, encoder, error)) {
    RemoveTemporary(sink);
    return false;
  }
  return true;
}

namespace {

// One frame of --dump: the picture's bytes, then (classic frames) the palette's.
bool AppendToDump(FrameSink& sink, const void* picture, std::size_t pictureBytes, const void* palette,
                  std::size_t paletteBytes, std::string& error) {
  if (std::fwrite(picture, 1, pictureBytes, sink.dump) != pictureBytes ||
      (paletteBytes != 0 && std::fwrite(palette, 1, paletteBytes, sink.dump) != paletteBytes)) {
    error = "cannot write '" + sink.path + "': " + std::strerror(errno);
    return false;
  }
  ++sink.frames;
  return true;
}

bool EncoderTakesFrames(const FrameSink& sink, std::string& error) {
  if (sink.videoPipe >= 0) return true;
  error = "ffmpeg stopped taking frames for '" + sink.path + "'";
  return false;
}

}  // namespace

bool WriteFrameToSink(FrameSink& sink, const std::uint8_t* indices, const std::uint8_t* palette, std::string& error) {
  if (sink.dump) return AppendToDump(sink, indices, kScreenPixels, palette, kPaletteBytes, error);
  if (!EncoderTakesFrames(sink, error)) return false;
  if (sink.received++ % sink.frameStep != 0) return true;
  const bool nearest = sink.scaling == Scaling::Nearest;
  if (sink.kind == OutputKind::Gif)
    ScaleFrameToIndexed(sink.scaler, indices, palette, sink.pixels.data());
  else if (OutputTakesYuv(sink.kind) && nearest)
    ScaleFrameToYuv420(sink.scaler, indices, palette, sink.pixels.data());
  else if (OutputTakesYuv(sink.kind))
    ResampleFrameToYuv420(sink.resampler, indices, palette, sink.pixels.data());
  else if (nearest)
    ScaleFrameToRgb(sink.scaler, indices, palette, sink.pixels.data());
  else
    ResampleFrameToRgb(sink.resampler, indices, palette, sink.pixels.data());
  if (!WriteFrameBytes(sink, sink.pixels.data(), sink.pixels.size(), error)) return false;
  ++sink.frames;
  return true;
}

bool WriteAudioToSink(FrameSink& sink, const double* interleaved, std::int64_t frames, int channels,
                      std::string& error) {
  if (sink.audioPipe < 0 || frames <= 0) return true;
  const int taken = sink.audio.channels;
  for (std::int64_t i = 0; i < frames; ++i) {
    for (int c = 0; c < taken; ++c) {
      const double v = interleaved[i * channels + std::min(c, channels - 1)];
      const float sample = v != v ? 0.0f : static_cast<float>(std::clamp(v, -1.0, 1.0));
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(&sample);
      sink.audioQueue.insert(sink.audioQueue.end(), bytes, bytes + sizeof sample);
    }
  }
  if (!DrainAudio(sink)) {
    error = "ffmpeg stopped taking the sound for '" + sink.path + "'";
    return false;
  }
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
  if (sink.videoPipe >= 0) {
    ::close(sink.videoPipe);
    sink.videoPipe = -1;
  }
  // The rest of the sound, waiting for ffmpeg to take it now that the frames have ended.
  while (ok && AudioQueued(sink)) {
    if (Interrupted()) {
      error = std::string("interrupted by ") + InterruptionName();
      ok = false;
      break;
    }
    pollfd p{sink.audioPipe, POLLOUT, 0};
    if (::poll(&p, 1, -1) < 0 && errno != EINTR) ok = false;
    if (ok && !DrainAudio(sink)) {
      error = "ffmpeg stopped taking the sound for '" + sink.path + "'";
      ok = false;
    }
  }
  if (sink.ffmpeg > 0) {
    if (sink.audioPipe >= 0) ::close(sink.audioPipe);
    sink.audioPipe = -1;
    int status = 0;
    if (!ok) ::kill(sink.ffmpeg, SIGKILL);
    while (::waitpid(sink.ffmpeg, &status, 0) < 0 && errno == EINTR) {
    }
    sink.ffmpeg = -1;
    if (ok && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) {
      error = Interrupted() ? std::string("interrupted by ") + InterruptionName()
                            : "ffmpeg failed to write '" + sink.path + "'";
      ok = false;
    }
  }
  if (ok && Interrupted()) {
    error = std::string("interrupted by ") + InterruptionName();
    ok = false;
  }
  if (ok && !sink.temporary.empty()) {
    // Without -y a file that appeared under the name during the render is kept; with -y it is replaced.
    const unsigned flags = sink.replace ? 0 : RENAME_NOREPLACE;
    if (::renameat2(AT_FDCWD, sink.temporary.c_str(), AT_FDCWD, sink.path.c_str(), flags) != 0 &&
        !(sink.kind == OutputKind::PngDirectory && errno == EEXIST && fs::is_empty(sink.path) &&
          ::rename(sink.temporary.c_str(), sink.path.c_str()) == 0)) {
      error = "cannot put the finished output under '" + sink.path + "': " + std::strerror(errno);
      ok = false;
    } else {
      sink.temporary.clear();
    }
  }
  RemoveTemporary(sink);
  return ok;
}

void AbandonFrameSink(FrameSink& sink) {
  if (sink.dump) std::fclose(sink.dump);
  sink.dump = nullptr;
  StopFfmpeg(sink, true);
  RemoveTemporary(sink);
}

bool WritePictureToSink(FrameSink& sink, const std::uint8_t* rgb, int bytesPerPixel, std::string& error) {
  const OutputGeometry& g = sink.scaler.geometry;
  const std::size_t bytes = static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height) * 3;
  if (OutputTakesYuv(sink.kind) != (bytesPerPixel == 4)) {
    error = "internal error: a picture of " + std::to_string(bytesPerPixel) + " bytes a pixel for this output";
    return false;
  }
  if (sink.dump) return AppendToDump(sink, rgb, bytes, nullptr, 0, error);
  if (!EncoderTakesFrames(sink, error)) return false;
  const std::uint8_t* frame = rgb;
  if (OutputTakesYuv(sink.kind)) {
    RgbxToYuv420(rgb, g.width, g.height, sink.pixels.data());
    frame = sink.pixels.data();
  }
  if (!WriteFrameBytes(sink, frame, OutputTakesYuv(sink.kind) ? sink.pixels.size() : bytes, error)) return false;
  ++sink.frames;
  return true;
}
