// Config, Init and Quit: the order in which Init builds everything, its messages, and the teardown.
#include "plugin/lifecycle.h"

#include <cstdlib>
#include <utility>

#include "data/init_messages.h"
#include "data/plugin_data.h"
#include "plugin/display.h"
#include "plugin/plugin_state.h"
#include "plugin/plugin_folder.h"
#include "plugin/settings_dialog.h"
#include "plugin/settings_store.h"

void* DefaultTableAllocator(std::size_t bytes) { return std::malloc(bytes); }
EngineAllocator TableAllocator = DefaultTableAllocator;

namespace {

constexpr const char kWindowCaption[] = "...";

constexpr const char kClassMessage[] = "Error registering window class";
constexpr const char kWindowMessage[] = "Error creating window";

// Everything is torn down first, so that the box appears on the desktop in its own mode.
int TearDownAndTell(Plugin& plugin, VisModule* module, const char* text, const char* caption) {
  Quit(plugin, module);
  VidTell(module, text, caption, true, true);
  return 1;
}

int TellDisplayFailure(Plugin& plugin, VisModule* module, DisplayStep step) {
  const DisplayStepMessage message = DisplayFailureMessage(step);
  return TearDownAndTell(plugin, module, message.text, message.caption);
}

}  // namespace

void Config(Plugin& plugin, VisModule* module) {
  LocatePluginFolder(plugin, module);
  ShowSettingsDialog(plugin, module);
  // A running effect takes the dialog's wave and palette settings from its next frame, as it always did.
  if (plugin.Effect.Built()) plugin.Effect.ApplySettings(plugin.Settings);
}

int Init(Plugin& plugin, VisModule* module) {
  // A class left registered (an Init without its Quit) stays as it is: nothing is torn down here.
  if (!VidRegisterClass(module)) {
    VidTell(module, kClassMessage, kWindowCaption, true, false);
    return 1;
  }
  if (!CreateDisplayWindow(plugin, module)) return TearDownAndTell(plugin, module, kWindowMessage, kWindowCaption);
  LocatePluginFolder(plugin, module);
  LoadDisplayMode(plugin, module);
  LoadWindowGeometry(plugin, module);
  plugin.Screen.SwitchRequested = 0;
  // The effect's own mode is tried first with the same calls in the same order as ever; only where a step of it
  // fails does the display fall back (unless DisplayMode 1 forbids it), and only when every choice fails is the
  // user told, of the step that failed last.
  const std::int32_t displayMode = plugin.Settings.DisplayMode;
  const bool docked = displayMode == kDisplayModeDocked;
  const bool windowed = docked || displayMode == kDisplayModeWindow;
  const bool effectModeOnly = displayMode == kDisplayModeEffectOnly;
  plugin.Screen.Home.Kind = docked ? kDisplayDocked : kDisplayWindowed;
  DisplayStep failed = kDisplayOpen;
  if (!windowed) {
    failed = BeginExclusiveDisplay(plugin, kDisplayWidth, kDisplayHeight);
    if (failed != kDisplayOpen && effectModeOnly) return TellDisplayFailure(plugin, module, failed);
  }

  PaletteSet palettes = ReadPaletteSet(DataFolder(PluginFolderPath(plugin)));
  if (palettes.Status != 0) {
    const InitMessage message = PaletteFailureMessage(palettes.Status);
    return TearDownAndTell(plugin, module, message.text.c_str(), message.caption.c_str());
  }

  if (windowed) {
    // Docked where the player offers a frame, else the normal window.
    failed = OpenHomeWindow(plugin, module);
  } else {
    if (failed == kDisplayOpen) failed = FinishExclusiveDisplay(plugin);
    if (failed != kDisplayOpen && !effectModeOnly) failed = OpenFallbackDisplay(plugin, module);
  }
  if (failed != kDisplayOpen) return TellDisplayFailure(plugin, module, failed);

  LoadSettingsAndParams(plugin, module);
  EngineInputs inputs;
  inputs.Settings = plugin.Settings;
  inputs.Palettes = std::move(palettes.Entries);
  inputs.PaletteCount = palettes.Count;
  inputs.FadeTable = ReadFadeTable(FadeFile(PluginFolderPath(plugin)));
  if (plugin.Settings.UseTexture != 0) ReadTexture(StoredPath(plugin.Settings.TextureName), inputs.Texture);
  // The tunnel table is sized from FrameWidth and FrameHeight, read just above.
  const int tablesStatus =
      plugin.Effect.Build(std::move(inputs), plugin.Screen.FrameWidth, plugin.Screen.FrameHeight, TableAllocator);
  if (tablesStatus != kBuildDone) {
    // A failed allocation is told first, while the display is still up, without an icon; then the rest after
    // the teardown.
    const std::vector<InitMessage> messages = BuildFailureMessages(tablesStatus);
    for (std::size_t i = 0; i + 1 < messages.size(); ++i)
      VidTell(module, messages[i].text.c_str(), messages[i].caption.c_str(), false, false);
    return TearDownAndTell(plugin, module, messages.back().text.c_str(), messages.back().caption.c_str());
  }
  // A window's hd picture is there from the first frame; later sizes get their maps off Render's thread.
  if (IsWindowKind(plugin.Screen.DisplayKind)) PrepareHdPicture(plugin);
  return 0;
}

void Quit(Plugin& plugin, VisModule* module) {
  plugin.Effect.Release();
  ReleaseDisplay(plugin, module);
}
