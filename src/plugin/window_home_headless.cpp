// The window ways on the headless platform, which has no player frame, one monitor at the base resolution, and
// nothing left on a screen: the normal window takes its default place, and the rest does nothing.
#include <algorithm>

#include "plugin/window_home.h"

DockOpenStatus OpenDockedWindow(VisModule*) { return kDockNotOffered; }
bool DockFrameAlive() { return false; }
bool PlayerOffersFrame(VisModule*) { return false; }
void FollowDockFrame() {}
void LeaveDock(VisModule*) {}
void CloseDock(VisModule*) {}

RECT NormalWindowPlace(VisModule*, const RECT& work, int defaultClientWidth, int defaultClientHeight) {
  RECT frame{0, 0, defaultClientWidth, defaultClientHeight};
  AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
  const int workWidth = work.right - work.left, workHeight = work.bottom - work.top;
  const int width = std::min<int>(frame.right - frame.left, workWidth);
  const int height = std::min<int>(frame.bottom - frame.top, workHeight);
  const int left = work.left + (workWidth - width) / 2, top = work.top + (workHeight - height) / 2;
  return RECT{left, top, left + width, top + height};
}

void NoteWindowGeometry() {}
bool HandleWindowHomeMessage(HWND, UINT, WPARAM, LPARAM, LRESULT*) { return false; }
RECT CoveredArea() { return RECT{}; }
void InvalidateCoveredArea(const RECT&) {}
