// Settings dialog for the headless build (placeholder).
#include "settings/settings_dialog.h"

int ShowSettingsDialog(VisModule*) { return 2; }
