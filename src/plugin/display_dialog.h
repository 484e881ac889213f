// The "Display..." dialog the settings window opens: how the effect shows, the picture in windows, and
// forgetting the normal window's place. Its OK keeps the choices for the settings window's OK to store.
#pragma once
#include "platform/platform.h"

#if defined(_WIN32)
// Runs the dialog (resource 109) owned by the settings window; OK puts the choices in g_state.Dialog.Display.
void RunDisplayDialog(HWND settingsDialog);
// Writes the choices in words beside the settings window's "Display..." button.
void ShowDisplaySummary(HWND settingsDialog);
#endif
