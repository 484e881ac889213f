// Render: shows the picture drawn by the previous call, draws the next one, moves the palette on.
#include "display/render.h"

#include <cstddef>

#include "display/display.h"
#include "display/render_error_text.h"
#include "effect/palette_animation.h"
#include "effect/wave_field.h"
#include "host/effect_state.h"

namespace {

// Hosts call Render after an Init that failed and after Quit; without tables and surfaces there is nothing to
// show, and the stale surface references must not be touched.
bool DisplayReady() {
  return g_state.TablesBuilt != 0 && g_state.DirectDraw != nullptr && g_state.PrimarySurface != nullptr &&
         g_state.OffscreenSurface != nullptr;
}

// Copies the off-screen surface, which holds the previous call's picture, to the screen.
bool ShowPreviousPicture() {
  RECT source{0, 0, g_state.FrameWidth, g_state.FrameHeight};
  if (g_state.SystemMemorySurface != 0) {
    g_state.LastDisplayResult =
        g_state.PrimarySurface->Blt(nullptr, g_state.OffscreenSurface, &source, DDBLT_WAIT, nullptr);
    if (g_state.LastDisplayResult != DD_OK) DrawDisplayError(kBlitErrorFormat, g_state.LastDisplayResult);
  } else {
    g_state.LastDisplayResult =
        g_state.PrimarySurface->BltFast(0, 0, g_state.OffscreenSurface, &source, DDBLTFAST_WAIT);
    if (g_state.LastDisplayResult != DD_OK) DrawDisplayError(kBlitFastErrorFormat, g_state.LastDisplayResult);
  }
  return g_state.LastDisplayResult == DD_OK;
}

// Locks the off-screen surface and copies its geometry into the frame members.
bool LockFrame() {
  g_state.SurfaceDesc.dwSize = kSurfaceDescSize;
  g_state.SurfaceDesc.dwFlags = kGeometryFlags;
  HRESULT lockResult = g_state.LastDisplayResult =
      g_state.OffscreenSurface->Lock(nullptr, &g_state.SurfaceDesc, DDLOCK_WAIT, nullptr);
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

// The effect writes palette entries as bytes: red, green, blue, flags.
static_assert(sizeof(PALETTEENTRY) == kPaletteEntryBytes && offsetof(PALETTEENTRY, peRed) == 0 &&
              offsetof(PALETTEENTRY, peGreen) == 1 && offsetof(PALETTEENTRY, peBlue) == 2);

}  // namespace

FrameInputs StateFrameInputs(const VisModule* module) {
  FrameInputs in{};
  in.Tables = &g_state.Tables;
  in.Params.WaveGain = g_state.Params.WaveGain;
  in.Params.WaveShift = g_state.Params.WaveShift;
  in.Params.WaveAttenuationRate = g_state.Settings.WaveAttenuationRate;
  in.Params.PaletteStep = g_state.Params.PaletteStep;
  in.Waveform = module != nullptr ? module->waveformData : nullptr;
  in.PaletteSet = g_state.PaletteSet;
  in.PaletteCount = g_state.PaletteCount;
  return in;
}

FrameOutput StateFrameOutput() {
  FrameOutput out{};
  out.Pixels = g_state.FramePixels;
  out.Width = g_state.FrameWidth;
  out.Height = g_state.FrameHeight;
  out.Pitch = g_state.FramePitch;
  out.PaletteEntries = reinterpret_cast<std::uint8_t*>(g_state.DisplayPalette);
  out.Trace = &g_state.Trace;
  return out;
}

void AnimateDisplayPalette(const FrameInputs& in, FrameOutput& out) {
  // A refused SetEntries is not a failure of the frame: the phase has moved on and the next call tries again.
  if (AnimatePalette(in, g_state.Counters, out) && g_state.Palette)
    g_state.Palette->SetEntries(0, 0, 256, g_state.DisplayPalette);
}

int Render(VisModule* module) {
  if (!DisplayReady()) return 1;
  if (g_state.WindowActive == 0) return 0;
  if (!ShowPreviousPicture()) return 1;
  if (!LockFrame()) return 1;
  const FrameInputs in = StateFrameInputs(module);
  FrameOutput out = StateFrameOutput();
  if (StepWaveField(in, g_state.Counters, out) != 0) {
    g_state.OffscreenSurface->Unlock(nullptr);
    return 1;
  }
  g_state.LastDisplayResult = g_state.OffscreenSurface->Unlock(nullptr);
  if (g_state.LastDisplayResult != DD_OK) return 1;
  AnimateDisplayPalette(in, out);
  return 0;
}
