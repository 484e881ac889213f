// The tunnel mapper: wraps the LandscapeImage around the screen through the TunnelTable.
#pragma once
#include "core/frame.h"

// Writes frame.Height rows of frame.Width bytes at frame.Pixels, frame.Pitch apart. Needs the table set built.
void MapTunnel(const TableSet& tables, const FrameOutput& frame);
