// The one header through which the plug-in reaches Win32, GDI, the common controls and DirectDraw.
#pragma once

// On Windows this is the real API; elsewhere the headless substitute declares the same names, and the
// build links the one backend it needs (files ending in _win32.cpp or _headless.cpp).
#if defined(_WIN32)
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <ddraw.h>
#ifndef GWL_USERDATA
#define GWL_USERDATA (-21)
#endif
#else
#include "platform/headless/headless_types.h"
#include "platform/headless/headless_files.h"
#include "platform/headless/headless_window.h"
#include "platform/headless/headless_gdi.h"
#include "platform/headless/headless_ddraw.h"
#endif

