// The palette animation: blends the display palette from one palette of the set to the next.
#pragma once
#include "core/frame.h"

// Writes red, green and blue of the 256 entries at out.PaletteEntries (flags untouched) and moves the phase on.
// True when the entries were written, which the caller then hands to the display; false (only the phase moves)
// without a palette set.
bool AnimatePalette(const FrameInputs& in, FrameCounters& counters, FrameOutput& out);
