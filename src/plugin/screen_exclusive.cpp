// The exclusive screens: the effect's own 320 x 200 x 8 mode and a larger 8-bit mode with the frame enlarged. The
// frame is drawn into the locked off-screen surface and copied to the screen surface a frame later.
#include "plugin/display.h"
#include "plugin/plugin_state.h"
#include "plugin/render_error_text.h"
#include "plugin/screen.h"

namespace {

bool Active(Plugin& plugin) { return plugin.Screen.WindowActive != 0; }

// Shows the previous picture, which `copy` puts on the screen. After the display was taken away (Alt+Tab) and
// given back, both surfaces are lost. Restored, the previous picture is gone, but the effect goes on and the
// next call shows the picture this one draws.
bool ShowThrough(Screen& screen, VidResult (*copy)(Screen&, const char** errorLabel)) {
  const char* errorLabel = nullptr;
  const VidResult copyResult = screen.LastDisplayResult = copy(screen, &errorLabel);
  if (copyResult == kVidOk) return true;
  if (copyResult == kVidSurfaceLost && RestoreDisplaySurfaces(screen) == 0) return true;
  DrawDisplayError(screen.PrimarySurface, errorLabel, copyResult);
  return false;
}

VidRect FrameRect(const Screen& screen) { return VidRect{0, 0, screen.FrameWidth, screen.FrameHeight}; }

// In the effect's own mode the surface is copied as it is; one in system memory cannot go the fast way.
VidResult CopyAsItIs(Screen& screen, const char** errorLabel) {
  const bool fast = screen.SystemMemorySurface == 0;
  *errorLabel = fast ? kBlitFastErrorFormat : kBlitErrorFormat;
  return VidCopy(screen.PrimarySurface, nullptr, screen.OffscreenSurface, FrameRect(screen), fast);
}

VidResult CopyEnlarged(Screen& screen, const char** errorLabel) {
  *errorLabel = kBlitErrorFormat;
  return VidCopy(screen.PrimarySurface, &screen.PictureRect, screen.OffscreenSurface, FrameRect(screen), false);
}

bool ShowAsItIs(Plugin& plugin) { return ShowThrough(plugin.Screen, CopyAsItIs); }
bool ShowEnlarged(Plugin& plugin) { return ShowThrough(plugin.Screen, CopyEnlarged); }

bool Lock(Plugin& plugin) {
  Screen& screen = plugin.Screen;
  VidFrame locked{};
  VidResult lockResult = screen.LastDisplayResult = VidLock(screen.OffscreenSurface, &locked);
  // Lost between the copy and the lock: restored, the lock is tried once more.
  if (lockResult == kVidSurfaceLost && RestoreDisplaySurfaces(screen) == 0)
    lockResult = screen.LastDisplayResult = VidLock(screen.OffscreenSurface, &locked);
  if (lockResult != kVidOk) {
    screen.LastDisplayResult = VidUnlock(screen.OffscreenSurface);
    if (screen.LastDisplayResult == kVidOk) DrawDisplayError(screen.PrimarySurface, kLockErrorFormat, lockResult);
    return false;
  }
  screen.FrameHeight = locked.height;
  screen.FrameWidth = locked.width;
  screen.FramePitch = locked.pitch;
  screen.FramePixels = locked.pixels;
  return true;
}

VidResult Unlock(Plugin& plugin) { return VidUnlock(plugin.Screen.OffscreenSurface); }

// A refused palette is not a failure of the frame: the phase has moved on and the next call tries again.
bool Present(Plugin& plugin, bool changed) {
  if (changed && plugin.Screen.Palette) VidSetEntries(plugin.Screen.Palette, plugin.Screen.DisplayPalette);
  return true;
}

constexpr ScreenBackend kExclusive{Active, ShowAsItIs, Lock, Unlock, Present};
constexpr ScreenBackend kExclusiveScaled{Active, ShowEnlarged, Lock, Unlock, Present};

}  // namespace

const ScreenBackend& ExclusiveScreen() { return kExclusive; }
const ScreenBackend& ExclusiveScaledScreen() { return kExclusiveScaled; }
