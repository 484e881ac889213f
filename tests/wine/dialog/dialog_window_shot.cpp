// Copies a window's rectangle from the screen and writes it as a PNG file.
#include "dialog_window_shot.h"

#include "../host/host_log.h"
#include "../host/screen_capture.h"

bool SaveWindowShot(HWND window, const std::string& path) {
  RECT box{};
  if (!GetWindowRect(window, &box)) return false;
  ScreenShot shot;
  return CaptureWindowAt(nullptr, box.left, box.top, box.right - box.left, box.bottom - box.top, &shot) &&
         WritePng(path, shot);
}

void KeepDialogShot(const CaseContext& context, HWND window, const char* name) {
  // Let the dialog thread finish painting before the screen is read.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  SendMessageA(window, WM_NULL, 0, 0);
  Sleep(200);
  const std::string path = context.shots + "\\" + name;
  if (!SaveWindowShot(window, path)) Fail("could not keep a picture of the window in %s", path.c_str());
}
