// Init's failures that a host can arrange from outside: missing or bad data files, and a second Init; and the
// whole texture that loads beside the cut-off ones.
#include <windows.h>

#include "host_cases.h"
#include "host_log.h"
#include "message_box_hook.h"

namespace {

struct FailureCase {
  const char* folder;  // under the layout root, laid out by make_plugin_folders.py
  const char* text;
  const char* caption;
};

constexpr FailureCase kFailures[] = {
    {"no-palettes", "Error loading palette (Error #1)", "PLUG-IN error"},
    {"no-fade", "Error generating tables", "PLUG-IN Error"},
    {"short-fade", "Error generating tables", "PLUG-IN Error"},
    {"bad-texture", "Error generating tables", "PLUG-IN Error"},
    {"missing-texture", "Error generating tables", "PLUG-IN Error"},
    {"cut-texture-pixels", "Error generating tables", "PLUG-IN Error"},
    {"cut-texture-table", "Error generating tables", "PLUG-IN Error"},
    {"texture-offset-past-end", "Error generating tables", "PLUG-IN Error"},
};

void CheckBox(const CaughtMessageBox& box, const char* text, const char* caption, HWND owner) {
  CHECK_EQ_STR(box.text, text);
  CHECK_EQ_STR(box.caption, caption);
  CHECK_TRUE(box.owner == owner);
  CHECK_TRUE(box.errorIcon);
  CHECK_TRUE(box.onlyOkButton);
  CHECK_TRUE(box.stayedUp);  // the user gets to read it
}

// Init fails with exactly one box, shown after the teardown (desktop mode back, window gone), and leaves
// nothing behind; Render and Quit afterwards are harmless.
void CheckFailure(const HostOptions& options, const FailureCase& failure, HWND parent) {
  LogScope scope(failure.folder);
  LoadedPlugin plugin;
  if (!LoadPlugin(options.layoutRoot + "\\" + failure.folder, parent, &plugin)) return;
  HostModule* module = plugin.module;
  const int desktopWidth = GetSystemMetrics(SM_CXSCREEN);
  StartCatchingMessageBoxes();
  CHECK_EQ_INT(module->Init(module), 1);
  std::vector<CaughtMessageBox> boxes = TakeMessageBoxes();
  CHECK_EQ_INT(boxes.size(), 1);
  if (!boxes.empty()) {
    CheckBox(boxes.back(), failure.text, failure.caption, parent);
    CHECK_EQ_INT(boxes.back().screenWidth, desktopWidth);
    CHECK_TRUE(!boxes.back().displayWindow);
  }
  bool quit = false;
  int quitCode = -1;
  PumpFor(20, &quit, &quitCode);
  LogLine("after the failed Init the thread %s a quit message (code %d)", quit ? "had" : "had no", quitCode);
  CHECK_TRUE(FindDisplayWindow() == nullptr);
  CHECK_TRUE(!DisplayClassRegistered(plugin.library));
  CHECK_EQ_INT(GetSystemMetrics(SM_CXSCREEN), desktopWidth);
  CHECK_EQ_INT(module->Render(module), 1);
  CHECK_EQ_INT(module->Render(module), 1);
  module->Quit(module);  // a host may still call it
  CHECK_EQ_INT(module->Render(module), 1);
  CHECK_EQ_INT(TakeMessageBoxes().size(), 0);
  StopCatchingMessageBoxes();
  PumpFor(20);
  UnloadPlugin(&plugin);
}

// A second Init while the class is registered fails at once and tears nothing down: the running effect goes on.
void CheckSecondInit(const HostOptions& options, HWND parent) {
  LogScope scope("second Init");
  LoadedPlugin plugin;
  if (!LoadPlugin(options.pluginDir, parent, &plugin)) return;
  HostModule* module = plugin.module;
  const int desktopWidth = GetSystemMetrics(SM_CXSCREEN);
  StartCatchingMessageBoxes();
  CHECK_EQ_INT(module->Init(module), 0);
  PumpMessages(nullptr);
  HWND display = FindDisplayWindow();
  CHECK_TRUE(display != nullptr);
  CHECK_EQ_INT(module->Init(module), 1);
  std::vector<CaughtMessageBox> boxes = TakeMessageBoxes();
  CHECK_EQ_INT(boxes.size(), 1);
  if (!boxes.empty()) {
    CheckBox(boxes.back(), "Error registering window class", "...", parent);
    // The box takes the activation from the exclusive window, and the platform may give the desktop its mode
    // back meanwhile; the window itself stays.
    LogLine("display mode width while the step-1 box was up: %d", boxes.back().screenWidth);
    CHECK_TRUE(boxes.back().displayWindow);
  }
  PumpMessages(nullptr);
  CHECK_TRUE(FindDisplayWindow() == display && IsWindow(display));
  CHECK_TRUE(DisplayClassRegistered(plugin.library));
  LogLine("display mode width after the step-1 box closed: %d", GetSystemMetrics(SM_CXSCREEN));
  for (int n = 0; n < 3; ++n) {
    signed char block[2][576];
    MakeWaveBlock(n, block);
    CHECK_EQ_INT(RenderBlock(module, block), 0);
    PumpMessages(nullptr);
  }
  module->Quit(module);
  PumpFor(20);
  CHECK_TRUE(FindDisplayWindow() == nullptr);
  CHECK_TRUE(!DisplayClassRegistered(plugin.library));
  CHECK_EQ_INT(GetSystemMetrics(SM_CXSCREEN), desktopWidth);
  CHECK_EQ_INT(TakeMessageBoxes().size(), 0);
  StopCatchingMessageBoxes();
  UnloadPlugin(&plugin);
}

}  // namespace

// The whole texture beside the cut-off ones passes the check and the system's loader: Init succeeds.
void CheckWholeTexture(const HostOptions& options, HWND parent) {
  LogScope scope("whole-texture");
  LoadedPlugin plugin;
  if (!LoadPlugin(options.layoutRoot + "\\whole-texture", parent, &plugin)) return;
  HostModule* module = plugin.module;
  StartCatchingMessageBoxes();
  CHECK_EQ_INT(module->Init(module), 0);
  CHECK_EQ_INT(TakeMessageBoxes().size(), 0);
  module->Quit(module);
  StopCatchingMessageBoxes();
  PumpFor(20);
  UnloadPlugin(&plugin);
}

void RunInitFailureCase(const HostOptions& options) {
  HostWindow host;
  if (!StartHostWindowThread(&host)) return Fail("no host window");
  for (const FailureCase& failure : kFailures) CheckFailure(options, failure, host.window);
  CheckSecondInit(options, host.window);
  CheckWholeTexture(options, host.window);
  DestroyHostWindow(&host);
}
