// Settings dialog (placeholder).
#include "settings/settings_dialog.h"

int ShowSettingsDialog(VisModule*) { return 2; }
