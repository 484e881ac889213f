// The full-screen window and DirectDraw display (placeholder).
#include "display/display.h"

LRESULT CALLBACK DisplayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}
void ReleaseDisplay(VisModule*) {}
