// Today's frame code (before the stages were tuned further), kept as a second yardstick for the frame benchmark.
#pragma once
#include <cstdint>

#include "host/vis_records.h"

// The same contracts as the product's stages, over g_state.
namespace baseline {
int StepWaveField(VisModule* module);
void AdvanceWaveField(const VisModule* module);
int RenderLandscape(std::uint32_t textureOffset);
void MapTunnel();
}  // namespace baseline
