// The stages fed from the tests' own record.
#include "support/stage_record.h"

#include <cstddef>

#include "core/frame_stages.h"
#include "core/landscape.h"
#include "core/palette_animation.h"
#include "core/tunnel.h"
#include "core/wave_field.h"

StageRecord g_stage;

static_assert(sizeof(StageEntry) == kPaletteEntryBytes && offsetof(StageEntry, peBlue) == 2);

void ResetStageRecord() { g_stage = StageRecord{}; }

FrameInputs StageInputs(const unsigned char (*waveform)[kWaveformSamples]) {
  FrameInputs in{};
  in.Tables = &g_stage.Tables;
  in.Params.WaveGain = g_stage.Params.WaveGain;
  in.Params.WaveShift = g_stage.Params.WaveShift;
  in.Params.WaveAttenuationRate = g_stage.Settings.WaveAttenuationRate;
  in.Params.PaletteStep = g_stage.Params.PaletteStep;
  in.Waveform = waveform;
  in.PaletteSet = g_stage.PaletteSet;
  in.PaletteCount = g_stage.PaletteCount;
  return in;
}

FrameOutput StageOutput() {
  return {g_stage.FramePixels, g_stage.FrameWidth, g_stage.FrameHeight, g_stage.FramePitch,
          reinterpret_cast<std::uint8_t*>(g_stage.DisplayPalette)};
}

int StepStageFrame(const unsigned char (*waveform)[kWaveformSamples]) {
  return DrawFrameStages(StageInputs(waveform), g_stage.Counters, g_stage.Trace, StageOutput());
}

void AdvanceStageWaveField(const unsigned char (*waveform)[kWaveformSamples]) {
  AdvanceWaveField(StageInputs(waveform), g_stage.Counters, g_stage.Trace);
}

void RenderStageLandscape(std::uint32_t textureOffset) { RenderLandscape(g_stage.Tables, textureOffset); }

void MapStageTunnel() { MapTunnel(g_stage.Tables, StageOutput()); }

bool AnimateStagePalette() {
  FrameOutput out = StageOutput();
  return AnimatePalette(StageInputs(nullptr), g_stage.Counters, out);
}
