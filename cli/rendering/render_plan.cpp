// The checks of a render, in the order a user would fix them: inputs and outputs, the part of the song, the size,
// the encoding, the picture, then the output on disk and the look.
#include "render_plan.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "option_values.h"
#include "output_kind.h"
#include "data/file_replace.h"
#include "data/palette_names.h"
#include "hardware_encoders.h"
#include "render_encoding.h"
#include "waveform_source.h"

namespace fs = std::filesystem;

namespace {

int Fail(CommandStreams& streams, const std::string& message) {
  streams.err << "tavelmir: " << message << '\n';
  return 1;
}

int Usage(CommandStreams& streams, const std::string& message) {
  streams.err << "tavelmir: " << message << "\n(see `tavelmir render --help`)\n";
  return 2;
}

// Exactly one input and one output, and the part of the song: "" or a usage message.
std::string CheckPart(const RenderOptions& o, RenderPlan& plan) {
  if (o.audioPath.empty() == o.waveformPath.empty())
    return "render needs exactly one input: an AUDIO file or --waveform FILE";
  if (o.outputPath.empty() == o.dumpPath.empty()) return "render needs exactly one output: -o OUT or --dump FILE";
  std::string error;
  if (!o.offsetMs.empty()) {
    if (!o.waveformPath.empty())
      return "--offset-ms shifts the picture against an AUDIO file; it has no meaning with --waveform";
    if (!ParseFiniteNumber(o.offsetMs, "--offset-ms", -kMaximumOffsetMs, kMaximumOffsetMs, plan.offsetMs, error))
      return error;
  }
  if (!o.start.empty() && !ParseTime(o.start, "--start", plan.startUs, error)) return error;
  if (!o.duration.empty() && !ParseTime(o.duration, "--duration", plan.durationUs, error)) return error;
  if (plan.durationUs == 0) return "--duration must be longer than 0";
  // --to is a time in the song, as ffmpeg's -to: the part ends there, wherever it starts.
  if (!o.end.empty()) {
    std::int64_t endUs = 0;
    if (!ParseTime(o.end, "--to", endUs, error)) return error;
    if (endUs <= plan.startUs)
      return "--to " + o.end + " is not after the start (" + (o.start.empty() ? "0" : o.start) + ")";
    plan.durationUs = endUs - plan.startUs;
  }
  if (o.keep && o.replace) return "-y replaces an existing output and -n keeps it; use one";
  // Nobody types a song: reading the keyboard would only wait.
  if (NamesStandardStream(o.audioPath.empty() ? o.waveformPath : o.audioPath, 0) && ::isatty(STDIN_FILENO))
    return "the input is standard input, which is a terminal here: pipe the song into it (< song.mp3)";
  return {};
}

std::string ChooseKind(const RenderOptions& o, RenderPlan& plan) {
  plan.kind = o.dumpPath.empty() ? OutputKindForPath(o.outputPath) : OutputKind::Dump;
  plan.outputPath = o.dumpPath.empty() ? o.outputPath : o.dumpPath;
  if (plan.kind == OutputKind::Unsupported)
    return "cannot tell what to write to '" + plan.outputPath + "': use " + kOutputKindsText;
  if (plan.kind == OutputKind::MatroskaStream && ::isatty(STDOUT_FILENO))
    return "-o - writes a video to standard output, which is a terminal here: pipe it (| ffplay -)";
  if (plan.kind == OutputKind::Dump && NamesStandardStream(plan.outputPath, 1) && ::isatty(STDOUT_FILENO))
    return "--dump " + plan.outputPath +
           " writes raw frames to standard output, which is a terminal here: redirect it (> frames.raw)";
  return {};
}

std::string ChooseGeometry(const RenderOptions& o, RenderPlan& plan) {
  std::string error;
  if (o.scale != 0 || o.aspect43) {
    if (!o.size.empty()) return "--size and --scale/--aspect43 both set the size; use one";
    if (o.scale < 0 || o.scale > 16) return "--scale takes a whole number from 1 to 16";
    plan.geometry = MakeOutputGeometry(o.scale == 0 ? 1 : o.scale, o.aspect43);
  } else if (plan.kind == OutputKind::Gif && o.size.empty()) {
    // A GIF people share stays small: each screen pixel 2 x 2, exact, a quarter of the pixels of a 960 x 720 one.
    plan.geometry = MakeOutputGeometry(kDefaultGifScale, false);
  } else {
    int width = kDefaultOutputWidth, height = kDefaultOutputHeight;
    if (!o.size.empty() && !ParseSize(o.size, width, height, error)) return error;
    plan.geometry = FitOutputGeometry(width, height, o.fit == "cover", o.aspect != "16:10");
  }
  const OutputGeometry& g = plan.geometry;
  if (IsVideoOutput(plan.kind) && (g.width % 2 != 0 || g.height % 2 != 0))
    return "videos need an even width and height (" + std::to_string(g.width) + "x" + std::to_string(g.height) +
           " is not); PNG frames and GIFs take any size";
  if (const std::string problem = ChooseEncoding(o, plan.kind, plan.startUs, plan.durationUs, plan.encoder);
      !problem.empty())
    return problem;
  if (plan.kind == OutputKind::Png && (plan.durationUs > 0 || o.maxFrames > 1))
    return "a .png is one still, at --start; for a run of frames write into a folder (-o frames/)";
  return {};
}

std::string ChoosePicture(const RenderOptions& o, RenderPlan& plan) {
  const bool classicKind = plan.kind == OutputKind::Dump || plan.kind == OutputKind::Gif;
  const std::string name = !o.picture.empty()                  ? o.picture
                           : classicKind || !o.scaling.empty() ? kClassicPictureLook
                                                               : kDefaultPictureLook;
  if (!ParsePictureLook(name, plan.picture))
    return "--look takes classic, hd, hd-soft or hd-nearest, not '" + o.picture + "'";
  const bool classic = plan.picture == PictureLook::Classic;
  if (!classic && !o.scaling.empty())
    return "--scaling enlarges the classic picture; --look " + name + " is drawn at the output's size already";
  // A GIF holds the classic frame's own 256 colours; the other looks blend between them.
  if (plan.kind == OutputKind::Gif && !classic)
    return "a GIF holds the classic picture's own colours: --look " + name +
           " blends between them (make a video or PNG frames of it)";
  plan.encoder.drawnAtOutputSize = !classic;
  if (classic) return {};
  const bool fourThirds = o.scale != 0 || o.aspect43 ? o.aspect43 : o.aspect != "16:10";
  std::string error;
  // Drawn straight in YUV for a video, a fraction of the CPU of converting RGB; lossless keeps the exact conversion.
  const PicturePixels layout = !OutputTakesYuv(plan.kind) ? PicturePixels::Rgb
                               : plan.encoder.crf == 0    ? PicturePixels::Rgbx
                                                          : PicturePixels::Yuvx;
  if (!PrepareHdPicture(plan.hd, plan.geometry.width, plan.geometry.height, plan.picture,
                        fourThirds ? kFourThirdsPixelAspect : 1.0, o.fit == "cover", error, layout))
    return error;
  return {};
}

// Options that would change nothing for this output are refused rather than ignored, so that nobody waits for a
// render that does not do what they asked.
std::string CheckIgnored(const RenderOptions& o, RenderPlan& plan) {
  const bool scaled = o.scale != 0 || o.aspect43;
  if (scaled && (!o.fit.empty() || !o.aspect.empty()))
    return "--fit and --aspect shape a picture fitted into --size; --scale and --aspect43 set the shape themselves";
  const bool sized = !o.size.empty() || scaled || !o.fit.empty() || !o.aspect.empty() || !o.scaling.empty();
  if (plan.kind == OutputKind::Dump && plan.picture == PictureLook::Classic && sized)
    return "--dump writes the 320 x 200 frames as they are: --size, --scale, --aspect43, --fit, --aspect and "
           "--scaling have no effect (with --look hd it writes W x H pictures)";
  if (plan.kind == OutputKind::MatroskaStream && (o.replace || o.keep))
    return "-y and -n are about an existing output file; standard output (-o -) is written as it is";
  return {};
}

// Checks of the output against what is there now; `target` is where it is written. 0 = go on; otherwise the exit
// status (the message is written, except for -n, which keeps an existing output quietly).
int CheckOutputTarget(const RenderOptions& o, RenderPlan& plan, CommandStreams& streams) {
  const std::string& name = plan.outputPath;
  OutputTarget& target = plan.target;
  target = {name, name, OutputPlace::New};
  if (plan.kind == OutputKind::MatroskaStream) return 0;
  // Standard output is written as it is, whatever it is: what the shell made of it is the user's choice.
  if (NamesStandardStream(name, 1)) {
    target.place = OutputPlace::InPlace;
    return 0;
  }
  std::string error;
  if (!ResolveOutputTarget(name, target, error)) return Fail(streams, error);
  const std::vector<std::string> inputs = {o.audioPath.empty() ? o.waveformPath : o.audioPath};
  if (plan.kind == OutputKind::PngDirectory) {
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
  // A file its owner made read-only is kept, even with -y, as the settings are.
  if (const std::string reason = WriteRefusal(target.path); target.place == OutputPlace::Regular && !reason.empty())
    return Fail(streams, "cannot replace '" + name + "': " + reason);
  return 0;
}

// Which encoder writes a video. Probed after every other check, so that a command line that cannot run costs none.
int ChooseEncoder(const RenderOptions& o, RenderPlan& plan, CommandStreams& streams) {
  if (!IsVideoOutput(plan.kind) || o.encoder == "software") return 0;
  const std::string& input = o.audioPath.empty() ? o.waveformPath : o.audioPath;
  std::error_code ec;
  plan.restartable = plan.kind != OutputKind::MatroskaStream && plan.target.place != OutputPlace::InPlace &&
                     !NamesStandardStream(input, 0) && fs::is_regular_file(input, ec);
  const EncoderDecision d =
      DecideEncoder(o.encoder, plan.kind, plan.encoder, plan.restartable, RunEncodeProbe, HardwareDeviceNodePresent);
  if (!d.error.empty()) return Fail(streams, d.error);
  plan.encoder.hardware = d.api;
  if (!d.note.empty()) streams.err << "tavelmir: " << d.note << '\n';
  return 0;
}

}  // namespace

FrameRange PlanFrameRange(std::int64_t startUs, std::int64_t durationUs, std::int64_t maxFrames, OutputKind kind) {
  FrameRange r;
  r.first = startUs / kMicrosecondsPerFrame;
  if (durationUs > 0) r.limit = (durationUs + kMicrosecondsPerFrame - 1) / kMicrosecondsPerFrame;
  if (maxFrames > 0) r.limit = std::min(r.limit, maxFrames);
  if (kind == OutputKind::Png) r.limit = 1;
  return r;
}

int PlanRender(const RenderOptions& o, RenderPlan& plan, CommandStreams& streams) {
  for (auto* check : {CheckPart, ChooseKind, ChooseGeometry, ChoosePicture, CheckIgnored})
    if (const std::string problem = check(o, plan); !problem.empty()) return Usage(streams, problem);
  if (const int status = CheckOutputTarget(o, plan, streams)) return status;
  std::string error;
  if (!ResolveLook(o.look, plan.look, error)) return Fail(streams, error);
  if (!o.look.palette.empty() && !FindNamedPalette(plan.look.palettesDir, o.look.palette, plan.paletteIndex, error))
    return Usage(streams, error);
  return ChooseEncoder(o, plan, streams);
}
