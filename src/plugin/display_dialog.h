// The "Display..." dialog the settings window opens: how the effect shows, the picture in windows, and
// forgetting the normal window's place. Its OK keeps the choices for the settings window's OK to store.
#pragma once
#include <windows.h>

struct Plugin;

// Runs the dialog (resource 109) owned by the settings window; OK puts the choices in the state's Dialog.Display.
void RunDisplayDialog(Plugin& plugin, HWND settingsDialog);
// Writes the choices in words beside the settings window's "Display..." button.
void ShowDisplaySummary(const Plugin& plugin, HWND settingsDialog);
