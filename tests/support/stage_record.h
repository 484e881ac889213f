// A record of everything the effect's stages read and write, owned by the tests, and the stages fed from it as
// the engine feeds them: for tests that set tables, counters and parameters up by hand.
#pragma once
#include <cstdint>

#include "core/effect_settings.h"
#include "core/frame.h"

// A palette entry as the display takes it.
struct StageEntry {
  std::uint8_t peRed, peGreen, peBlue, peFlags;
};

struct StageRecord {
  TableSet Tables{};
  std::int32_t FrameWidth{}, FrameHeight{}, FramePitch{};
  std::uint8_t* FramePixels{};
  EffectSettings Settings{};
  EffectParams Params{};
  FrameCounters Counters{};
  FrameTrace Trace{};
  const std::uint8_t* PaletteSet{};  // PaletteCount * 1024 bytes
  std::int32_t PaletteCount{};
  StageEntry DisplayPalette[256]{};
};

extern StageRecord g_stage;

// Puts g_stage back to its empty state (its blocks are the test's to free first).
void ResetStageRecord();

FrameInputs StageInputs(const unsigned char (*waveform)[kWaveformSamples]);
FrameOutput StageOutput();

// The drawing stages in the engine's order; 1 when the wave buffers or the height map are missing.
int StepStageFrame(const unsigned char (*waveform)[kWaveformSamples]);
void AdvanceStageWaveField(const unsigned char (*waveform)[kWaveformSamples]);
void RenderStageLandscape(std::uint32_t textureOffset);
void MapStageTunnel();
// The palette step into DisplayPalette; true when the entries were written.
bool AnimateStagePalette();
