// The DirectDraw object, exclusive use of the display and its 8-bit mode.
#include "plugin/display.h"
#include "plugin/effect_state.h"

int CreateDisplayDevice() {
  g_state.Screen.LastDisplayResult = DirectDrawCreate(nullptr, &g_state.Screen.DirectDraw, nullptr);
  return g_state.Screen.LastDisplayResult == DD_OK ? 0 : 1;
}

int TakeExclusiveDisplay() {
  g_state.Screen.LastDisplayResult =
      g_state.Screen.DirectDraw->SetCooperativeLevel(g_state.Screen.Window, kExclusiveFullScreen);
  return g_state.Screen.LastDisplayResult == DD_OK ? 0 : 1;
}

int SetExclusiveDisplayMode(int width, int height) {
  g_state.Screen.LastDisplayResult = g_state.Screen.DirectDraw->SetDisplayMode(width, height, kDisplayBitsPerPixel);
  return g_state.Screen.LastDisplayResult == DD_OK ? 0 : 1;
}
