// The ripple simulation: injects the waveform, advances the field, builds the height map, draws the frame.
#pragma once
#include "effect/frame.h"

// Draws one frame into out.Pixels and moves the frame counter and the texture scroll on. 0 = frame complete;
// 1 = no frame: the wave buffers or the height map are missing (the landscape renderer itself cannot fail).
int StepWaveField(const FrameInputs& in, FrameCounters& counters, FrameOutput& out);

// The field's part of a frame alone: roles, injection, borders, ripple and height map; no drawing, and of the
// counters only the wave parity. Needs the wave buffers and the height map.
void AdvanceWaveField(const FrameInputs& in, FrameCounters& counters, FrameTrace& trace);
