// Reading the screen into 0x00RRGGBB pixels through GDI, and writing such a picture as a PNG file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ScreenShot {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // row-major, top row first, 0x00RRGGBB
};

// Copies the top-left width x height of the screen (GetDC(NULL) + BitBlt into a 32-bit DIB section).
bool CaptureScreen(int width, int height, ScreenShot* shot);
// 8-bit RGB PNG with stored (uncompressed) deflate blocks: no compression library needed.
bool WritePng(const std::string& path, const ScreenShot& shot);
