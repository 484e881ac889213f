// Render: shows the picture drawn by the previous call, draws the next one, moves the palette on.
#include "plugin/render.h"

#include <cstddef>

#include "plugin/display.h"
#include "plugin/plugin_state.h"
#include "plugin/screen.h"

namespace {

// Hosts call Render after an Init that failed and after Quit; without tables and surfaces there is nothing to
// show, and the stale surface references must not be touched.
bool DisplayReady(const Plugin& plugin) {
  if (!plugin.Effect.Built()) return false;
  const Screen& screen = plugin.Screen;
  return IsWindowKind(screen.DisplayKind) ||
         (screen.Device != nullptr && screen.PrimarySurface != nullptr && screen.OffscreenSurface != nullptr);
}

// The effect writes palette entries as bytes: red, green, blue, flags.
static_assert(sizeof(VidColour) == kPaletteEntryBytes && offsetof(VidColour, red) == 0 &&
              offsetof(VidColour, green) == 1 && offsetof(VidColour, blue) == 2);

FrameOutput ScreenFrameOutput(Screen& screen) {
  FrameOutput out{};
  out.Pixels = screen.FramePixels;
  out.Width = screen.FrameWidth;
  out.Height = screen.FrameHeight;
  out.Pitch = screen.FramePitch;
  out.PaletteEntries = reinterpret_cast<std::uint8_t*>(screen.DisplayPalette);
  return out;
}

}  // namespace

int Render(Plugin& plugin, VisModule* module) {
  if (!DisplayReady(plugin)) return 1;
  if (!SwitchDisplayIfAsked(plugin, module)) return 1;
  const ScreenBackend& screen = ScreenBackendOf(plugin.Screen.DisplayKind);
  if (!screen.Wanted(plugin)) return 0;
  if (!screen.Show(plugin)) return 1;
  if (!screen.Lock(plugin)) return 1;
  FrameOutput out = ScreenFrameOutput(plugin.Screen);
  if (plugin.Effect.DrawFrame(module->waveformData, out) != 0) {
    screen.Unlock(plugin);
    return 1;
  }
  // The palette moves on only once the picture is handed back: a failed Unlock leaves its phase alone.
  plugin.Screen.LastDisplayResult = screen.Unlock(plugin);
  if (plugin.Screen.LastDisplayResult != kVidOk) return 1;
  ApplyPaletteCommands(plugin);
  const bool changed = plugin.Effect.StepPalette(out);
  return screen.Present(plugin, changed) ? 0 : 1;
}
