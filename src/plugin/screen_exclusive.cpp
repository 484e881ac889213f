// The exclusive DirectDraw screens: the effect's own 320 x 200 x 8 mode and a larger 8-bit mode with the frame
// enlarged. The frame is drawn into the locked off-screen surface and copied to the primary one a frame later.
#include "plugin/display.h"
#include "plugin/effect_state.h"
#include "plugin/render_error_text.h"
#include "plugin/screen.h"

namespace {

Screen& TheScreen() { return g_state.Screen; }

bool Active() { return TheScreen().WindowActive != 0; }

// Shows the previous picture, which `copy` puts on the screen. After the display was taken away (Alt+Tab) and
// given back, both surfaces are lost. Restored, the previous picture is gone, but the effect goes on and the
// next call shows the picture this one draws.
bool ShowThrough(HRESULT (*copy)(const char** errorFormat)) {
  const char* errorFormat = nullptr;
  HRESULT copyResult = TheScreen().LastDisplayResult = copy(&errorFormat);
  if (copyResult == DD_OK) return true;
  if (copyResult == DDERR_SURFACELOST && RestoreDisplaySurfaces() == 0) return true;
  DrawDisplayError(errorFormat, copyResult);
  return false;
}

RECT FrameRect() { return RECT{0, 0, TheScreen().FrameWidth, TheScreen().FrameHeight}; }

// In the effect's own mode the surface is copied as it is; one in system memory cannot go through BltFast.
HRESULT CopyAsItIs(const char** errorFormat) {
  RECT source = FrameRect();
  if (TheScreen().SystemMemorySurface != 0) {
    *errorFormat = kBlitErrorFormat;
    return TheScreen().PrimarySurface->Blt(nullptr, TheScreen().OffscreenSurface, &source, DDBLT_WAIT, nullptr);
  }
  *errorFormat = kBlitFastErrorFormat;
  return TheScreen().PrimarySurface->BltFast(0, 0, TheScreen().OffscreenSurface, &source, DDBLTFAST_WAIT);
}

HRESULT CopyEnlarged(const char** errorFormat) {
  RECT source = FrameRect();
  *errorFormat = kBlitErrorFormat;
  return TheScreen().PrimarySurface->Blt(&TheScreen().PictureRect, TheScreen().OffscreenSurface, &source, DDBLT_WAIT,
                                         nullptr);
}

bool ShowAsItIs() { return ShowThrough(CopyAsItIs); }
bool ShowEnlarged() { return ShowThrough(CopyEnlarged); }

HRESULT LockOffscreen() {
  TheScreen().SurfaceDesc.dwSize = kSurfaceDescSize;
  TheScreen().SurfaceDesc.dwFlags = kGeometryFlags;
  return TheScreen().OffscreenSurface->Lock(nullptr, &TheScreen().SurfaceDesc, DDLOCK_WAIT, nullptr);
}

bool Lock() {
  HRESULT lockResult = TheScreen().LastDisplayResult = LockOffscreen();
  // Lost between the copy and the lock: restored, the lock is tried once more.
  if (lockResult == DDERR_SURFACELOST && RestoreDisplaySurfaces() == 0)
    lockResult = TheScreen().LastDisplayResult = LockOffscreen();
  if (lockResult != DD_OK) {
    TheScreen().LastDisplayResult = TheScreen().OffscreenSurface->Unlock(nullptr);
    if (TheScreen().LastDisplayResult == DD_OK) DrawDisplayError(kLockErrorFormat, lockResult);
    return false;
  }
  TheScreen().FrameHeight = static_cast<std::int32_t>(TheScreen().SurfaceDesc.dwHeight);
  TheScreen().FrameWidth = static_cast<std::int32_t>(TheScreen().SurfaceDesc.dwWidth);
  TheScreen().FramePitch = TheScreen().SurfaceDesc.lPitch;
  TheScreen().FramePixels = static_cast<std::uint8_t*>(TheScreen().SurfaceDesc.lpSurface);
  return true;
}

HRESULT Unlock() { return TheScreen().OffscreenSurface->Unlock(nullptr); }

// A refused SetEntries is not a failure of the frame: the phase has moved on and the next call tries again.
bool Present(bool changed) {
  if (changed && TheScreen().Palette) TheScreen().Palette->SetEntries(0, 0, 256, TheScreen().DisplayPalette);
  return true;
}

constexpr ScreenBackend kExclusive{Active, ShowAsItIs, Lock, Unlock, Present};
constexpr ScreenBackend kExclusiveScaled{Active, ShowEnlarged, Lock, Unlock, Present};

}  // namespace

const ScreenBackend& ExclusiveScreen() { return kExclusive; }
const ScreenBackend& ExclusiveScaledScreen() { return kExclusiveScaled; }
