// The window screens, borderless over a monitor, a normal window or docked in the player's frame: the frame is
// drawn into a buffer of the plug-in's own and shown in the window, with the palette applied by the plug-in.
#include "plugin/display.h"
#include "plugin/plugin_state.h"
#include "plugin/screen.h"

namespace {

// The borderless window stands for full screen and draws only while active; a normal window goes on behind
// others, for a stream, a screen capture or a second monitor.
bool Active(Plugin& plugin) { return plugin.Screen.WindowActive != 0; }
bool Always(Plugin&) { return true; }

// The picture drawn last becomes the one on the screen; it is shown when the palette step has run.
bool Show(Plugin& plugin) {
  ShowDrawnFrame(plugin.Screen);
  return true;
}

// A frame that does not size its child itself still gets its client area filled.
bool ShowDocked(Plugin& plugin) {
  FollowDockFrame(plugin);
  return Show(plugin);
}

bool Lock(Plugin& plugin) {
  Screen& screen = plugin.Screen;
  screen.FrameWidth = kDisplayWidth;
  screen.FrameHeight = kDisplayHeight;
  screen.FramePitch = kDisplayWidth;
  screen.FramePixels = screen.WindowFrame;
  return true;
}

VidResult Unlock(Plugin&) { return kVidOk; }

// A window shows the previous picture through the new palette now, as the 8-bit display does at once.
bool Present(Plugin& plugin, bool) { return ShowWindowPicture(plugin); }

constexpr ScreenBackend kBorderless{Active, Show, Lock, Unlock, Present};
constexpr ScreenBackend kWindowed{Always, Show, Lock, Unlock, Present};
constexpr ScreenBackend kDocked{Always, ShowDocked, Lock, Unlock, Present};

}  // namespace

const ScreenBackend& BorderlessScreen() { return kBorderless; }
const ScreenBackend& WindowedScreen() { return kWindowed; }
const ScreenBackend& DockedScreen() { return kDocked; }
