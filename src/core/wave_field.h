// The ripple simulation: injects the waveform, advances the field, builds the height map.
#pragma once
#include "core/frame.h"

// The field's part of a frame: roles, injection, borders, ripple and height map; no drawing, and of the counters
// only the wave parity. Needs the wave buffers and the height map.
void AdvanceWaveField(const FrameInputs& in, FrameCounters& counters, FrameTrace& trace);
