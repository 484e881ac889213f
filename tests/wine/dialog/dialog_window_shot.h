// Keeps a picture of a window as it is on the screen, as a PNG file.
#pragma once
#include <windows.h>

#include <string>

bool SaveWindowShot(HWND window, const std::string& path);
