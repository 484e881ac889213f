// What the X server behind Wine really shows: a capture of its root window with xwd, a program of the Unix side
// that Wine starts like any other. Under a Wine virtual desktop, a window's own device context reads that
// window's surface and the screen's reads only the desktop behind all windows; neither sees pixels a destroyed
// window left on the display, which only this capture does.
#pragma once
#include <string>

#include "screen_capture.h"

// Captures width x height from (left, top) of the Wine desktop (the X root window, where the virtual desktop
// lies at its top-left). `scratch` is a Windows path on a drive mapped to the Unix file system (Z:\...) for
// xwd's file. False, with the reason logged, when xwd cannot run or its file cannot be read.
bool CaptureXScreen(const std::string& scratch, int left, int top, int width, int height, ScreenShot* shot);
