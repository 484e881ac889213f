// The window screens, borderless over a monitor, a normal window or docked in the player's frame: the frame is
// drawn into a buffer of the plug-in's own and shown through GDI, with the palette applied by the plug-in.

#include "plugin/display.h"
#include "plugin/effect_state.h"
#include "plugin/screen.h"

namespace {

Screen& TheScreen() { return g_state.Screen; }

// The borderless window stands for full screen and draws only while active; a normal window goes on behind
// others, for a stream, a screen capture or a second monitor.
bool Active() { return TheScreen().WindowActive != 0; }
bool Always() { return true; }

// The picture drawn last becomes the one on the screen; it is shown when the palette step has run.
bool Show() {
  ShowDrawnFrame();
  return true;
}

// A frame that does not size its child itself still gets its client area filled.
bool ShowDocked() {
  FollowDockFrame();
  return Show();
}

bool Lock() {
  TheScreen().FrameWidth = kDisplayWidth;
  TheScreen().FrameHeight = kDisplayHeight;
  TheScreen().FramePitch = kDisplayWidth;
  TheScreen().FramePixels = TheScreen().WindowFrame;
  return true;
}

HRESULT Unlock() { return DD_OK; }

// A window shows the previous picture through the new palette now, as the 8-bit display does at once.
bool Present(bool) { return ShowWindowPicture(); }

constexpr ScreenBackend kBorderless{Active, Show, Lock, Unlock, Present};
constexpr ScreenBackend kWindowed{Always, Show, Lock, Unlock, Present};
constexpr ScreenBackend kDocked{Always, ShowDocked, Lock, Unlock, Present};

}  // namespace

const ScreenBackend& BorderlessScreen() { return kBorderless; }
const ScreenBackend& WindowedScreen() { return kWindowed; }
const ScreenBackend& DockedScreen() { return kDocked; }
