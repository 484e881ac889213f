// The full-screen window and the display behind it: Init's display steps and their fall-backs, the window
// procedure, the release.
#pragma once
#include <cstdint>

#include "plugin/screen.h"
#include "plugin/vis_records.h"
#include "platform/platform.h"

constexpr const char kDisplayClassName[] = "MainWndClass";
// The 32-bit platform's DDSURFACEDESC size, and the members asked for when reading a surface's geometry.
constexpr DWORD kSurfaceDescSize = 108;
constexpr DWORD kGeometryFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_LPSURFACE;  // 0x80E
constexpr DWORD kExclusiveFullScreen = DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN;                // 0x11
constexpr int kDisplayBitsPerPixel = 8;

// The step of the display's set-up that failed, each with its own message; kDisplayOpen when none did.
enum DisplayStep : std::int32_t {
  kDisplayOpen = 0,
  kStepDevice,
  kStepCooperation,
  kStepMode,
  kStepCreatePalette,
  kStepPrimary,
  kStepOffscreen,
  kStepOffscreenMemory,
  kStepGeometry,
  kStepAttachPalette,
  kStepClearScreen,
  kStepMonitor,
  kStepPlaceWindow,
  kStepWindowDC,
  kStepWindowPicture,
  kStepDock,
};
struct DisplayStepMessage {
  const char* text;
  const char* caption;
};
DisplayStepMessage DisplayFailureMessage(DisplayStep step);

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
// width x height at 8 bits per pixel.
int SetExclusiveDisplayMode(int width, int height);
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
// Fills the whole primary surface with index 0, which the 8-bit display shows black.
int ClearScreen();

// Device, exclusive co-operation and the mode width x height x 8.
DisplayStep BeginExclusiveDisplay(int width, int height);
// Palette, primary and off-screen surfaces, geometry, the palette attached; in a larger mode, where the picture
// lies and a black screen around it.
DisplayStep FinishExclusiveDisplay();
// After the effect's own mode failed: 640 x 400 x 8, then 640 x 480 x 8, then a borderless window over the
// monitor of the host's window. The step that failed last, or kDisplayOpen.
DisplayStep OpenFallbackDisplay(VisModule* module);
// The window as a borderless cover of its monitor or as a normal window, drawn through GDI.
DisplayStep OpenWindowDisplay(VisModule* module, DisplayKind kind);
// The window, already placed, as the display of `kind`: the frame in the window's buffer, the picture drawn.
DisplayStep ShowInWindow(DisplayKind kind);
// Where a window goes when it is not full screen: into the player's frame in DisplayMode 3 (the one it has, or a
// new one if the user closed it meanwhile), else, or where the player offers none, the normal window.
DisplayStep OpenHomeWindow(VisModule* module);
// Puts the window back over the whole primary screen as Init made it, for an exclusive mode.
void PlaceFullScreenWindow();
// Releases the surfaces, the palette and the DirectDraw object, which gives the desktop its mode back.
void ReleaseDirectDrawObjects();
// Restores both lost surfaces and attaches the palette again (and clears around an enlarged picture).
int RestoreDisplaySurfaces();
// Alt+Enter, asked for through the window, carried out here: window to full screen and back. False when no
// display could be opened.
bool SwitchDisplayIfAsked(VisModule* module);

// Draws WindowScreen through DisplayPalette into the window's client area (nearest pixel into the largest 4:3
// area, black around it). True also when there is nothing to draw into (a minimised window).
bool DrawWindowPicture(HDC dc);
// Through the window's own drawing context: with "Picture=1" the smooth picture where it can be had
// (window_smooth.h), else DrawWindowPicture.
bool ShowWindowPicture();
// The last picture again with the colours it was last drawn in (the smooth one only at the size it was drawn at),
// for WM_PAINT (from the window's own thread while
// Render may run on another).
bool RepaintWindowPicture(HDC dc);
// The frame drawn last becomes the picture a window shows.
void ShowDrawnFrame();

LRESULT CALLBACK DisplayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Quit's display steps: release the DirectDraw objects, destroy the window, unregister the class.
void ReleaseDisplay(VisModule* module);
