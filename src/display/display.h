// The full-screen window and the DirectDraw display: Init's display steps, the window procedure, the release.
#pragma once
#include <cstdint>

#include "host/vis_records.h"
#include "platform/platform.h"

constexpr const char kDisplayClassName[] = "MainWndClass";
// The 32-bit platform's DDSURFACEDESC size, and the members asked for when reading a surface's geometry.
constexpr DWORD kSurfaceDescSize = 108;
constexpr DWORD kGeometryFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_LPSURFACE;  // 0x80E
constexpr DWORD kExclusiveFullScreen = DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN;                // 0x11
constexpr int kDisplayWidth = 320;
constexpr int kDisplayHeight = 200;
constexpr int kDisplayBitsPerPixel = 8;

// Every step answers 0 on success and non-zero on failure; DirectDraw steps keep their call's result in
// LastDisplayResult.

// Registers "MainWndClass" for the module's instance.
int RegisterDisplayClass(VisModule* module);
// Creates the top-most pop-up window over the whole desktop, keeps the module in its user data, shows it.
int CreateDisplayWindow(VisModule* module);

// DirectDrawCreate for the primary display.
int CreateDisplayDevice();
// Exclusive full-screen use of the display for the window.
int TakeExclusiveDisplay();
// 320 x 200 at 8 bits per pixel.
int SetEffectDisplayMode();
// The DirectDraw palette, from DisplayPalette.
int CreateDisplayPalette();
int CreatePrimarySurface();

enum OffscreenStatus : std::int32_t {
  kOffscreenCreated = 0,
  kOffscreenFailed = 1,        // the first request failed with anything but lack of video memory
  kOffscreenNoAllocation = 2,  // the system-memory request failed too
};
// The 320 x 200 off-screen surface, in system memory when video memory has run out (once, and from then on).
OffscreenStatus CreateOffscreenSurface();
// FrameWidth, FrameHeight, FramePitch and FramePixels from the off-screen surface's description.
int ReadOffscreenGeometry();
// Attaches the palette to the primary surface.
int AttachDisplayPalette();

LRESULT CALLBACK DisplayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Quit's display steps: release the DirectDraw objects, destroy the window, unregister the class.
void ReleaseDisplay(VisModule* module);
