// The window class "MainWndClass" and the top-most full-screen pop-up window.
#include "plugin/display.h"
#include "plugin/effect_state.h"

namespace {
// The system's number for an application's own icon and for the standard arrow.
const LPCSTR kStandardIcon = MAKEINTRESOURCEA(32512);
const LPCSTR kStandardArrow = MAKEINTRESOURCEA(32512);
}  // namespace

int RegisterDisplayClass(VisModule* module) {
  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = DisplayWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = module->instance;
  // The library carries no icon, so this asks for one and gets none.
  windowClass.hIcon = LoadIconA(module->instance, kStandardIcon);
  windowClass.hCursor = LoadCursorA(nullptr, kStandardArrow);
  windowClass.hbrBackground = nullptr;
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kDisplayClassName;
  return RegisterClassA(&windowClass) != 0 ? 0 : 1;
}

int CreateDisplayWindow(VisModule* module) {
  // Measured before the display mode changes: the window covers the desktop as it is now.
  int width = GetSystemMetrics(SM_CXSCREEN);
  int height = GetSystemMetrics(SM_CYSCREEN);
  g_state.Screen.Window = CreateWindowExA(WS_EX_TOPMOST, kDisplayClassName, module->description, WS_POPUP, 0, 0, width,
                                          height, module->parent, nullptr, module->instance, nullptr);
  if (g_state.Screen.Window == nullptr) return 1;
  SetWindowLongA(g_state.Screen.Window, GWL_USERDATA, reinterpret_cast<LONG_PTR>(module));
  ShowWindow(g_state.Screen.Window, SW_SHOWNORMAL);
  UpdateWindow(g_state.Screen.Window);
  return 0;
}
