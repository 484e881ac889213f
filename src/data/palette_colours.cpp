// Palette file bytes as display entries, and the palette files' name rule.
#include "data/palette_colours.h"

void ExpandPalette(const std::uint8_t* file, std::uint8_t* entries, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    entries[4 * i] = PaletteIntensity(file[3 * i]);
    entries[4 * i + 1] = PaletteIntensity(file[3 * i + 1]);
    entries[4 * i + 2] = PaletteIntensity(file[3 * i + 2]);
    entries[4 * i + 3] = kPaletteReservedFlag;
  }
}

bool IsPaletteFileName(std::string_view name) {
  if (name.size() < 4) return false;
  const std::string_view ext = name.substr(name.size() - 4);
  return ext[0] == '.' && (ext[1] | 0x20) == 'p' && (ext[2] | 0x20) == 'a' && (ext[3] | 0x20) == 'l';
}
