// The display palette as a screen shows it: as bytes, as the colour words the picture at an output's own size is
// drawn with, and as the YUV a video is encoded in.
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

// 768 bytes of red, green, blue with entry 0 black and entry 255 white, as the screen showed `displayPalette`.
void ScreenPalette(const std::uint8_t* displayPalette, std::uint8_t* palette);
// BT.709 limited range per palette entry; entry 256 is the black around the picture. Chroma is kept at four times
// its scale, for averaging four samples without losing a step.
struct YuvPalette {
  int luma[257], blue[257], red[257];
};
void MakeYuvPalette(const std::uint8_t* displayPalette, YuvPalette& yuv);
