// Render: shows the previous picture, draws the next one into the off-screen surface, moves the palette on.
#pragma once
#include "host/vis_records.h"

// 0 = go on (also when skipped while inactive); 1 = stop. Safe to call without a successful Init.
int Render(VisModule* module);
