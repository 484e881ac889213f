// The plug-in's window and the display behind it: Init's display steps and their fall-backs, the release.
#pragma once
#include <cstdint>

#include "plugin/screen.h"
#include "plugin/vis_records.h"

struct Plugin;

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

// The top-most pop-up window over the whole desktop, keeping the module; false when it could not be made.
bool CreateDisplayWindow(Plugin& plugin, VisModule* module);

// Device, exclusive co-operation and the mode width x height x 8.
DisplayStep BeginExclusiveDisplay(Plugin& plugin, int width, int height);
// Palette, primary and off-screen surfaces (the off-screen one in system memory when video memory has run out,
// once and from then on), geometry, the palette attached; in a larger mode, where the picture lies and a black
// screen around it.
DisplayStep FinishExclusiveDisplay(Plugin& plugin);
// After the effect's own mode failed: 640 x 400 x 8, then 640 x 480 x 8, then a borderless window over the
// monitor of the host's window. The step that failed last, or kDisplayOpen.
DisplayStep OpenFallbackDisplay(Plugin& plugin, VisModule* module);
// The window as a borderless cover of its monitor or as a normal window.
DisplayStep OpenWindowDisplay(Plugin& plugin, VisModule* module, DisplayKind kind);
// The window, already placed, as the display of `kind`: the frame in the window's buffer, the picture drawn.
DisplayStep ShowInWindow(Plugin& plugin, DisplayKind kind);
// Where a window goes when it is not full screen: into the player's frame in DisplayMode 3 (the one it has, or a
// new one if the user closed it meanwhile), else, or where the player offers none, the normal window.
DisplayStep OpenHomeWindow(Plugin& plugin, VisModule* module);
// Puts the window back over the whole primary screen as Init made it, for an exclusive mode.
void PlaceFullScreenWindow(Plugin& plugin);
// Releases the surfaces, the palette and the device, which gives the desktop its mode back.
void ReleaseDeviceObjects(Screen& screen);
// Restores both lost surfaces and attaches the palette again (and clears around an enlarged picture); 0 on success.
int RestoreDisplaySurfaces(Screen& screen);
// Alt+Enter, asked for through the window, carried out here: window to full screen and back. False when no
// display could be opened.
bool SwitchDisplayIfAsked(Plugin& plugin, VisModule* module);

// Draws WindowScreen through DisplayPalette into the window's client area (nearest pixel into the largest 4:3
// area, black around it). True also when there is nothing to draw into (a minimised window).
bool DrawWindowPicture(Plugin& plugin, VidCanvas* canvas);
// Into the window: with "Picture=1" the hd picture where it can be had (window_hd.h), else DrawWindowPicture.
bool ShowWindowPicture(Plugin& plugin);
// The last picture again with the colours it was last drawn in (the hd one only at the size it was drawn at), for
// a repaint (from the window's own thread while Render may run on another).
bool RepaintWindowPicture(Plugin& plugin, VidCanvas* canvas);
// The frame drawn last becomes the picture a window shows.
void ShowDrawnFrame(Screen& screen);

// Quit's display steps: release the device's objects, destroy the window, unregister the class.
void ReleaseDisplay(Plugin& plugin, VisModule* module);
