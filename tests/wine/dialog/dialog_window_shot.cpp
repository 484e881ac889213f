// Copies a window's rectangle from the screen and writes it as a PNG file.
#include "dialog_window_shot.h"

#include "../host/screen_capture.h"

bool SaveWindowShot(HWND window, const std::string& path) {
  RECT box{};
  if (!GetWindowRect(window, &box)) return false;
  ScreenShot shot;
  return CaptureWindowAt(nullptr, box.left, box.top, box.right - box.left, box.bottom - box.top, &shot) &&
         WritePng(path, shot);
}
