// One whole frame of the effect, in the order Render runs its stages.
#include "effect/frame.h"

#include "effect/palette_animation.h"
#include "effect/wave_field.h"

int RunFrame(const FrameInputs& in, FrameCounters& counters, FrameOutput& out) {
  if (StepWaveField(in, counters, out) != 0) return 1;
  AnimatePalette(in, counters, out);
  return 0;
}
