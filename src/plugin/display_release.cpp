// Giving the display back: the device's objects, the window and its class.
#include "plugin/display.h"
#include "plugin/plugin_state.h"

void ReleaseDisplay(Plugin& plugin, VisModule* module) {
  NoteWindowGeometry(plugin);
  const VidRect covered = CoveredArea(plugin);
  ReleaseDeviceObjects(plugin.Screen);
  ReleaseHdPicture(plugin);
  plugin.Screen.DisplayKind = kDisplayExclusive;
  // The window stays named: after an Escape it is already gone and this does nothing.
  VidDestroyWindow(plugin.Screen.Window);
  CloseDock(plugin, module);
  VidUnregisterClass(module);
  // Some systems leave the last picture on the screen where no window of theirs was told to draw again.
  InvalidateCoveredArea(covered);
  SaveWindowGeometryIfChanged(plugin, module);
}
