// The modal settings dialog and its About box.
#pragma once
#include "host/vis_records.h"

// Loads the settings, runs the dialog owned by the host's window, returns 1 after OK and 2 after Cancel.
int ShowSettingsDialog(VisModule* module);
