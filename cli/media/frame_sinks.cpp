// The frame writers: --dump's records, and each frame converted for ffmpeg; the output committed when complete.
#include "frame_sinks.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "indexed_frame.h"
#include "interruption.h"
#include "output_check.h"
#include "output_target.h"
#include "rgb_to_yuv.h"

namespace fs = std::filesystem;

namespace {

std::string NoFfmpegText(const std::string& path) {
  return "ffmpeg was not found on PATH; it is needed to write '" + path + "' (install it, or use --dump)";
}

// Names go to ffmpeg with the file protocol named, so that no name is ever read as another protocol or an URL.
// A device or pipe is written as it is; everything else under the temporary name.
std::string EncoderTarget(const FrameSink& sink) {
  const std::string written = sink.temporary.Made() ? sink.temporary.Path() : sink.path;
  if (sink.kind == OutputKind::MatroskaStream) return "pipe:1";
  if (sink.kind == OutputKind::PngDirectory)
    return "file:" + EscapeFramePattern(fs::absolute(written).string()) + "/frame_%06d.png";
  return "file:" + fs::absolute(written).string();
}

bool StartEncoder(FrameSink& sink, const EncoderChoice& encoder, std::string& error) {
  const std::string program = FindProgramOnPath("ffmpeg");
  if (program.empty()) {
    error = NoFfmpegText(sink.path);
    return false;
  }
  std::vector<std::string> args =
      FfmpegArguments(sink.kind, EncoderTarget(sink), sink.scaler.geometry, sink.audio, encoder);
  args.insert(args.begin(), program);
  return sink.encoder.Start(std::move(args), sink.audio.channels > 0, sink.kind == OutputKind::MatroskaStream,
                            sink.path, error);
}

// Where the output is written until it is complete; a device or a pipe is opened as it is (renaming a file over
// it would replace it), standard output is ffmpeg's own.
bool OpenWhereWritten(FrameSink& sink, std::string& error) {
  const bool dump = sink.kind == OutputKind::Dump;
  if (sink.kind == OutputKind::MatroskaStream) return true;
  if (dump && NamesStandardStream(sink.path, 1)) {
    // A copy of the descriptor: closing the dump leaves standard output to the process.
    const int fd = ::dup(STDOUT_FILENO);
    sink.dump.reset(fd >= 0 ? ::fdopen(fd, "wb") : nullptr);
    if (!sink.dump && fd >= 0) ::close(fd);
  } else if (!IsWrittenInPlace(sink.path)) {
    std::FILE* file = nullptr;
    if (!sink.temporary.Create(sink.path, sink.kind == OutputKind::PngDirectory, dump ? &file : nullptr, error))
      return false;
    sink.dump.reset(file);
    return true;
  } else if (dump) {
    sink.dump.reset(std::fopen(sink.path.c_str(), "wb"));
  }
  if (dump && !sink.dump) {
    error = "cannot write '" + sink.path + "': " + std::strerror(errno);
    return false;
  }
  return true;
}

// One frame of --dump: the picture's bytes, then (classic frames) the palette's.
bool AppendToDump(FrameSink& sink, const void* picture, std::size_t pictureBytes, const void* palette,
                  std::size_t paletteBytes, std::string& error) {
  if (std::fwrite(picture, 1, pictureBytes, sink.dump.get()) != pictureBytes ||
      (paletteBytes != 0 && std::fwrite(palette, 1, paletteBytes, sink.dump.get()) != paletteBytes)) {
    error = "cannot write '" + sink.path + "': " + std::strerror(errno);
    return false;
  }
  sink.dumpBytes += static_cast<std::int64_t>(pictureBytes + paletteBytes);
  ++sink.frames;
  return true;
}

// A file (not a device or pipe) must hold every byte handed to it, on the disk.
bool CloseDump(FrameSink& sink, std::string& error) {
  if (!sink.dump) return true;
  std::FILE* file = sink.dump.release();
  int cause = std::fflush(file) == 0 ? 0 : errno;
  struct stat st {};
  const bool regular = ::fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode);
  if (cause == 0 && regular && ::fsync(fileno(file)) != 0) cause = errno;
  if (std::fclose(file) != 0 && cause == 0) cause = errno;
  // Standard output redirected to a file may have held bytes before ours.
  if (cause == 0 && sink.temporary.Made() && st.st_size != sink.dumpBytes) cause = EIO;
  if (cause == 0) return true;
  error = "cannot write '" + sink.path + "': " + std::strerror(cause);
  return false;
}

}  // namespace

bool OpenFrameSink(FrameSink& sink, OutputKind kind, const std::string& path, const OutputGeometry& geometry,
                   const AudioFeed& audio, const EncoderChoice& encoder, bool replace, std::string& error) {
  sink = FrameSink{};
  sink.kind = kind;
  sink.path = path;
  sink.replace = replace;
  sink.audio = IsVideoOutput(kind) ? audio : AudioFeed{};
  PrepareFrameScaler(sink.scaler, geometry);
  sink.scaling = kind == OutputKind::Gif ? Scaling::Nearest : encoder.scaling;
  if (sink.scaling != Scaling::Nearest && kind != OutputKind::Dump)
    PrepareFrameResampler(sink.resampler, geometry, sink.scaling);
  if (kind == OutputKind::Gif || IsVideoOutput(kind)) sink.frameStep = 50 / std::max(1, FramesPerSecond(kind, encoder));
  if (kind == OutputKind::Unsupported) {
    error = "cannot tell what to write to '" + path + "': use " + kOutputKindsText;
    return false;
  }
  if (kind != OutputKind::Dump && FindProgramOnPath("ffmpeg").empty()) {
    error = NoFfmpegText(path);
    return false;
  }
  if (!OpenWhereWritten(sink, error)) return false;
  if (kind == OutputKind::Dump) return true;
  const std::size_t pixels = static_cast<std::size_t>(geometry.width) * static_cast<std::size_t>(geometry.height);
  sink.pixels.resize(kind == OutputKind::Gif ? IndexedFrameBytes(geometry)
                     : OutputTakesYuv(kind)  ? pixels * 3 / 2
                                             : pixels * 3);
  if (StartEncoder(sink, encoder, error)) return true;
  sink.temporary.Abandon();
  return false;
}

bool WriteFrameToSink(FrameSink& sink, const std::uint8_t* indices, const std::uint8_t* palette, std::string& error) {
  if (sink.dump) return AppendToDump(sink, indices, kScreenPixels, palette, kPaletteBytes, error);
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
  if (!sink.encoder.WriteFrame(sink.pixels.data(), sink.pixels.size(), error)) return false;
  ++sink.frames;
  return true;
}

bool SinkSkipsNextFrame(const FrameSink& sink) { return !sink.dump && sink.received % sink.frameStep != 0; }

bool WritePictureToSink(FrameSink& sink, const std::uint8_t* pixels, PicturePixels layout, std::string& error) {
  const OutputGeometry& g = sink.scaler.geometry;
  const std::size_t bytes = static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height) * 3;
  if (OutputTakesYuv(sink.kind) != (layout != PicturePixels::Rgb)) {
    error = "internal error: a picture of " + std::to_string(BytesPerPixel(layout)) + " bytes a pixel for this output";
    return false;
  }
  if (sink.dump) return AppendToDump(sink, pixels, bytes, nullptr, 0, error);
  if (sink.received++ % sink.frameStep != 0) return true;
  const std::uint8_t* frame = pixels;
  if (layout == PicturePixels::Rgbx) RgbxToYuv420(pixels, g.width, g.height, sink.pixels.data());
  if (layout == PicturePixels::Yuvx) YuvxToYuv420(pixels, g.width, g.height, sink.pixels.data());
  if (layout != PicturePixels::Rgb) frame = sink.pixels.data();
  if (!sink.encoder.WriteFrame(frame, OutputTakesYuv(sink.kind) ? sink.pixels.size() : bytes, error)) return false;
  ++sink.frames;
  return true;
}

bool WriteAudioToSink(FrameSink& sink, const double* interleaved, std::int64_t frames, int channels,
                      std::string& error) {
  const int taken = sink.audio.channels;
  if (taken <= 0 || frames <= 0) return true;
  sink.samples.clear();
  for (std::int64_t i = 0; i < frames; ++i) {
    for (int c = 0; c < taken; ++c) {
      const double v = interleaved[i * channels + std::min(c, channels - 1)];
      sink.samples.push_back(v != v ? 0.0f : static_cast<float>(std::clamp(v, -1.0, 1.0)));
    }
  }
  return sink.encoder.QueueSound(sink.samples.data(), sink.samples.size(), error);
}

bool CloseFrameSink(FrameSink& sink, std::string& error) {
  bool ok = CloseDump(sink, error) && sink.encoder.Finish(error);
  if (ok && Interrupted()) {
    error = std::string("interrupted by ") + InterruptionName();
    ok = false;
  }
  if (ok && sink.temporary.Made() && sink.kind != OutputKind::Dump)
    ok = CheckWrittenOutput(sink.kind, sink.temporary.Path(), sink.frames, sink.path, error);
  if (ok) ok = sink.temporary.Commit(sink.replace, error);
  if (!ok) AbandonFrameSink(sink);
  return ok;
}

void AbandonFrameSink(FrameSink& sink) {
  sink.dump.reset();
  sink.encoder.Kill();
  sink.temporary.Abandon();
}
