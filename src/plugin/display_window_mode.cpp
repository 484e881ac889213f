// The display as a window: a borderless cover of the host's monitor, or a normal window, placed and styled.

#include "plugin/display.h"
#include "plugin/effect_state.h"

namespace {

// The client area of a new normal window: the frame at twice its size, in the 4:3 shape of the display it
// was made for.
constexpr int kWindowClientWidth = 640;
constexpr int kWindowClientHeight = 480;

// The monitor that holds the host's window: its whole rectangle, or the usable part of it.
bool HostMonitor(VisModule* module, RECT* monitor, RECT* work) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(MonitorFromWindow(module->parent, MONITOR_DEFAULTTOPRIMARY), &info) == 0) return false;
  *monitor = info.rcMonitor;
  *work = info.rcWork;
  return true;
}

bool PlaceWindow(HWND after, DWORD style, DWORD exStyle, const RECT& area) {
  SetWindowLongA(g_state.Screen.Window, GWL_STYLE, static_cast<LONG_PTR>(style | WS_VISIBLE));
  SetWindowLongA(g_state.Screen.Window, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle));
  return SetWindowPos(g_state.Screen.Window, after, area.left, area.top, area.right - area.left, area.bottom - area.top,
                      SWP_FRAMECHANGED | SWP_SHOWWINDOW) != 0;
}

}  // namespace

DisplayStep OpenWindowDisplay(VisModule* module, DisplayKind kind) {
  RECT monitor{}, work{};
  if (!HostMonitor(module, &monitor, &work)) return kStepMonitor;
  const bool normal = kind == kDisplayWindowed;
  if (!(normal ? PlaceWindow(HWND_NOTOPMOST, WS_OVERLAPPEDWINDOW, 0,
                             NormalWindowPlace(module, work, kWindowClientWidth, kWindowClientHeight))
               : PlaceWindow(HWND_TOPMOST, WS_POPUP, WS_EX_TOPMOST, monitor)))
    return kStepPlaceWindow;
  return ShowInWindow(kind);
}

DisplayStep ShowInWindow(DisplayKind kind) {
  g_state.Screen.DisplayKind = kind;
  // The frame the pipeline draws is the same 320 x 200 as on the exclusive display, so its tables fit every way.
  g_state.Screen.FrameWidth = kDisplayWidth;
  g_state.Screen.FrameHeight = kDisplayHeight;
  g_state.Screen.FramePitch = kDisplayWidth;
  g_state.Screen.FramePixels = nullptr;
  HDC dc = GetDC(g_state.Screen.Window);
  if (dc == nullptr) return kStepWindowDC;
  const bool drawn = DrawWindowPicture(dc);
  ReleaseDC(g_state.Screen.Window, dc);
  return drawn ? kDisplayOpen : kStepWindowPicture;
}

DisplayStep OpenHomeWindow(VisModule* module) {
  if (g_state.Screen.Home.Kind == kDisplayDocked) {
    const DockOpenStatus docked = OpenDockedWindow(module);
    if (docked == kDockOpen) return ShowInWindow(kDisplayDocked);
    if (docked == kDockFailed) return kStepDock;
  }
  return OpenWindowDisplay(module, kDisplayWindowed);
}

void PlaceFullScreenWindow() {
  const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  PlaceWindow(HWND_TOPMOST, WS_POPUP, WS_EX_TOPMOST, screen);
}
