// The full-screen window and the DirectDraw display: Init's display steps, the window procedure, the release.
#pragma once
#include "host/vis_records.h"
#include "platform/platform.h"

LRESULT CALLBACK DisplayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Quit's display steps: release the DirectDraw objects, destroy the window, unregister the class.
void ReleaseDisplay(VisModule* module);
