// A BMP file's bytes turned into the rows and colours a device-independent section holds, as the system's
// bitmap loader makes them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Red in the low byte, then green and blue: the system's colour value.
using BitmapColour = std::uint32_t;

struct DecodedBitmap {
  int width = 0, height = 0;  // height counts rows and is never negative
  int bitsPerPixel = 0;       // 1, 4, 8, 16, 24 or 32: what the section reports (run-length files unpacked)
  std::size_t stride = 0;     // bytes per row, padded to four
  bool bottomUp = true;       // rows stored bottom row first
  std::vector<std::uint8_t> rows;
  std::vector<BitmapColour> colours;   // 1, 4 and 8 bits: the colour table; an index past it is black
  std::uint32_t masks[3] = {0, 0, 0};  // 16 and 32 bits: red, green and blue
};

// False for anything not loaded: a damaged or cut-off file, an unknown header, depth or compression, a side of
// zero, a negative width, a side beyond 16384, pixel data that does not lie wholly inside the file. Every read
// stays inside `size` bytes.
bool DecodeBmpFile(const std::uint8_t* bytes, std::size_t size, DecodedBitmap* out);

// The colour of column x, row y (row 0 at the top); both must be inside the bitmap.
BitmapColour DecodedPixel(const DecodedBitmap& bitmap, int x, int y);
