// The DirectDraw object, exclusive use of the display and its 8-bit mode.
#include "plugin/display.h"
#include "plugin/effect_state.h"

int CreateDisplayDevice() {
  g_state.LastDisplayResult = DirectDrawCreate(nullptr, &g_state.DirectDraw, nullptr);
  return g_state.LastDisplayResult == DD_OK ? 0 : 1;
}

int TakeExclusiveDisplay() {
  g_state.LastDisplayResult = g_state.DirectDraw->SetCooperativeLevel(g_state.Window, kExclusiveFullScreen);
  return g_state.LastDisplayResult == DD_OK ? 0 : 1;
}

int SetExclusiveDisplayMode(int width, int height) {
  g_state.LastDisplayResult = g_state.DirectDraw->SetDisplayMode(width, height, kDisplayBitsPerPixel);
  return g_state.LastDisplayResult == DD_OK ? 0 : 1;
}
