// Render: shows the previous picture, draws the next one into the off-screen surface, moves the palette on.
#pragma once
#include "effect/frame.h"
#include "plugin/vis_records.h"

// 0 = go on (also when skipped while inactive); 1 = stop. Safe to call without a successful Init.
int Render(VisModule* module);

// The frame's inputs and outputs as the plug-in's state holds them: the module's waveform (none for a null
// module), the table set, parameters and palette set; the locked surface, DisplayPalette and the trace scratch.
FrameInputs StateFrameInputs(const VisModule* module);
FrameOutput StateFrameOutput();
// Blends the next DisplayPalette and hands it to the screen; false when the screen could not show it.
bool AnimateDisplayPalette(const FrameInputs& in, FrameOutput& out);
