// Config, Init and Quit: the order in which Init builds everything, its messages, and the teardown.
#include "plugin/lifecycle.h"

#include <cstdlib>

#include "plugin/display.h"
#include "plugin/effect_state.h"
#include "plugin/plugin_folder.h"
#include "plugin/settings_dialog.h"
#include "settings/settings_store.h"
#include "tables/palette_files.h"
#include "tables/table_builder.h"

namespace {

constexpr const char kWindowCaption[] = "...";
constexpr const char kPaletteCaption[] = "PLUG-IN error";
constexpr const char kTablesCaption[] = "PLUG-IN Error";
constexpr const char kTableMemoryCaption[] = "...";

constexpr const char kClassMessage[] = "Error registering window class";
constexpr const char kWindowMessage[] = "Error creating window";
constexpr const char kPaletteMessageFormat[] = "Error loading palette (Error #%d)";
constexpr const char kTablesMessage[] = "Error generating tables";

void Tell(VisModule* module, const char* text, const char* caption) {
  MessageBoxA(module->parent, text, caption, MB_OK | MB_ICONERROR);
}

// Quit frees the palette set only together with a built table set; a palette set loaded by an Init that then
// failed before the tables were built would be held until the library is unloaded.
void DiscardUnbuiltPaletteSet() {
  if (g_state.TablesBuilt != 0 || g_state.PaletteSet == nullptr) return;
  std::free(g_state.PaletteSet);
  g_state.PaletteSet = nullptr;
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
  DiscardUnbuiltPaletteSet();
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

  int paletteStatus = LoadPaletteSet();
  if (paletteStatus != 0) {
    Quit(module);
    DiscardUnbuiltPaletteSet();
    char text[64];
    wsprintfA(text, kPaletteMessageFormat, paletteStatus);
    TellAfterTeardown(module, text, kPaletteCaption);
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
  // BuildTables sizes the tunnel table from FrameWidth and FrameHeight, read just above.
  const int tablesStatus = BuildTables();
  if (tablesStatus != 0) {
    // A failed allocation is told first, while the display is still up, without an icon.
    if (const char* text = TableBuildMessage(tablesStatus))
      MessageBoxA(module->parent, text, kTableMemoryCaption, MB_OK);
    return TearDownAndTell(module, kTablesMessage, kTablesCaption);
  }
  return 0;
}

void Quit(VisModule* module) {
  FreeBuiltSets();
  ReleaseDisplay(module);
}

void FreeBuiltSets() {
  if (g_state.TablesBuilt == 0) return;
  std::free(g_state.PaletteSet);
  g_state.PaletteSet = nullptr;
  FreeTableSet(g_state.Tables);
  g_state.TablesBuilt = 0;
}
