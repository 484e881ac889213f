// Reading the screen into 0x00RRGGBB pixels through GDI, and writing such a picture as a PNG file.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct ScreenShot {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // row-major, top row first, 0x00RRGGBB
};

// Copies the top-left width x height of the window's client area (the screen when window is null) with
// GetDC + BitBlt into a 32-bit DIB section. Under Wine a window's DC reads the window's own surface, where
// DirectDraw presents; the screen DC reads only the desktop behind the top-level windows.
bool CaptureWindow(HWND window, int width, int height, ScreenShot* shot);
// The same from (left, top) of that device context: with a null window, any rectangle of the screen.
bool CaptureWindowAt(HWND window, int left, int top, int width, int height, ScreenShot* shot);
// 8-bit RGB PNG with stored (uncompressed) deflate blocks: no compression library needed.
bool WritePng(const std::string& path, const ScreenShot& shot);
