// Settings dialog of the native build, which has no window system to show one in.
#include "plugin/settings_dialog.h"

#include "plugin/effect_state.h"
#include "plugin/settings_store.h"

// Behaves as a dialog the user cancelled at once: the settings are read and the parameters derived, so a
// native host that calls Config sees the same state as after a cancelled dialog; nothing is written.
int ShowSettingsDialog(VisModule* module) {
  g_state.Dialog.Module = module;
  LoadSettingsAndParams(module);
  return 2;
}
