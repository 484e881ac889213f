// Render: shows the previous picture, draws the next one into the off-screen surface, moves the palette on.
#pragma once
#include "plugin/vis_records.h"

struct Plugin;

// 0 = go on (also when skipped while inactive); 1 = stop. Safe to call without a successful Init.
int Render(Plugin& plugin, VisModule* module);
