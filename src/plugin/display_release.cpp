// Giving the display back: the DirectDraw objects, the window and its class.
#include "plugin/display.h"
#include "plugin/effect_state.h"

void ReleaseDirectDrawObjects() {
  if (g_state.Screen.DirectDraw != nullptr) {
    if (g_state.Screen.PrimarySurface != nullptr) {
      g_state.Screen.PrimarySurface->Release();
      g_state.Screen.PrimarySurface = nullptr;
    }
    // The off-screen surface and the palette are meant to go with the object, but not every DirectDraw does
    // that for objects of the first interface (Wine keeps them, and the device behind them, alive): they are
    // released first, as their creator's children.
    if (g_state.Screen.OffscreenSurface != nullptr) {
      g_state.Screen.OffscreenSurface->Release();
      g_state.Screen.OffscreenSurface = nullptr;
    }
    if (g_state.Screen.Palette != nullptr) {
      g_state.Screen.Palette->Release();
      g_state.Screen.Palette = nullptr;
    }
    // Releasing the exclusive object gives the desktop its own mode back.
    g_state.Screen.DirectDraw->Release();
    g_state.Screen.DirectDraw = nullptr;
  }
}

void ReleaseDisplay(VisModule* module) {
  NoteWindowGeometry();
  const RECT covered = CoveredArea();
  ReleaseDirectDrawObjects();
  ReleaseSmoothPicture();
  g_state.Screen.DisplayKind = kDisplayExclusive;
  // The handle stays: after an Escape the window is already gone and this fails quietly.
  DestroyWindow(g_state.Screen.Window);
  CloseDock(module);
  UnregisterClassA(kDisplayClassName, module->instance);
  // Some systems leave the last picture on the screen where no window of theirs was told to draw again.
  InvalidateCoveredArea(covered);
  SaveWindowGeometryIfChanged(module);
}
