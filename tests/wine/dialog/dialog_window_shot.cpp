// Copies a window's rectangle from the screen into a 32-bit DIB section and writes it as a PNG file.
#include "dialog_window_shot.h"

#include "../host/screen_capture.h"

bool SaveWindowShot(HWND window, const std::string& path) {
  RECT box{};
  if (!GetWindowRect(window, &box)) return false;
  const int width = box.right - box.left, height = box.bottom - box.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(screen);
  bool copied = false;
  ScreenShot shot;
  if (section != nullptr && memory != nullptr) {
    HGDIOBJ old = SelectObject(memory, section);
    copied = BitBlt(memory, 0, 0, width, height, screen, box.left, box.top, SRCCOPY) != 0;
    GdiFlush();
    if (copied) {
      shot.width = width;
      shot.height = height;
      shot.pixels.resize(static_cast<std::size_t>(width) * height);
      const auto* source = static_cast<const std::uint32_t*>(bits);
      for (std::size_t i = 0; i < shot.pixels.size(); ++i) shot.pixels[i] = source[i] & 0x00FFFFFFu;
    }
    SelectObject(memory, old);
  }
  if (memory != nullptr) DeleteDC(memory);
  if (section != nullptr) DeleteObject(section);
  ReleaseDC(nullptr, screen);
  return copied && WritePng(path, shot);
}
