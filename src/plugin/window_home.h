// Where the plug-in's window lives when it is not full screen: docked in the frame the player offers through its
// embed-window interface, or a normal window whose place and size are remembered in plugin.ini. Also what every
// window way to the screen shares: repainting the last picture, the player's visualization commands, and leaving
// nothing of the picture behind at Quit.
#pragma once
#include <cstdint>

#include "data/window_place.h"
#include "plugin/vis_records.h"
#include "platform/platform.h"

// The player's record for a frame it makes for a plug-in (its SDK's embedWindowState). The player keeps a pointer
// to it for as long as the frame lives, so it lives in the plug-in's static state.
struct EmbedWindowState {
  HWND me;  // the frame, filled in by the player
  int flags;
  RECT r;  // where the frame goes, and where the player keeps its place
  void* userPointer;
  int extraData[64];  // the player's own
};

struct WindowHome {
  // Where Alt+Enter from full screen goes back to: kDisplayWindowed, or kDisplayDocked while the frame lives.
  std::int32_t Kind{};
  HWND Frame{};
  EmbedWindowState FrameState{};
  // What plugin.ini held at Init (or the place first given without it), and where the normal window was last.
  // A place is the outer top-left corner on the screen and the client area's size at 96 dots per inch.
  WindowPlace Stored{}, Current{};
  // The player's next/previous palette commands, in whole palettes, for the next Render; read and cleared atomically.
  std::int32_t PaletteSkip{};
};

// Asks the host's window for a frame (IPC_GET_EMBEDIF), makes the plug-in's window a child filling it, shows it
// and names the window to the player for its visualization commands (IPC_SETVISWND). kStepNoDock when the host
// offers no frame, and the window is left as it was.
enum DockOpenStatus : std::int32_t { kDockOpen = 0, kDockNotOffered = 1, kDockFailed = 2 };
DockOpenStatus OpenDockedWindow(VisModule* module);
// Whether the frame still exists (the user may have closed it while the effect was full screen).
bool DockFrameAlive();
// Whether the player offers frames, asked as OpenDockedWindow asks (a frame the effect docks in answers at once);
// the frame made for the question is closed again.
bool PlayerOffersFrame(VisModule* module);
// Keeps the docked window the size of the frame's client area, for a frame that does not resize its child.
void FollowDockFrame();
// Makes the docked window top-level again, for full screen; the frame stays for the way back.
void LeaveDock(VisModule* module);
// Quit's part: the player is told there is no visualization window any more and the frame is closed.
void CloseDock(VisModule* module);

// The normal window's outer rectangle: where it was last (this run or in plugin.ini), kept on a visible monitor,
// its size at the monitor's resolution; without either, `defaultClient` centred in `work`.
RECT NormalWindowPlace(VisModule* module, const RECT& work, int defaultClientWidth, int defaultClientHeight);
// Notes where the normal window is now (nothing while it is minimised or maximised, or not a normal window).
void NoteWindowGeometry();
// plugin.ini's "WindowLeft", "WindowTop", "WindowWidth", "WindowHeight" (section of the module's description).
void LoadWindowGeometry(VisModule* module);
// Writes those keys when the window's place differs from what the file held (or from the first place given).
void SaveWindowGeometryIfChanged(VisModule* module);

// Messages of the plug-in's window that belong to the window ways (paint, the player's commands, sizing, dots
// per inch). True when handled, with the window procedure's result.
bool HandleWindowHomeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
// Moves the palette by the commands that arrived since the last frame (Render calls it before the palette step).
void ApplyPaletteCommands();

// What the plug-in's window covers now, in screen coordinates: the whole desktop for full screen.
RECT CoveredArea();
// Has every window under `area` draw itself again, so that nothing of the picture stays on the screen.
void InvalidateCoveredArea(const RECT& area);
