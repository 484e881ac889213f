// The ripple simulation: injects the waveform, advances the field, builds the height map, draws the frame.
#pragma once
#include "host/vis_records.h"

// Runs one frame of the pipeline into FramePixels/FramePitch (the locked surface). 0 = frame complete;
// 1 = the landscape renderer failed (never, in this implementation).
int StepWaveField(VisModule* module);
