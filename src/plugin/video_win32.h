// What the Win32 backend's files share among themselves (files ending in _win32.cpp, the plug-in build only).
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <ddraw.h>

#include "plugin/video.h"

#ifndef GWL_USERDATA
#define GWL_USERDATA (-21)
#endif

struct Plugin;

constexpr const char kDisplayClassName[] = "MainWndClass";

inline HWND WindowHandle(VidWindow* window) { return reinterpret_cast<HWND>(window); }
inline RECT ToRect(const VidRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
inline VidRect ToVidRect(const RECT& r) { return VidRect{r.left, r.top, r.right, r.bottom}; }

// The plug-in's window procedure: no cursor, no background, Escape closes, Alt+Enter switches, other keys go on.
LRESULT CALLBACK DisplayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Messages of the plug-in's window that belong to the window ways (paint, the player's commands, sizing, dots
// per inch). True when handled, with the window procedure's result.
bool HandleWindowHomeMessage(Plugin& plugin, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
