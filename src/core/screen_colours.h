// The display palette as a screen shows it, in the colour words the picture at an output's own size is drawn with.
#pragma once
#include <cstdint>

// `palette`: 768 bytes of red, green, blue. Each colour becomes a word whose bytes, lowest first, are red, green and
// blue (the fourth byte 0). Entry 0 is black and entry 255 white whatever the palette says: the plug-in's palette
// leaves the system those two, so every screen shows them so.
inline void ScreenColourWords(const std::uint8_t* palette, std::uint32_t colours[256]) {
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t* p = palette + 3 * i;
    colours[i] = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                 static_cast<std::uint32_t>(p[2]) << 16;
  }
  colours[0] = 0;
  colours[255] = 0xFFFFFF;
}
