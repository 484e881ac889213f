// The song's tags are read here, once, only for outputs that carry them.
#include "render_encoding.h"

#include <climits>
#include <cstdlib>
#include <filesystem>

#include "audio_tags.h"
#include "copied_sound.h"
#include "option_values.h"
#include "output_encoding.h"
#include "render_plan.h"
#include "waveform_source.h"

namespace fs = std::filesystem;

namespace {

// FFmpeg's name of the container a video kind is written in.
const char* Muxer(OutputKind kind) {
  switch (kind) {
    case OutputKind::Mp4:
      return "mp4";
    case OutputKind::Mov:
      return "mov";
    case OutputKind::Webm:
      return "webm";
    default:
      return "matroska";
  }
}

}  // namespace

std::string ChooseEncoding(const RenderOptions& o, OutputKind kind, std::int64_t startUs, std::int64_t durationUs,
                           EncoderChoice& e) {
  e = {};
  e.crf = o.crf;
  e.preset = o.preset;
  e.quality = o.quality;
  e.tune = o.tune;
  e.scaling = o.scaling == "nearest" ? Scaling::Nearest : o.scaling == "smooth" ? Scaling::Smooth : Scaling::Sharp;
  e.videoCodec = o.videoCodec;
  e.audioCodec = o.audioCodec;
  e.audioBitrate = o.audioBitrate;
  if (!o.fps.empty() && kind != OutputKind::Gif && !IsVideoOutput(kind))
    return "--fps sets the frame rate of a video or a GIF; PNG frames and --dump keep all 50 frames a second";
  if (std::int64_t fps = 0; !o.fps.empty()) {
    // The picture moves in steps of 1/50 s: 25 shows every other one; other rates would show them unevenly.
    const bool video = IsVideoOutput(kind);
    if (!ParseWholeNumber(o.fps, 1, 50, fps) || 50 % fps != 0 || (video && fps != 50 && fps != 25))
      return video ? "--fps for a video takes 50 or 25 (every other frame), not '" + o.fps + "'"
                   : "--fps takes a divisor of 50 (50, 25, 10, 5, 2 or 1), not '" + o.fps + "'";
    e.framesPerSecond = static_cast<int>(fps);
  }
  // ffmpeg reads the sound to copy from the file itself, a second time: only a file can be read again.
  std::error_code ec;
  const bool soundFile = !o.audioPath.empty() && o.audioPath != "-" && fs::is_regular_file(o.audioPath, ec);
  if (std::string problem = CheckEncoderChoice(kind, e, !o.audioPath.empty(), soundFile); !problem.empty())
    return problem;
  if (const bool hardware = !o.encoder.empty() && o.encoder != "auto" && o.encoder != "software"; hardware) {
    if (!IsVideoOutput(kind)) return "--encoder chooses the encoder of a video: GIFs and PNGs have none";
    if (!e.preset.empty() || !e.tune.empty())
      return "--preset and --tune are x264's settings; --encoder " + o.encoder + " takes --quality and --crf";
  }
  // SVT-AV1 writes its settings banner to the terminal whatever ffmpeg's log level; its own variable keeps it to
  // errors (the ffmpeg started later inherits it; a user's own setting stays).
  if (IsVideoOutput(kind) && e.videoCodec == "av1") ::setenv("SVT_LOG", "1", 0);
  if (!IsVideoOutput(kind) || o.audioPath.empty()) return {};
  if (e.audioCodec == "copy") {
    if (std::string problem = CopiedSoundProblem(o.audioPath, Muxer(kind), ContainerName(kind)); !problem.empty())
      return problem;
    // The sound of the frames rendered: from the first one's start, as long as they last.
    const FrameRange frames = PlanFrameRange(startUs, durationUs, o.maxFrames, kind);
    e.copySoundFrom = o.audioPath;
    e.copyStart = static_cast<double>(frames.first * kMicrosecondsPerFrame) / 1e6;
    e.copyLength = frames.limit == INT64_MAX ? -1 : static_cast<double>(frames.limit * kMicrosecondsPerFrame) / 1e6;
  }
  e.tags = ReadAudioTags(o.audioPath);
  return {};
}
