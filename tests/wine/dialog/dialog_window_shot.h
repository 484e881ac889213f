// Keeps a picture of a window as it is on the screen, as a PNG file.
#pragma once
#include <windows.h>

#include <string>

#include "dialog_cases.h"

bool SaveWindowShot(HWND window, const std::string& path);
// The window, once its thread has painted it, as "<shots>\<name>"; a failure fails the case.
void KeepDialogShot(const CaseContext& context, HWND window, const char* name);
