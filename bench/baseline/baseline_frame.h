// Today's frame code (before the stages were tuned further), kept as a second yardstick for the frame benchmark.
#pragma once
#include <cstdint>

#include "effect/frame.h"
#include "tables/table_set.h"

// The same contracts as the product's stages.
namespace baseline {
int StepWaveField(const FrameInputs& in, FrameCounters& counters, FrameOutput& out);
void AdvanceWaveField(const FrameInputs& in, FrameCounters& counters, FrameTrace& trace);
int RenderLandscape(const TableSet& tables, std::uint32_t textureOffset);
void MapTunnel(const TableSet& tables, const FrameOutput& frame);
}  // namespace baseline
