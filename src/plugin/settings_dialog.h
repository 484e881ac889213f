// The modal settings dialog and its About box.
#pragma once
#include "plugin/vis_records.h"

struct Plugin;

// Loads the settings, runs the dialog owned by the host's window, returns 1 after OK and 2 after Cancel. Where
// there is no dialog (the native tests' device) it behaves as one the user cancelled at once.
int ShowSettingsDialog(Plugin& plugin, VisModule* module);

#if defined(_WIN32)
#include <windows.h>

// Dialog procedures of the settings dialog (resource 101) and the About box (resource 107).
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Enables the custom wave pair's group, labels and sliders when RadioIndex is 0, disables them otherwise.
void UpdateCustomControls(HWND dialog);
#endif
