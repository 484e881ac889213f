// The effect's stages fed from the plug-in's state record, as Render feeds them, for tests that set g_state up.
#pragma once
#include <cstdint>

#include "plugin/vis_records.h"

int StepStateWaveField(const VisModule* module);
void AdvanceStateWaveField(const VisModule* module);
int RenderStateLandscape(std::uint32_t textureOffset);
void MapStateTunnel();
// Blends DisplayPalette and hands it to the DirectDraw palette, when there is one.
void AnimateStatePalette();
