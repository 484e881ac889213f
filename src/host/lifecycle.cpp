// Config, Init and Quit: the order in which Init builds everything, its messages, and the teardown.
#include "host/lifecycle.h"

#include <cstdlib>

#include "display/display.h"
#include "host/effect_state.h"
#include "host/plugin_folder.h"
#include "settings/settings_dialog.h"
#include "settings/settings_store.h"
#include "tables/palette_files.h"
#include "tables/table_builder.h"

namespace {

constexpr const char kWindowCaption[] = "...";
constexpr const char kDirectDrawCaption[] = "DirectDraw error";
constexpr const char kPaletteCaption[] = "PLUG-IN error";
constexpr const char kTablesCaption[] = "PLUG-IN Error";
constexpr const char kTableMemoryCaption[] = "...";

constexpr const char kClassMessage[] = "Error registering window class";
constexpr const char kWindowMessage[] = "Error creating window";
constexpr const char kDeviceMessage[] = "Error creating DDraw object";
constexpr const char kCooperationMessage[] = "Error setting DDraw cooperative level";
constexpr const char kModeMessage[] = "Error setting DDraw display mode";
constexpr const char kPaletteMessageFormat[] = "Error loading palette (Error #%d)";
constexpr const char kCreatePaletteMessage[] = "Error associating a palette to the DDraw object";
constexpr const char kPrimaryMessage[] = "Error creating DDraw primary surface";
constexpr const char kOffscreenMessage[] = "Error creating DDraw offscreen surface (Full error!)";
constexpr const char kOffscreenMemoryMessage[] = "Error creating DDraw offscreen surface (No possible allocation)";
constexpr const char kGeometryMessage[] = "Error getting DDraw offscreen surface description";
constexpr const char kAttachPaletteMessage[] = "Error asociating a palette to the DDraw primary surface";
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
  if (CreateDisplayDevice() != 0) return TearDownAndTell(module, kDeviceMessage, kDirectDrawCaption);
  if (TakeExclusiveDisplay() != 0) return TearDownAndTell(module, kCooperationMessage, kDirectDrawCaption);
  if (SetEffectDisplayMode() != 0) return TearDownAndTell(module, kModeMessage, kDirectDrawCaption);

  int paletteStatus = LoadPaletteSet();
  if (paletteStatus != 0) {
    Quit(module);
    DiscardUnbuiltPaletteSet();
    char text[64];
    wsprintfA(text, kPaletteMessageFormat, paletteStatus);
    TellAfterTeardown(module, text, kPaletteCaption);
    return 1;
  }

  if (CreateDisplayPalette() != 0) return TearDownAndTell(module, kCreatePaletteMessage, kDirectDrawCaption);
  if (CreatePrimarySurface() != 0) return TearDownAndTell(module, kPrimaryMessage, kDirectDrawCaption);
  switch (CreateOffscreenSurface()) {
    case kOffscreenCreated:
      break;
    case kOffscreenFailed:
      return TearDownAndTell(module, kOffscreenMessage, kDirectDrawCaption);
    case kOffscreenNoAllocation:
      return TearDownAndTell(module, kOffscreenMemoryMessage, kDirectDrawCaption);
  }
  if (ReadOffscreenGeometry() != 0) return TearDownAndTell(module, kGeometryMessage, kDirectDrawCaption);
  if (AttachDisplayPalette() != 0) return TearDownAndTell(module, kAttachPaletteMessage, kDirectDrawCaption);

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
