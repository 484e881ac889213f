// The colour the screen shows for a palette index of the 8-bit DirectDraw display.
#pragma once
#include <windows.h>

#include <cstdint>

// A palette made with DDPCAPS_8BIT alone (no DDPCAPS_ALLOW256) leaves entries 0 and 255 to the system, which
// shows them black and white whatever the table says; every other index shows its entry. As 0x00RRGGBB.
inline std::uint32_t ShownColour(const PALETTEENTRY* palette, int index) {
  if (index == 0) return 0x000000;
  if (index == 255) return 0xFFFFFF;
  const PALETTEENTRY& e = palette[index];
  return (std::uint32_t{e.peRed} << 16) | (std::uint32_t{e.peGreen} << 8) | e.peBlue;
}
