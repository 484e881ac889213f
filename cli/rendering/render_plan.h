// A render planned before any work: every check of the options, the output and the look, so that a command line
// that cannot run opens nothing and writes nothing.
#pragma once
#include <climits>
#include <cstdint>
#include <string>

#include "command_streams.h"
#include "frame_image.h"
#include "look_options.h"
#include "output_encoding.h"
#include "output_target.h"
#include "picture_look.h"
#include "render_command.h"

struct RenderPlan {
  double offsetMs = 0;
  std::int64_t startUs = 0, durationUs = -1;  // -1: to the end
  OutputKind kind = OutputKind::Unsupported;
  std::string outputPath;  // -o or --dump, as given
  OutputTarget target;     // where it is written
  OutputGeometry geometry;
  EncoderChoice encoder;
  PictureLook picture = PictureLook::Classic;
  HdPicture hd;  // made ready for a look other than Classic
  Look look;
  int paletteIndex = 0;  // --palette
  // The input is a file and the output is put in place only when whole: a pass can be made again from the start.
  bool restartable = false;
  std::string encoderError;  // why a hardware encoder stopped a pass
};

// Which frames a render writes: from the frame --start falls in, as many as the duration covers (the last one
// begun counts), at most --frames, one for a PNG. Frames before `first` are drawn too, for the silent run-up.
struct FrameRange {
  std::int64_t first = 0;          // the first frame written
  std::int64_t limit = INT64_MAX;  // frames written at most; INT64_MAX to the end of the input
  std::int64_t expected = 0;       // for the progress bar, once the input's length is known; 0 when unknown
};
FrameRange PlanFrameRange(std::int64_t startUs, std::int64_t durationUs, std::int64_t maxFrames, OutputKind kind);

// 0 = go on with `plan`; otherwise the exit status, its message written (2 for usage, 1 for an output or look that
// cannot be used; -n over an existing output is a quiet 1).
int PlanRender(const RenderOptions& options, RenderPlan& plan, CommandStreams& streams);
