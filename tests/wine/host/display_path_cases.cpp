// Cases for each way the picture reaches the screen: host thread layouts, Alt+Tab, and the fall-back displays.
#include <windows.h>
#include <ddraw.h>

#include <algorithm>
#include <cstring>

#include "display_session.h"
#include "host_cases.h"
#include "host_log.h"
#include "message_box_hook.h"
#include "screen_capture.h"

namespace {

// Runs a program of this test host in the same desktop and waits for it to end.
bool RunHelper(const HostOptions& options, const char* caseName) {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string command = std::string("\"") + exe + "\" " + caseName + " --log \"" + options.log + "." + caseName + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return Fail("could not start %s", command.c_str()), false;
  bool ended = false;
  // The effect's thread keeps pumping meanwhile, as a host's would.
  for (int i = 0; i < 400 && !ended; ++i) {
    ended = WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    if (!ended) PumpFor(25);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!ended) Fail("%s did not end", caseName);
  return ended;
}

using SetDisplayModeCall = HRESULT(WINAPI*)(IDirectDraw*, DWORD, DWORD, DWORD);
SetDisplayModeCall g_setDisplayMode = nullptr;
constexpr int kSetDisplayModeSlot = 21;  // in the first IDirectDraw interface's table

// A display without 320 x 200 and 640 x 400, as many current drivers are.
HRESULT WINAPI RefuseLowModes(IDirectDraw* directDraw, DWORD width, DWORD height, DWORD bitsPerPixel) {
  if (height < 480) return DDERR_INVALIDMODE;
  return g_setDisplayMode(directDraw, width, height, bitsPerPixel);
}

// Swaps SetDisplayMode in the table every first-interface DirectDraw object of the process shares.
bool SwapSetDisplayMode(bool refuseLowModes) {
  IDirectDraw* directDraw = nullptr;
  if (DirectDrawCreate(nullptr, &directDraw, nullptr) != DD_OK) return false;
  void** table = *reinterpret_cast<void***>(directDraw);
  DWORD protection = 0;
  bool swapped = VirtualProtect(&table[kSetDisplayModeSlot], sizeof(void*), PAGE_READWRITE, &protection) != 0;
  if (swapped) {
    if (refuseLowModes) {
      g_setDisplayMode = reinterpret_cast<SetDisplayModeCall>(table[kSetDisplayModeSlot]);
      table[kSetDisplayModeSlot] = reinterpret_cast<void*>(RefuseLowModes);
    } else if (g_setDisplayMode != nullptr) {
      table[kSetDisplayModeSlot] = reinterpret_cast<void*>(g_setDisplayMode);
    }
    VirtualProtect(&table[kSetDisplayModeSlot], sizeof(void*), protection, &protection);
  }
  directDraw->Release();
  return swapped;
}

}  // namespace

// The host's own window on the thread that calls Init and Render (no WM_ACTIVATEAPP ever comes), then the same
// with Render called in bursts from a decoder thread: both show the native frames from the first Render on.
void RunLayoutsCase(const HostOptions& options) {
  NativeRun run;
  if (!LoadNativeRun(options, &run)) return;
  const int frames = std::min(run.frames, 40);
  {
    LogScope scope("host window on the Init thread");
    Session s;
    if (BeginSession(options, false, &s)) {
      Comparison c;
      RenderAndCompare(s.plugin.module, s.display, run, 1, frames, kEffectScreen, true, &c);
      Report("Init thread", c);
    }
    EndSession(&s);
  }
  {
    LogScope scope("Render from a decoder thread");
    Session s;
    if (BeginSession(options, false, &s)) {
      DecoderThread d{s.plugin.module, s.display, &run, frames, kEffectScreen, {}};
      RenderFromDecoderThread(&d);
      Report("decoder thread", d.result);
    }
    EndSession(&s);
  }
}

// Alt+Tab: a second program takes the focus (the desktop gets its mode back), a helper brings the effect's
// window to the front again, and the frames go on where they stopped.
void RunAltTabCase(const HostOptions& options) {
  NativeRun run;
  if (!LoadNativeRun(options, &run)) return;
  const int before = 20, last = std::min(run.frames, 50);
  Session s;
  if (BeginSession(options, true, &s)) {
    HostModule* module = s.plugin.module;
    Comparison c;
    RenderAndCompare(module, s.display, run, 1, before, kEffectScreen, true, &c);
    RunHelper(options, "take-focus");
    CHECK_TRUE(GetForegroundWindow() != s.display);
    LogLine("while away the desktop is %d x %d", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    // Away, Render draws nothing and the effect stands still: the host's next block waits.
    std::memcpy(module->waveformData, &run.wave[before * kWaveBlockBytes], kWaveBlockBytes);
    for (int i = 0; i < 5; ++i) CHECK_EQ_INT(module->Render(module), 0);
    RunHelper(options, "bring-back");
    PumpFor(200);
    CHECK_TRUE(GetForegroundWindow() == s.display);
    CHECK_EQ_INT(GetSystemMetrics(SM_CXSCREEN), kScreenWidth);
    // The first Render back restores the surfaces and draws block before + 1; from the next one on the screen
    // shows the native pictures again.
    Comparison after;
    RenderAndCompare(module, s.display, run, before + 1, last, kEffectScreen, true, &after, true);
    Report("before Alt+Tab", c);
    Report("after Alt+Tab", after);
  }
  EndSession(&s);
}

// Helper programs of the Alt+Tab case.
void RunTakeFocusCase(const HostOptions&) {
  HostWindow other;
  if (!CreateHostWindowHere(&other)) return Fail("no window");
  SetForegroundWindow(other.window);
  PumpFor(800);
  CHECK_TRUE(GetForegroundWindow() == other.window);
  DestroyHostWindow(&other);
}

void RunBringBackCase(const HostOptions&) {
  HWND display = FindDisplayWindow();
  if (display == nullptr) return Fail("no window of class MainWndClass");
  ShowWindow(display, SW_RESTORE);
  CHECK_TRUE(SetForegroundWindow(display) != 0);
  PumpFor(100);
}

// A display that offers neither 320 x 200 nor 640 x 400: 640 x 480 x 8 with the frame enlarged twice between
// black bands.
void RunScaledCase(const HostOptions& options) {
  NativeRun run;
  if (!LoadNativeRun(options, &run)) return;
  if (!SwapSetDisplayMode(true)) return Fail("SetDisplayMode could not be replaced");
  Session s;
  if (BeginSession(options, true, &s)) {
    CHECK_EQ_INT(GetSystemMetrics(SM_CXSCREEN), 640);
    CHECK_EQ_INT(GetSystemMetrics(SM_CYSCREEN), 480);
    Comparison c;
    RenderAndCompare(s.plugin.module, s.display, run, 1, std::min(run.frames, 30), Placement{640, 480, 0, 40, 640, 400},
                     true, &c);
    Report("640 x 480", c);
    SaveCapture(options, "-640x480", c.lastShot);
  }
  EndSession(&s);
  SwapSetDisplayMode(false);
}

// No virtual desktop: the mode cannot change, and the effect comes up in a borderless window over the monitor.
void RunBorderlessCase(const HostOptions& options) {
  NativeRun run;
  if (!LoadNativeRun(options, &run)) return;
  Session s;
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  if (BeginSession(options, true, &s)) {
    RECT window{};
    GetWindowRect(s.display, &window);
    CHECK_EQ_INT(window.right - window.left, width);
    CHECK_EQ_INT(window.bottom - window.top, height);
    CHECK_EQ_INT(GetSystemMetrics(SM_CXSCREEN), width);
    Comparison c;
    RenderAndCompare(s.plugin.module, s.display, run, 1, std::min(run.frames, 30), FourThirdsIn(width, height), true,
                     &c);
    Report("borderless window", c);
    SaveCapture(options, "-borderless", c.lastShot);
  }
  EndSession(&s);

  // "DisplayMode=1" asks for the effect's own mode only: here Init fails with the mode's message, as it always did.
  LogScope scope("DisplayMode=1");
  IniKey key(options.pluginDir, "1");
  HostWindow host;
  LoadedPlugin plugin;
  if (StartHostWindowThread(&host) && LoadPlugin(options.pluginDir, host.window, &plugin)) {
    StartCatchingMessageBoxes();
    CHECK_EQ_INT(plugin.module->Init(plugin.module), 1);
    PumpFor(50);
    std::vector<CaughtMessageBox> boxes = TakeMessageBoxes();
    CHECK_EQ_INT(boxes.size(), 1);
    if (!boxes.empty()) {
      CHECK_EQ_STR(boxes[0].text, "Error setting DDraw display mode");
      CHECK_EQ_STR(boxes[0].caption, "DirectDraw error");
    }
    CHECK_TRUE(FindDisplayWindow() == nullptr);
    StopCatchingMessageBoxes();
  }
  UnloadPlugin(&plugin);
  DestroyHostWindow(&host);
}

// "DisplayMode=2": a normal window that goes on drawing behind the host's window; Alt+Enter switches it to the
// effect's full screen and back.
void RunWindowCase(const HostOptions& options) {
  NativeRun run;
  if (!LoadNativeRun(options, &run)) return;
  IniKey key(options.pluginDir, "2");
  Session s;
  if (BeginSession(options, true, &s)) {
    HostModule* module = s.plugin.module;
    RECT client{};
    GetClientRect(s.display, &client);
    CHECK_EQ_INT(client.right, 640);
    CHECK_EQ_INT(client.bottom, 480);
    CHECK_TRUE((GetWindowLongA(s.display, GWL_STYLE) & WS_THICKFRAME) != 0);
    CHECK_EQ_INT(GetWindowLongA(s.display, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    const Placement area = FourThirdsIn(client.right, client.bottom);
    Comparison c;
    RenderAndCompare(module, s.display, run, 1, 10, area, true, &c);
    SetForegroundWindow(s.host.window);
    PumpFor(100);
    CHECK_TRUE(GetForegroundWindow() != s.display);
    RenderAndCompare(module, s.display, run, 11, 20, area, true, &c);
    Report("window, active and behind the host's", c);
    SaveCapture(options, "-window", c.lastShot);

    SetForegroundWindow(s.display);
    PostMessageA(s.display, WM_SYSKEYDOWN, VK_RETURN, 0x201C0001);
    PumpFor(50);
    Comparison full;
    RenderAndCompare(module, s.display, run, 21, 30, kEffectScreen, true, &full, true);
    CHECK_EQ_INT(GetSystemMetrics(SM_CXSCREEN), kScreenWidth);
    Report("after Alt+Enter", full);
    PostMessageA(s.display, WM_SYSKEYDOWN, VK_RETURN, 0x201C0001);
    PumpFor(50);
    Comparison back;
    RenderAndCompare(module, s.display, run, 31, 40, area, true, &back, true);
    Report("after Alt+Enter again", back);
  }
  EndSession(&s);
}
