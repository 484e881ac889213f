// `tavelmir render`: the plan checked, the inputs opened, one engine frame each, frames out under a temporary name.
#include "render_command.h"

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "clock_text.h"
#include "counted.h"
#include "effect_session.h"
#include "frame_sinks.h"
#include "hardware_encoders.h"
#include "interruption.h"
#include "progress.h"
#include "render_plan.h"
#include "waveform_source.h"

namespace {

// How far the sound sent to ffmpeg may run ahead of the frames: ffmpeg reads its two inputs in turn while it
// starts, and more than a packet of sound must be there before it takes the first frame.
constexpr double kSoundLeadSeconds = 1.0;

int Fail(CommandStreams& streams, const std::string& message) {
  streams.err << "tavelmir: " << message << '\n';
  return 1;
}

// The input, open: decoded audio or waveform blocks. Closed with the object.
struct RenderInput {
  std::string name;  // as given
  WaveformStream audio;
  WaveformFile blocks;
  std::int64_t available = INT64_MAX;  // frames of input; for audio only a header's estimate
  AudioFeed feed;                      // the sound handed to the encoder; none when copied or absent
};

bool OpenRenderInput(const RenderOptions& o, const RenderPlan& plan, RenderInput& in, std::string& error) {
  in.name = o.audioPath.empty() ? o.waveformPath : o.audioPath;
  if (o.audioPath.empty()) {
    if (!OpenWaveformFile(o.waveformPath, in.blocks, error)) return false;
    in.available = in.blocks.blocks;
    return true;
  }
  if (!OpenWaveformStream(o.audioPath, plan.offsetMs, in.audio, error, kSoundLeadSeconds)) return false;
  const AudioDecoder& d = in.audio.decoder;
  if (d.claimedLength > 0) in.available = AudioFrameCount(d.claimedLength, d.rate);
  // Copied sound is read by ffmpeg from the file itself: none goes through the pipe.
  if (plan.encoder.copySoundFrom.empty()) in.feed = {d.rate, d.channels};
  return true;
}

// The planned frames, and how many of them the input holds, for the progress bar.
FrameRange PlanFrames(const RenderOptions& o, const RenderPlan& plan, const RenderInput& in) {
  FrameRange r = PlanFrameRange(plan.startUs, plan.durationUs, o.maxFrames, plan.kind);
  const bool lengthKnown = in.available != INT64_MAX;
  if (lengthKnown || r.limit != INT64_MAX)
    r.expected = std::min(r.limit, lengthKnown ? std::max<std::int64_t>(in.available - r.first, 0) : r.limit);
  return r;
}

// The frames of one render, from the input through the engine into the sink.
class FrameRun {
 public:
  FrameRun(RenderPlan& plan, RenderInput& in, EffectSession& session, FrameSink& sink, FrameRange range)
      : plan_(plan), in_(in), session_(session), sink_(sink), range_(range) {}

  // The sound of the rendered frames goes along with them; what the silent run-up reads is left out.
  void ConnectSound() {
    rate_ = in_.feed.rate;
    if (rate_ <= 0) return;
    soundFrom_ = FrameStartSample(range_.first, rate_, 0);
    if (range_.limit != INT64_MAX) soundTo_ = FrameStartSample(range_.first + range_.limit, rate_, 0);
    in_.audio.onSamples = [this](std::int64_t first, const double* samples, std::int64_t count) {
      const std::int64_t from = std::max(first, soundFrom_), to = std::min(first + count, soundTo_);
      if (from >= to) return true;
      const int channels = in_.audio.decoder.channels;
      sinkFailed_ = !WriteAudioToSink(sink_, samples + (from - first) * channels, to - from, channels, error_);
      return !sinkFailed_;
    };
    sink_.encoder.feedSound = [this]() {
      const std::int64_t ahead =
          FrameStartSample(frame_ + 1, rate_, 0) + static_cast<std::int64_t>(kSoundLeadSeconds * rate_);
      const int fed = ReadAheadWaveformStream(in_.audio, std::min(ahead, soundTo_), sink_.encoder.soundError);
      // A sound ffmpeg would not take is told by onSamples in error_; the encoder reports soundError.
      if (fed < 0 && sink_.encoder.soundError.empty()) sink_.encoder.soundError = error_;
      sink_.encoder.soundEnded = in_.audio.window.ended || in_.audio.window.received >= soundTo_;
      return fed;
    };
  }

  // False, with error(), when a frame could not be read or written, or the render was interrupted.
  bool Run(ProgressBar& bar) {
    for (; written_ < range_.limit; ++frame_) {
      if (Interrupted()) return Failed(std::string("interrupted by ") + InterruptionName());
      const int got = NextBlock();
      if (got < 0) return false;
      if (got == 0) break;
      // Frames before --start run silently, so that the picture at any time is that of the whole song.
      DrawEffectFrame(session_, block_.data(), indices_.data(), palette_.data());
      if (frame_ >= range_.first && !WriteFrame()) return false;
      // The bar shows the last step only when the output is complete.
      if (frame_ >= range_.first)
        UpdateProgress(bar, range_.expected > 0 ? std::min(written_, range_.expected - 1) : written_);
    }
    if (written_ == 0)
      return Failed("--start " + ClockText(plan_.startUs / 10000, true) + " is past the end of '" + in_.name + "'");
    if (rate_ > 0 && !DrainWaveformStream(in_.audio, soundTo_, error_)) return false;
    if (Interrupted()) return Failed(std::string("interrupted by ") + InterruptionName());
    return true;
  }

  std::int64_t Written() const { return written_; }
  bool SinkFailed() const { return sinkFailed_; }
  const std::string& Error() const { return error_; }
  std::string& Error() { return error_; }

 private:
  bool Failed(const std::string& message) {
    error_ = message;
    return false;
  }

  // 1 = the block of frame_ is read; 0 = the input has ended; -1 = failed.
  int NextBlock() {
    if (!in_.blocks.file) return NextWaveformBlock(in_.audio, frame_, block_.data(), error_);
    if (frame_ >= in_.blocks.blocks) return 0;
    const int got = ReadWaveformBlock(in_.blocks, block_.data());
    if (got >= 0) return got;
    error_ = "cannot read block " + std::to_string(frame_) + " of '" + in_.name + "'" +
             (in_.blocks.blocks == INT64_MAX ? ": it ended inside the block" : "");
    return -1;
  }

  bool WriteFrame() {
    ++written_;
    if (plan_.picture == PictureLook::Classic) {
      sinkFailed_ = !WriteFrameToSink(sink_, indices_.data(), palette_.data(), error_);
      return !sinkFailed_;
    }
    // A frame the output leaves out is counted, not drawn.
    if (!SinkSkipsNextFrame(sink_)) DrawHdPicture(plan_.hd, session_.engine, palette_.data());
    sinkFailed_ = !WritePictureToSink(sink_, plan_.hd.pixels.data(), plan_.hd.layout, error_);
    return !sinkFailed_;
  }

  RenderPlan& plan_;
  RenderInput& in_;
  EffectSession& session_;
  FrameSink& sink_;
  FrameRange range_;
  int rate_ = 0;
  std::int64_t soundFrom_ = 0, soundTo_ = INT64_MAX;
  std::int64_t frame_ = 0, written_ = 0;
  bool sinkFailed_ = false;  // the encoder, not the input, stopped the run
  std::string error_;
  std::vector<unsigned char> block_ = std::vector<unsigned char>(kWaveformBlockBytes);
  std::vector<std::uint8_t> indices_ = std::vector<std::uint8_t>(kScreenPixels);
  std::vector<std::uint8_t> palette_ = std::vector<std::uint8_t>(kPaletteBytes);
};

// What the output holds (a GIF every other frame or fewer), over how much of the song, made how fast.
void ReportWritten(const RenderPlan& plan, std::int64_t written, std::int64_t held, double seconds,
                   CommandStreams& streams) {
  const double pictureSeconds = static_cast<double>(written) / kFramesPerSecond;
  // A dump of the classic picture holds the engine's own frames, whatever size a video would have had.
  const bool engineFrames = plan.kind == OutputKind::Dump && plan.picture == PictureLook::Classic;
  char summary[160];
  std::snprintf(summary, sizeof summary, "%s (%.2f s of picture, %dx%d) in %.1f s, %.1fx real time",
                Counted(held, "frame", "frames").c_str(), pictureSeconds,
                engineFrames ? kScreenWidth : plan.geometry.width, engineFrames ? kScreenHeight : plan.geometry.height,
                seconds, seconds > 0 ? pictureSeconds / seconds : 0.0);
  // With the video on standard output, the report goes with the other messages.
  const bool stream = plan.kind == OutputKind::MatroskaStream || NamesStandardStream(plan.outputPath, 1);
  std::ostream& report = stream ? streams.err : streams.out;
  const char* what = plan.kind == OutputKind::Dump ? "raw frames to standard output" : "Matroska to standard output";
  report << "wrote " << (stream ? what : plan.outputPath) << ": " << summary << '\n';
}

// Runs the frames into an open sink and commits the output. False, with `error`; `encoderFailed` when the encoder
// stopped it rather than the input or an interruption.
bool RenderInto(RenderPlan& plan, RenderInput& in, EffectSession& session, FrameSink& sink, const FrameRange& range,
                CommandStreams& streams, std::int64_t& written, std::string& error, bool& encoderFailed) {
  FrameRun run(plan, in, session, sink, range);
  run.ConnectSound();
  ProgressBar bar = StartProgress(streams.err, streams.terminal, range.expected, "frames");
  bool ok = run.Run(bar);
  for (const std::string& w : in.audio.decoder.warnings) streams.err << "tavelmir: warning: " << w << '\n';
  CloseWaveformFile(in.blocks);
  CloseWaveformStream(in.audio);
  encoderFailed = !ok && run.SinkFailed();
  if (ok) {
    ok = CloseFrameSink(sink, run.Error());
    encoderFailed = !ok;
  } else {
    AbandonFrameSink(sink);
  }
  written = run.Written();
  if (ok) {
    bar.total = written;
    UpdateProgress(bar, written);
  }
  FinishProgress(bar);
  error = run.Error();
  return ok;
}

// One pass of the song into the output: 0, or the exit status with its message written. `encoderFailed`: a
// hardware encoder stopped a pass that software can make again from the start (nothing was kept of it).
int RenderPass(const RenderOptions& o, RenderPlan& plan, CommandStreams& streams, bool& encoderFailed) {
  encoderFailed = false;
  std::string error;
  RenderInput in;
  if (!OpenRenderInput(o, plan, in, error)) return Fail(streams, error);
  const FrameRange range = PlanFrames(o, plan, in);
  EffectSession session;
  if (!StartEffect(plan.look, session, error)) return Fail(streams, error);
  for (const std::string& w : plan.look.warnings) streams.err << "tavelmir: warning: " << w << '\n';
  session.engine.SkipPalettes(plan.paletteIndex);

  FrameSink sink;
  // Caught before the temporary output exists, so that no signal can come between its making and its removal.
  CatchInterruptions();
  if (!OpenFrameSink(sink, plan.kind, plan.target.path, plan.geometry, in.feed, plan.encoder, o.replace, error)) {
    ReleaseInterruptions();
    encoderFailed = plan.encoder.hardware != HardwareEncoder::None && plan.restartable;
    if (encoderFailed) {
      plan.encoderError = error;
      return 1;
    }
    return Fail(streams, error);
  }
  const auto clockStart = std::chrono::steady_clock::now();
  std::int64_t written = 0;
  bool sinkFailed = false;
  const bool ok = RenderInto(plan, in, session, sink, range, streams, written, error, sinkFailed);
  ReleaseInterruptions();
  if (!ok && sinkFailed && !Interrupted() && plan.encoder.hardware != HardwareEncoder::None && plan.restartable) {
    encoderFailed = true;
    plan.encoderError = error;
    return 1;
  }
  // A stream, device or pipe has had what was rendered until then.
  const bool streamed = plan.kind == OutputKind::MatroskaStream || plan.target.place == OutputPlace::InPlace;
  if (!ok) {
    const bool kept = plan.target.place == OutputPlace::Regular;
    Fail(streams, error + (streamed ? ""
                           : kept   ? "; '" + plan.outputPath + "' was left as it was"
                                    : "; nothing was written"));
    return InterruptionExitStatus();
  }
  ReportWritten(plan, written, sink.frames,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - clockStart).count(), streams);
  return 0;
}

}  // namespace

int RunRender(const RenderOptions& o, CommandStreams& streams) {
  RenderPlan plan;
  if (const int status = PlanRender(o, plan, streams)) return status;
  bool encoderFailed = false;
  const int status = RenderPass(o, plan, streams, encoderFailed);
  if (!encoderFailed) return status;
  // The song is a file and the output was never put in place: software makes it whole from the start.
  const HardwareEncoder failed = plan.encoder.hardware;
  plan.encoder.hardware = HardwareEncoder::None;
  streams.err << "tavelmir: " << HardwareEncoderName(failed, plan.kind, plan.encoder) << " failed ("
              << plan.encoderError << "); rendering again with " << SoftwareEncoderName(plan.kind, plan.encoder)
              << '\n';
  return RenderPass(o, plan, streams, encoderFailed);
}
