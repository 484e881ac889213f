// The ripple simulation: injects the waveform, advances the field, builds the height map, draws the frame.
#pragma once
#include "host/vis_records.h"

// Runs one frame of the pipeline into FramePixels/FramePitch (the locked surface). 0 = frame complete;
// 1 = no frame: the wave buffers or the height map are missing (the landscape renderer itself cannot fail).
int StepWaveField(VisModule* module);

// The field's part of a frame alone: roles, injection, borders, ripple and height map; no drawing, no counters.
// Needs the wave buffers and the height map.
void AdvanceWaveField(const VisModule* module);
