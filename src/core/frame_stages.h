// The drawing part of one frame, stage after stage: the field, the landscape, the tunnel, the counters.
#pragma once
#include "core/frame.h"

// Draws one frame into out.Pixels and moves the frame counter and the texture scroll on. 0 = drawn; 1 = no
// frame: the wave buffers or the height map are missing, nothing changed.
int DrawFrameStages(const FrameInputs& in, FrameCounters& counters, FrameTrace& trace, const FrameOutput& out);
