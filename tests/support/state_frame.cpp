// The effect's stages fed from the plug-in's state record through Render's own bindings.
#include "support/state_frame.h"

#include "plugin/render.h"
#include "effect/landscape.h"
#include "effect/tunnel.h"
#include "effect/wave_field.h"
#include "plugin/effect_state.h"

int StepStateWaveField(const VisModule* module) {
  FrameOutput out = StateFrameOutput();
  return StepWaveField(StateFrameInputs(module), g_state.Counters, out);
}

void AdvanceStateWaveField(const VisModule* module) {
  AdvanceWaveField(StateFrameInputs(module), g_state.Counters, g_state.Trace);
}

int RenderStateLandscape(std::uint32_t textureOffset) { return RenderLandscape(g_state.Tables, textureOffset); }

void MapStateTunnel() { MapTunnel(g_state.Tables, StateFrameOutput()); }

void AnimateStatePalette() {
  FrameOutput out = StateFrameOutput();
  AnimateDisplayPalette(StateFrameInputs(nullptr), out);
}
