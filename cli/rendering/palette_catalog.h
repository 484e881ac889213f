// The palettes of a folder listed, the names people call them by, and a palette found by name.
#pragma once
#include <ostream>
#include <vector>

#include "data/palette_names.h"

// One line per palette: number, name, file; with `colour`, a strip of its colours from the far end of the tunnel
// to the crests in the terminal's 24-bit colours.
void WritePaletteList(std::ostream& out, const std::vector<NamedPalette>& palettes, bool colour);
