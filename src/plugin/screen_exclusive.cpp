// The exclusive DirectDraw screens: the effect's own 320 x 200 x 8 mode and a larger 8-bit mode with the frame
// enlarged. The frame is drawn into the locked off-screen surface and copied to the primary one a frame later.
#include "plugin/display.h"
#include "plugin/effect_state.h"
#include "plugin/render_error_text.h"
#include "plugin/screen.h"

namespace {

Screen& S() { return g_state.Screen; }

bool Active() { return S().WindowActive != 0; }

// Shows the previous picture, which `copy` puts on the screen. After the display was taken away (Alt+Tab) and
// given back, both surfaces are lost. Restored, the previous picture is gone, but the effect goes on and the
// next call shows the picture this one draws.
bool ShowThrough(HRESULT (*copy)(const char** errorFormat)) {
  const char* errorFormat = nullptr;
  HRESULT copyResult = S().LastDisplayResult = copy(&errorFormat);
  if (copyResult == DD_OK) return true;
  if (copyResult == DDERR_SURFACELOST && RestoreDisplaySurfaces() == 0) return true;
  DrawDisplayError(errorFormat, copyResult);
  return false;
}

RECT FrameRect() { return RECT{0, 0, S().FrameWidth, S().FrameHeight}; }

// In the effect's own mode the surface is copied as it is; one in system memory cannot go through BltFast.
HRESULT CopyAsItIs(const char** errorFormat) {
  RECT source = FrameRect();
  if (S().SystemMemorySurface != 0) {
    *errorFormat = kBlitErrorFormat;
    return S().PrimarySurface->Blt(nullptr, S().OffscreenSurface, &source, DDBLT_WAIT, nullptr);
  }
  *errorFormat = kBlitFastErrorFormat;
  return S().PrimarySurface->BltFast(0, 0, S().OffscreenSurface, &source, DDBLTFAST_WAIT);
}

HRESULT CopyEnlarged(const char** errorFormat) {
  RECT source = FrameRect();
  *errorFormat = kBlitErrorFormat;
  return S().PrimarySurface->Blt(&S().PictureRect, S().OffscreenSurface, &source, DDBLT_WAIT, nullptr);
}

bool ShowAsItIs() { return ShowThrough(CopyAsItIs); }
bool ShowEnlarged() { return ShowThrough(CopyEnlarged); }

HRESULT LockOffscreen() {
  S().SurfaceDesc.dwSize = kSurfaceDescSize;
  S().SurfaceDesc.dwFlags = kGeometryFlags;
  return S().OffscreenSurface->Lock(nullptr, &S().SurfaceDesc, DDLOCK_WAIT, nullptr);
}

bool Lock() {
  HRESULT lockResult = S().LastDisplayResult = LockOffscreen();
  // Lost between the copy and the lock: restored, the lock is tried once more.
  if (lockResult == DDERR_SURFACELOST && RestoreDisplaySurfaces() == 0)
    lockResult = S().LastDisplayResult = LockOffscreen();
  if (lockResult != DD_OK) {
    S().LastDisplayResult = S().OffscreenSurface->Unlock(nullptr);
    if (S().LastDisplayResult == DD_OK) DrawDisplayError(kLockErrorFormat, lockResult);
    return false;
  }
  S().FrameHeight = static_cast<std::int32_t>(S().SurfaceDesc.dwHeight);
  S().FrameWidth = static_cast<std::int32_t>(S().SurfaceDesc.dwWidth);
  S().FramePitch = S().SurfaceDesc.lPitch;
  S().FramePixels = static_cast<std::uint8_t*>(S().SurfaceDesc.lpSurface);
  return true;
}

HRESULT Unlock() { return S().OffscreenSurface->Unlock(nullptr); }

// A refused SetEntries is not a failure of the frame: the phase has moved on and the next call tries again.
bool Present(bool changed) {
  if (changed && S().Palette) S().Palette->SetEntries(0, 0, 256, S().DisplayPalette);
  return true;
}

constexpr ScreenBackend kExclusive{Active, ShowAsItIs, Lock, Unlock, Present};
constexpr ScreenBackend kExclusiveScaled{Active, ShowEnlarged, Lock, Unlock, Present};

}  // namespace

const ScreenBackend& ExclusiveScreen() { return kExclusive; }
const ScreenBackend& ExclusiveScaledScreen() { return kExclusiveScaled; }
