// Render: shows the previous picture, draws the next one into the off-screen surface, moves the palette on.
#pragma once
#include "core/frame.h"
#include "plugin/vis_records.h"

// 0 = go on (also when skipped while inactive); 1 = stop. Safe to call without a successful Init.
int Render(VisModule* module);

// The frame's output as the plug-in's state holds it: the locked surface and DisplayPalette.
FrameOutput StateFrameOutput();
// Blends the next DisplayPalette and hands it to the screen; false when the screen could not show it.
bool AnimateDisplayPalette(FrameOutput& out);
