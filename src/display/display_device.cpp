// The DirectDraw object, exclusive use of the display and the 320 x 200 x 8 mode.
#include "display/display.h"
#include "host/effect_state.h"

int CreateDisplayDevice() {
  g_state.LastDisplayResult = DirectDrawCreate(nullptr, &g_state.DirectDraw, nullptr);
  return g_state.LastDisplayResult == DD_OK ? 0 : 1;
}

int TakeExclusiveDisplay() {
  g_state.LastDisplayResult = g_state.DirectDraw->SetCooperativeLevel(g_state.Window, kExclusiveFullScreen);
  return g_state.LastDisplayResult == DD_OK ? 0 : 1;
}

int SetEffectDisplayMode() {
  g_state.LastDisplayResult = g_state.DirectDraw->SetDisplayMode(kDisplayWidth, kDisplayHeight, kDisplayBitsPerPixel);
  return g_state.LastDisplayResult == DD_OK ? 0 : 1;
}
