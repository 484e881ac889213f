// Render: shows the picture drawn by the previous call, draws the next one, moves the palette on.
#include "plugin/render.h"

#include <cstddef>

#include "plugin/display.h"
#include "plugin/effect_state.h"
#include "plugin/screen.h"

namespace {

bool InWindow() {
  const std::int32_t kind = g_state.Screen.DisplayKind;
  return kind == kDisplayBorderless || kind == kDisplayWindowed || kind == kDisplayDocked;
}

// Hosts call Render after an Init that failed and after Quit; without tables and surfaces there is nothing to
// show, and the stale surface references must not be touched.
bool DisplayReady() {
  if (!g_state.Effect.Built()) return false;
  return InWindow() || (g_state.Screen.DirectDraw != nullptr && g_state.Screen.PrimarySurface != nullptr &&
                        g_state.Screen.OffscreenSurface != nullptr);
}

// The effect writes palette entries as bytes: red, green, blue, flags.
static_assert(sizeof(PALETTEENTRY) == kPaletteEntryBytes && offsetof(PALETTEENTRY, peRed) == 0 &&
              offsetof(PALETTEENTRY, peGreen) == 1 && offsetof(PALETTEENTRY, peBlue) == 2);

}  // namespace

FrameOutput StateFrameOutput() {
  FrameOutput out{};
  out.Pixels = g_state.Screen.FramePixels;
  out.Width = g_state.Screen.FrameWidth;
  out.Height = g_state.Screen.FrameHeight;
  out.Pitch = g_state.Screen.FramePitch;
  out.PaletteEntries = reinterpret_cast<std::uint8_t*>(g_state.Screen.DisplayPalette);
  return out;
}

bool AnimateDisplayPalette(FrameOutput& out) {
  const bool changed = g_state.Effect.StepPalette(out);
  return ScreenBackendOf(g_state.Screen.DisplayKind).Present(changed);
}

int Render(VisModule* module) {
  if (!DisplayReady()) return 1;
  if (!SwitchDisplayIfAsked(module)) return 1;
  const ScreenBackend& screen = ScreenBackendOf(g_state.Screen.DisplayKind);
  if (!screen.Wanted()) return 0;
  if (!screen.Show()) return 1;
  if (!screen.Lock()) return 1;
  FrameOutput out = StateFrameOutput();
  if (g_state.Effect.DrawFrame(module->waveformData, out) != 0) {
    screen.Unlock();
    return 1;
  }
  // The palette moves on only once the picture is handed back: a failed Unlock leaves its phase alone.
  g_state.Screen.LastDisplayResult = screen.Unlock();
  if (g_state.Screen.LastDisplayResult != DD_OK) return 1;
  ApplyPaletteCommands();
  return AnimateDisplayPalette(out) ? 0 : 1;
}
