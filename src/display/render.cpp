// Render: shows the picture drawn by the previous call, draws the next one, moves the palette on.
#include "display/render.h"

#include <cstddef>
#include <cstring>

#include "display/display.h"
#include "display/render_error_text.h"
#include "host/effect_state.h"

namespace {

bool InWindow() { return g_state.DisplayKind == kDisplayBorderless || g_state.DisplayKind == kDisplayWindowed; }

// Hosts call Render after an Init that failed and after Quit; without tables and surfaces there is nothing to
// show, and the stale surface references must not be touched.
bool DisplayReady() {
  if (!g_state.Effect.Built()) return false;
  return InWindow() ||
         (g_state.DirectDraw != nullptr && g_state.PrimarySurface != nullptr && g_state.OffscreenSurface != nullptr);
}

// Full screen draws only while it is the active window; a normal window goes on behind others, for a stream, a
// screen capture or a second monitor.
bool PictureWanted() { return g_state.WindowActive != 0 || g_state.DisplayKind == kDisplayWindowed; }

// Copies the off-screen surface, which holds the previous call's picture, to the screen: as it is, or enlarged
// into the picture's place on a larger screen.
HRESULT CopyPreviousPicture(const char** errorFormat) {
  RECT source{0, 0, g_state.FrameWidth, g_state.FrameHeight};
  if (g_state.DisplayKind == kDisplayExclusiveScaled) {
    *errorFormat = kBlitErrorFormat;
    return g_state.PrimarySurface->Blt(&g_state.PictureRect, g_state.OffscreenSurface, &source, DDBLT_WAIT, nullptr);
  }
  if (g_state.SystemMemorySurface != 0) {
    *errorFormat = kBlitErrorFormat;
    return g_state.PrimarySurface->Blt(nullptr, g_state.OffscreenSurface, &source, DDBLT_WAIT, nullptr);
  }
  *errorFormat = kBlitFastErrorFormat;
  return g_state.PrimarySurface->BltFast(0, 0, g_state.OffscreenSurface, &source, DDBLTFAST_WAIT);
}

bool ShowPreviousPicture() {
  if (InWindow()) {
    std::memcpy(g_state.WindowScreen, g_state.WindowFrame, sizeof g_state.WindowScreen);
    return true;
  }
  const char* errorFormat = nullptr;
  HRESULT copyResult = g_state.LastDisplayResult = CopyPreviousPicture(&errorFormat);
  if (copyResult == DD_OK) return true;
  // After the display was taken away (Alt+Tab) and given back, both surfaces are lost. Restored, the previous
  // picture is gone, but the effect goes on and the next call shows the picture this one draws.
  if (copyResult == DDERR_SURFACELOST && RestoreDisplaySurfaces() == 0) return true;
  DrawDisplayError(errorFormat, copyResult);
  return false;
}

HRESULT LockOffscreen() {
  g_state.SurfaceDesc.dwSize = kSurfaceDescSize;
  g_state.SurfaceDesc.dwFlags = kGeometryFlags;
  return g_state.OffscreenSurface->Lock(nullptr, &g_state.SurfaceDesc, DDLOCK_WAIT, nullptr);
}

// Locks the off-screen surface (in a window, takes the frame buffer) and copies its geometry into the frame
// members.
bool LockFrame() {
  if (InWindow()) {
    g_state.FrameWidth = kDisplayWidth;
    g_state.FrameHeight = kDisplayHeight;
    g_state.FramePitch = kDisplayWidth;
    g_state.FramePixels = g_state.WindowFrame;
    return true;
  }
  HRESULT lockResult = g_state.LastDisplayResult = LockOffscreen();
  // Lost between the copy and the lock: restored, the lock is tried once more.
  if (lockResult == DDERR_SURFACELOST && RestoreDisplaySurfaces() == 0)
    lockResult = g_state.LastDisplayResult = LockOffscreen();
  if (lockResult != DD_OK) {
    g_state.LastDisplayResult = g_state.OffscreenSurface->Unlock(nullptr);
    if (g_state.LastDisplayResult == DD_OK) DrawDisplayError(kLockErrorFormat, lockResult);
    return false;
  }
  g_state.FrameHeight = static_cast<std::int32_t>(g_state.SurfaceDesc.dwHeight);
  g_state.FrameWidth = static_cast<std::int32_t>(g_state.SurfaceDesc.dwWidth);
  g_state.FramePitch = g_state.SurfaceDesc.lPitch;
  g_state.FramePixels = static_cast<std::uint8_t*>(g_state.SurfaceDesc.lpSurface);
  return true;
}

HRESULT UnlockFrame() { return InWindow() ? DD_OK : g_state.OffscreenSurface->Unlock(nullptr); }

// The effect writes palette entries as bytes: red, green, blue, flags.
static_assert(sizeof(PALETTEENTRY) == kPaletteEntryBytes && offsetof(PALETTEENTRY, peRed) == 0 &&
              offsetof(PALETTEENTRY, peGreen) == 1 && offsetof(PALETTEENTRY, peBlue) == 2);

}  // namespace

FrameOutput StateFrameOutput() {
  FrameOutput out{};
  out.Pixels = g_state.FramePixels;
  out.Width = g_state.FrameWidth;
  out.Height = g_state.FrameHeight;
  out.Pitch = g_state.FramePitch;
  out.PaletteEntries = reinterpret_cast<std::uint8_t*>(g_state.DisplayPalette);
  return out;
}

void AnimateDisplayPalette(FrameOutput& out) {
  // A refused SetEntries is not a failure of the frame: the phase has moved on and the next call tries again.
  if (g_state.Effect.StepPalette(out) && g_state.Palette)
    g_state.Palette->SetEntries(0, 0, 256, g_state.DisplayPalette);
}

int Render(VisModule* module) {
  if (!DisplayReady()) return 1;
  if (!SwitchDisplayIfAsked(module)) return 1;
  if (!PictureWanted()) return 0;
  if (!ShowPreviousPicture()) return 1;
  if (!LockFrame()) return 1;
  FrameOutput out = StateFrameOutput();
  if (g_state.Effect.DrawFrame(module->waveformData, out) != 0) {
    UnlockFrame();
    return 1;
  }
  // The palette moves on only once the picture is handed back: a failed Unlock leaves its phase alone.
  g_state.LastDisplayResult = UnlockFrame();
  if (g_state.LastDisplayResult != DD_OK) return 1;
  AnimateDisplayPalette(out);
  // A window shows the previous picture through the new palette now, as the 8-bit display does at once.
  if (InWindow() && !ShowWindowPicture()) return 1;
  return 0;
}
