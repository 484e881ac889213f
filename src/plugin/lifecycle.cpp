// Config, Init and Quit: the order in which Init builds everything, its messages, and the teardown.
#include "plugin/lifecycle.h"

#include <cstdlib>
#include <utility>

#include "data/init_messages.h"
#include "data/plugin_data.h"
#include "plugin/display.h"
#include "plugin/effect_state.h"
#include "plugin/plugin_folder.h"
#include "plugin/settings_dialog.h"
#include "plugin/settings_store.h"

void* DefaultTableAllocator(std::size_t bytes) { return std::malloc(bytes); }
EngineAllocator TableAllocator = DefaultTableAllocator;

namespace {

constexpr const char kWindowCaption[] = "...";

constexpr const char kClassMessage[] = "Error registering window class";
constexpr const char kWindowMessage[] = "Error creating window";

void Tell(VisModule* module, const char* text, const char* caption) {
  MessageBoxA(module->parent, text, caption, MB_OK | MB_ICONERROR);
}

// The teardown destroyed the window, whose WM_DESTROY posted the quit message; the message box's own loop would
// take it and close the box before the user could read it. The quit message is held back while the box is up
// and posted again afterwards, so the host's loop still gets it.
void TellAfterTeardown(VisModule* module, const char* text, const char* caption) {
  MSG quit{};
  bool held = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
  Tell(module, text, caption);
  if (held) PostQuitMessage(static_cast<int>(quit.wParam));
}

// Everything is torn down first, so that the box appears on the desktop in its own mode.
int TearDownAndTell(VisModule* module, const char* text, const char* caption) {
  Quit(module);
  TellAfterTeardown(module, text, caption);
  return 1;
}

int TellDisplayFailure(VisModule* module, DisplayStep step) {
  const DisplayStepMessage message = DisplayFailureMessage(step);
  return TearDownAndTell(module, message.text, message.caption);
}

// "DisplayMode" 1 asks for the effect's own mode or nothing, as the plug-in always did.
bool EffectModeOnly() { return g_state.Settings.DisplayMode == kDisplayModeEffectOnly; }

}  // namespace

void Config(VisModule* module) {
  LocatePluginFolder(module);
  ShowSettingsDialog(module);
  // A running effect takes the dialog's wave and palette settings from its next frame, as it always did.
  if (g_state.Effect.Built()) g_state.Effect.ApplySettings(g_state.Settings);
}

int Init(VisModule* module) {
  // A class left registered (an Init without its Quit) stays as it is: nothing is torn down here.
  if (RegisterDisplayClass(module) != 0) {
    Tell(module, kClassMessage, kWindowCaption);
    return 1;
  }
  if (CreateDisplayWindow(module) != 0) return TearDownAndTell(module, kWindowMessage, kWindowCaption);
  LocatePluginFolder(module);
  LoadDisplayMode(module);
  LoadWindowGeometry(module);
  g_state.Screen.SwitchRequested = 0;
  // The effect's own mode is tried first with the same calls in the same order as ever; only where a step of it
  // fails does the display fall back (unless DisplayMode 1 forbids it), and only when every choice fails is the
  // user told, of the step that failed last.
  const bool docked = g_state.Settings.DisplayMode == kDisplayModeDocked;
  const bool windowed = docked || g_state.Settings.DisplayMode == kDisplayModeWindow;
  g_state.Screen.Home.Kind = docked ? kDisplayDocked : kDisplayWindowed;
  DisplayStep failed = kDisplayOpen;
  if (!windowed) {
    failed = BeginExclusiveDisplay(kDisplayWidth, kDisplayHeight);
    if (failed != kDisplayOpen && EffectModeOnly()) return TellDisplayFailure(module, failed);
  }

  PaletteSet palettes = ReadPaletteSet(DataFolder(PluginFolderPath()));
  if (palettes.Status != 0) {
    Quit(module);
    const InitMessage message = PaletteFailureMessage(palettes.Status);
    TellAfterTeardown(module, message.text.c_str(), message.caption.c_str());
    return 1;
  }

  if (windowed) {
    // Docked where the player offers a frame, else the normal window.
    failed = OpenHomeWindow(module);
  } else {
    if (failed == kDisplayOpen) failed = FinishExclusiveDisplay();
    if (failed != kDisplayOpen && !EffectModeOnly()) failed = OpenFallbackDisplay(module);
  }
  if (failed != kDisplayOpen) return TellDisplayFailure(module, failed);

  LoadSettingsAndParams(module);
  EngineInputs inputs;
  inputs.Settings = g_state.Settings;
  inputs.Palettes = std::move(palettes.Entries);
  inputs.PaletteCount = palettes.Count;
  inputs.FadeTable = ReadFadeTable(FadeFile(PluginFolderPath()));
  if (g_state.Settings.UseTexture != 0) ReadTexture(StoredPath(g_state.Settings.TextureName), inputs.Texture);
  // The tunnel table is sized from FrameWidth and FrameHeight, read just above.
  const int tablesStatus =
      g_state.Effect.Build(std::move(inputs), g_state.Screen.FrameWidth, g_state.Screen.FrameHeight, TableAllocator);
  if (tablesStatus != kBuildDone) {
    // A failed allocation is told first, while the display is still up, without an icon; then the rest after
    // the teardown.
    const std::vector<InitMessage> messages = BuildFailureMessages(tablesStatus);
    for (std::size_t i = 0; i + 1 < messages.size(); ++i)
      MessageBoxA(module->parent, messages[i].text.c_str(), messages[i].caption.c_str(), MB_OK);
    return TearDownAndTell(module, messages.back().text.c_str(), messages.back().caption.c_str());
  }
  return 0;
}

void Quit(VisModule* module) {
  FreeBuiltSets();
  ReleaseDisplay(module);
}

void FreeBuiltSets() { g_state.Effect.Release(); }
