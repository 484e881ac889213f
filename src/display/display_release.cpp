// Giving the display back: the DirectDraw objects, the window and its class.
#include "display/display.h"
#include "host/effect_state.h"

void ReleaseDisplay(VisModule* module) {
  if (g_state.DirectDraw != nullptr) {
    if (g_state.PrimarySurface != nullptr) {
      g_state.PrimarySurface->Release();
      g_state.PrimarySurface = nullptr;
    }
    // The off-screen surface and the palette go with the object, and the desktop gets its own mode back.
    g_state.DirectDraw->Release();
    g_state.DirectDraw = nullptr;
  }
  // The handle stays: after an Escape the window is already gone and this fails quietly.
  DestroyWindow(g_state.Window);
  UnregisterClassA(kDisplayClassName, module->instance);
}
