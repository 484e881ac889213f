// `tavelmir render`: audio or waveform blocks in, one engine frame each, frames out under a temporary name.
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "render_command.h"

#include "clock_text.h"
#include "counted.h"
#include "effect_session.h"
#include "frame_sinks.h"
#include "interruption.h"
#include "look_options.h"
#include "option_values.h"
#include "data/palette_names.h"
#include "output_target.h"
#include "picture_look.h"
#include "progress.h"
#include "render_encoding.h"
#include "waveform_source.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kMicrosecondsPerFrame = 1000000 / kFramesPerSecond;
// How far the sound sent to ffmpeg may run ahead of the frames: ffmpeg reads its two inputs in turn while it
// starts, and more than a packet of sound must be there before it takes the first frame.
constexpr double kSoundLeadSeconds = 1.0;

int Fail(CommandStreams& streams, const std::string& message) {
  streams.err << "tavelmir: " << message << '\n';
  return 1;
}

int Usage(CommandStreams& streams, const std::string& message) {
  streams.err << "tavelmir: " << message << "\n(see `tavelmir render --help`)\n";
  return 2;
}

// Checks of the output against what is there now, before any work; `target` is where it is written. 0 = go on;
// otherwise the exit status (the message is written, except for -n, which keeps an existing output quietly).
int CheckOutputTarget(const RenderOptions& o, OutputKind kind, const std::string& name, OutputTarget& target,
                      CommandStreams& streams) {
  target = {name, name, OutputPlace::New};
  if (kind == OutputKind::MatroskaStream) return 0;
  std::string error;
  if (!ResolveOutputTarget(name, target, error)) return Fail(streams, error);
  const std::vector<std::string> inputs = {o.audioPath.empty() ? o.waveformPath : o.audioPath};
  if (kind == OutputKind::PngDirectory) {
    if (target.place == OutputPlace::New) return 0;
    std::error_code ec;
    if (target.place == OutputPlace::Folder && fs::is_empty(target.path, ec)) return 0;
    return Fail(streams, "'" + name + "' is not an empty folder: PNG frames go into a new or empty folder only");
  }
  if (target.place == OutputPlace::Regular && o.keep) {
    if (!CheckOutputReplacement(target, inputs, true, error)) return Fail(streams, error);
    return 1;
  }
  if (!CheckOutputReplacement(target, inputs, o.replace, error)) return Fail(streams, error);
  return 0;
}

}  // namespace

int RunRender(const RenderOptions& o, CommandStreams& streams) {
  // Usage first: nothing is opened for a command line that cannot run.
  if (o.audioPath.empty() == o.waveformPath.empty())
    return Usage(streams, "render needs exactly one input: an AUDIO file or --waveform FILE");
  if (o.outputPath.empty() == o.dumpPath.empty())
    return Usage(streams, "render needs exactly one output: -o OUT or --dump FILE");
  std::string error;
  double offsetMs = 0;
  if (!o.offsetMs.empty()) {
    if (!o.waveformPath.empty())
      return Usage(streams, "--offset-ms shifts the picture against an AUDIO file; it has no meaning with --waveform");
    if (!ParseFiniteNumber(o.offsetMs, "--offset-ms", -kMaximumOffsetMs, kMaximumOffsetMs, offsetMs, error))
      return Usage(streams, error);
  }
  std::int64_t startUs = 0, durationUs = -1;
  if (!o.start.empty() && !ParseTime(o.start, "--start", startUs, error)) return Usage(streams, error);
  if (!o.duration.empty() && !ParseTime(o.duration, "--duration", durationUs, error)) return Usage(streams, error);
  if (durationUs == 0) return Usage(streams, "--duration must be longer than 0");
  // --to is a time in the song, as ffmpeg's -to: the part ends there, wherever it starts.
  if (!o.end.empty()) {
    std::int64_t endUs = 0;
    if (!ParseTime(o.end, "--to", endUs, error)) return Usage(streams, error);
    if (endUs <= startUs)
      return Usage(streams, "--to " + o.end + " is not after the start (" + (o.start.empty() ? "0" : o.start) + ")");
    durationUs = endUs - startUs;
  }
  if (o.keep && o.replace) return Usage(streams, "-y replaces an existing output and -n keeps it; use one");

  const OutputKind kind = o.dumpPath.empty() ? OutputKindForPath(o.outputPath) : OutputKind::Dump;
  std::string outputPath = o.dumpPath.empty() ? o.outputPath : o.dumpPath;
  if (kind == OutputKind::Unsupported)
    return Usage(streams, "cannot tell what to write to '" + outputPath + "': use " + kOutputKindsText);
  if (kind == OutputKind::MatroskaStream && ::isatty(STDOUT_FILENO))
    return Usage(streams, "-o - writes a video to standard output, which is a terminal here: pipe it (| ffplay -)");

  OutputGeometry geometry;
  if (o.scale != 0 || o.aspect43) {
    if (!o.size.empty()) return Usage(streams, "--size and --scale/--aspect43 both set the size; use one");
    if (o.scale < 0 || o.scale > 16) return Usage(streams, "--scale takes a whole number from 1 to 16");
    geometry = MakeOutputGeometry(o.scale == 0 ? 1 : o.scale, o.aspect43);
  } else if (kind == OutputKind::Gif && o.size.empty()) {
    // A GIF people share stays small: each screen pixel 2 x 2, exact, a quarter of the pixels of a 960 x 720 one.
    geometry = MakeOutputGeometry(kDefaultGifScale, false);
  } else {
    int width = kDefaultOutputWidth, height = kDefaultOutputHeight;
    if (!o.size.empty() && !ParseSize(o.size, width, height, error)) return Usage(streams, error);
    geometry = FitOutputGeometry(width, height, o.fit == "cover", o.aspect == "4:3");
  }
  const bool video = IsVideoOutput(kind);
  if (video && (geometry.width % 2 != 0 || geometry.height % 2 != 0))
    return Usage(streams, "videos need an even width and height (" + std::to_string(geometry.width) + "x" +
                              std::to_string(geometry.height) + " is not); PNG frames and GIFs take any size");
  EncoderChoice encoder;
  if (const std::string problem = ChooseEncoding(o, kind, startUs, durationUs, encoder); !problem.empty())
    return Usage(streams, problem);
  if (kind == OutputKind::Png && (durationUs > 0 || o.maxFrames > 1))
    return Usage(streams, "a .png is one still, at --start; for a run of frames write into a folder (-o frames/)");

  PictureLook picture = PictureLook::Classic;
  const std::string pictureName =
      !o.picture.empty()                                                            ? o.picture
      : kind == OutputKind::Dump || kind == OutputKind::Gif || !o.scaling.empty() ? kClassicPictureLook
                                                                                    : kDefaultPictureLook;
  if (!ParsePictureLook(pictureName, picture))
    return Usage(streams, "--look takes classic, hd, hd-soft or hd-nearest, not '" + o.picture + "'");
  if (picture != PictureLook::Classic && !o.scaling.empty())
    return Usage(streams, "--scaling enlarges the classic picture; --look " + pictureName +
                              " is drawn at the output's size already");
  // A GIF holds the classic frame's own 256 colours; the other looks blend between them.
  if (kind == OutputKind::Gif && picture != PictureLook::Classic)
    return Usage(streams, "a GIF holds the classic picture's own colours: --look " + pictureName +
                              " blends between them (make a video or PNG frames of it)");
  encoder.drawnAtOutputSize = picture != PictureLook::Classic;
  HdPicture hd;
  if (picture != PictureLook::Classic) {
    const bool fourThirds = o.scale != 0 || o.aspect43 ? o.aspect43 : o.aspect == "4:3";
    if (!PrepareHdPicture(hd, geometry.width, geometry.height, picture, fourThirds ? kFourThirdsPixelAspect : 1.0,
                          o.fit == "cover", error, OutputTakesYuv(kind) ? 4 : 3))
      return Usage(streams, error);
  }

  OutputTarget target;
  if (const int status = CheckOutputTarget(o, kind, outputPath, target, streams)) return status;

  Look look;
  if (!ResolveLook(o.look, look, error)) return Fail(streams, error);
  int paletteIndex = 0;
  if (!o.look.palette.empty() && !FindNamedPalette(look.palettesDir, o.look.palette, paletteIndex, error))
    return Usage(streams, error);
  WaveformStream audio;
  WaveformFile blocks;
  std::int64_t available = INT64_MAX;  // frames of input; for audio only a header's estimate
  AudioFeed feed;
  if (!o.audioPath.empty()) {
    if (!OpenWaveformStream(o.audioPath, offsetMs, audio, error, kSoundLeadSeconds)) return Fail(streams, error);
    if (audio.decoder.claimedLength > 0) available = AudioFrameCount(audio.decoder.claimedLength, audio.decoder.rate);
    // Copied sound is read by ffmpeg from the file itself: none goes through the pipe.
    if (encoder.copySoundFrom.empty()) {
      feed.rate = audio.decoder.rate;
      feed.channels = std::min(audio.decoder.channels, 2);
    }
  } else {
    if (!OpenWaveformFile(o.waveformPath, blocks, error)) return Fail(streams, error);
    available = blocks.blocks;
  }
  const std::int64_t firstFrame = startUs / kMicrosecondsPerFrame;
  std::int64_t limit = durationUs > 0 ? (durationUs + kMicrosecondsPerFrame - 1) / kMicrosecondsPerFrame : INT64_MAX;
  if (o.maxFrames > 0) limit = std::min(limit, o.maxFrames);
  if (kind == OutputKind::Png) limit = 1;
  const bool lengthKnown = available != INT64_MAX;
  const std::int64_t expected =
      std::min(limit, lengthKnown ? std::max<std::int64_t>(available - firstFrame, 0) : limit);

  auto closeInputs = [&] {
    CloseWaveformFile(blocks);
    CloseWaveformStream(audio);
  };
  EffectSession session;
  if (!StartEffect(look, session, error)) {
    closeInputs();
    return Fail(streams, error);
  }
  for (const std::string& w : look.warnings) streams.err << "tavelmir: warning: " << w << '\n';
  session.engine.SkipPalettes(paletteIndex);

  FrameSink sink;
  if (!OpenFrameSink(sink, kind, target.path, geometry, feed, encoder, o.replace, error)) {
    closeInputs();
    return Fail(streams, error);
  }
  CatchInterruptions();

  // The sound of the rendered frames goes along with them; what the silent run-up reads is left out.
  const int rate = feed.rate;
  const std::int64_t soundFrom = rate > 0 ? FrameStartSample(firstFrame, rate, 0) : 0;
  const std::int64_t soundTo =
      rate > 0 && limit != INT64_MAX ? FrameStartSample(firstFrame + limit, rate, 0) : INT64_MAX;
  audio.onSamples = [&](std::int64_t first, const double* samples, std::int64_t count) {
    const std::int64_t from = std::max(first, soundFrom), to = std::min(first + count, soundTo);
    if (from >= to) return true;
    const int channels = audio.decoder.channels;
    return WriteAudioToSink(sink, samples + (from - first) * channels, to - from, channels, error);
  };

  std::int64_t frame = 0;
  if (rate > 0) {
    sink.feedSound = [&]() {
      const std::int64_t ahead =
          FrameStartSample(frame + 1, rate, 0) + static_cast<std::int64_t>(kSoundLeadSeconds * rate);
      const int fed = ReadAheadWaveformStream(audio, std::min(ahead, soundTo), sink.soundError);
      sink.soundEnded = audio.window.ended || audio.window.received >= soundTo;
      return fed;
    };
  }

  std::vector<unsigned char> block(kWaveformBlockBytes);
  std::vector<std::uint8_t> indices(kScreenPixels);
  std::vector<std::uint8_t> palette(kPaletteBytes);
  const std::int64_t barTotal = lengthKnown || limit != INT64_MAX ? expected : 0;
  ProgressBar bar = StartProgress(streams.err, streams.terminal, barTotal, "frames");
  const auto clockStart = std::chrono::steady_clock::now();
  bool ok = true;
  std::int64_t written = 0;
  for (std::int64_t n = 0; ok && written < limit; n = ++frame) {
    if (Interrupted()) {
      error = std::string("interrupted by ") + InterruptionName();
      ok = false;
      break;
    }
    if (blocks.file) {
      if (n >= blocks.blocks) break;
      ok = ReadWaveformBlock(blocks, block.data());
      if (!ok) error = "cannot read block " + std::to_string(n) + " of '" + o.waveformPath + "'";
    } else {
      const int got = NextWaveformBlock(audio, n, block.data(), error);
      if (got == 0) break;
      ok = got > 0;
    }
    // Frames before --start run silently, so that the picture at any time is that of the whole song.
    if (ok) DrawEffectFrame(session, block.data(), indices.data(), palette.data());
    if (ok && n >= firstFrame) {
      if (picture == PictureLook::Classic) {
        ok = WriteFrameToSink(sink, indices.data(), palette.data(), error);
      } else {
        DrawHdPicture(hd, session.engine, palette.data());
        ok = WritePictureToSink(sink, hd.rgb.data(), hd.bytesPerPixel, error);
      }
      ++written;
      // The bar shows the last step only when the output is complete.
      UpdateProgress(bar, barTotal > 0 ? std::min(written, barTotal - 1) : written);
    }
  }
  if (ok && written == 0) {
    error = "--start " + ClockText(startUs / 10000, true) + " is past the end of '" +
            (o.audioPath.empty() ? o.waveformPath : o.audioPath) + "'";
    ok = false;
  }
  if (ok && rate > 0) ok = DrainWaveformStream(audio, soundTo, error);
  if (ok && Interrupted()) {
    error = std::string("interrupted by ") + InterruptionName();
    ok = false;
  }
  for (const std::string& w : audio.decoder.warnings) streams.err << "tavelmir: warning: " << w << '\n';
  closeInputs();
  if (ok) {
    ok = CloseFrameSink(sink, error);
  } else {
    AbandonFrameSink(sink);
  }
  ReleaseInterruptions();
  if (ok) {
    bar.total = written;
    UpdateProgress(bar, written);
  }
  FinishProgress(bar);
  // A stream, device or pipe has had what was rendered until then.
  const bool streamed = kind == OutputKind::MatroskaStream || target.place == OutputPlace::InPlace;
  if (!ok) {
    Fail(streams, error + (streamed ? "" : "; nothing was written"));
    return InterruptionExitStatus();
  }

  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - clockStart).count();
  // What the output holds (a GIF every other frame or fewer), over how much of the song, made how fast.
  const double pictureSeconds = static_cast<double>(written) / kFramesPerSecond;
  char summary[160];
  std::snprintf(summary, sizeof summary, "%s (%.2f s of picture, %dx%d) in %.1f s, %.1fx real time",
                Counted(sink.frames, "frame", "frames").c_str(), pictureSeconds, geometry.width, geometry.height,
                seconds, seconds > 0 ? pictureSeconds / seconds : 0.0);
  // With the video on standard output, the report goes with the other messages.
  std::ostream& report = kind == OutputKind::MatroskaStream ? streams.err : streams.out;
  report << "wrote " << (kind == OutputKind::MatroskaStream ? "Matroska to standard output" : outputPath) << ": "
         << summary << '\n';
  return 0;
}
