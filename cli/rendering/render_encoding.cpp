// The song's tags are read here, once, only for outputs that carry them.
#include "render_encoding.h"

#include <cstdlib>

#include "audio_tags.h"

namespace {

constexpr std::int64_t kMicrosecondsPerFrame = 20000;

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
  if (o.fps != 0 && kind != OutputKind::Gif && !IsVideoOutput(kind))
    return "--fps sets the frame rate of a video or a GIF; PNG frames and --dump keep all 50 frames a second";
  e.framesPerSecond = o.fps;
  const bool soundFile = !o.audioPath.empty() && o.audioPath != "-";
  if (std::string problem = CheckEncoderChoice(kind, e, !o.audioPath.empty(), soundFile); !problem.empty())
    return problem;
  // SVT-AV1 writes its settings banner to the terminal whatever ffmpeg's log level; its own variable keeps it to
  // errors (the ffmpeg started later inherits it; a user's own setting stays).
  if (IsVideoOutput(kind) && e.videoCodec == "av1") ::setenv("SVT_LOG", "1", 0);
  if (!IsVideoOutput(kind) || o.audioPath.empty()) return {};
  if (e.audioCodec == "copy") {
    // The sound of the frames rendered: from the first one's start, as long as they last.
    const std::int64_t firstFrame = startUs / kMicrosecondsPerFrame;
    std::int64_t frames = durationUs > 0 ? (durationUs + kMicrosecondsPerFrame - 1) / kMicrosecondsPerFrame : -1;
    if (o.maxFrames > 0) frames = frames < 0 ? o.maxFrames : std::min(frames, o.maxFrames);
    e.copySoundFrom = o.audioPath;
    e.copyStart = static_cast<double>(firstFrame * kMicrosecondsPerFrame) / 1e6;
    e.copyLength = frames < 0 ? -1 : static_cast<double>(frames * kMicrosecondsPerFrame) / 1e6;
  }
  e.tags = ReadAudioTags(o.audioPath);
  return {};
}
