// Cases for each way the picture reaches the screen: host thread layouts, Alt+Tab, and the fall-back displays.
#include <windows.h>
#include <ddraw.h>

#include <algorithm>
#include <cstring>

#include "host_cases.h"
#include "host_log.h"
#include "message_box_hook.h"
#include "screen_capture.h"
#include "shown_colour.h"

namespace {

constexpr std::size_t kDumpRecord = kFramePixels + 768;  // indices of one frame, then its palette as R, G, B

struct NativeRun {
  std::vector<unsigned char> wave, dump;
  int frames = 0;
};

bool LoadNativeRun(const HostOptions& options, NativeRun* run) {
  run->wave = ReadWholeBinaryFile(options.waveform);
  run->dump = ReadWholeBinaryFile(options.dump);
  run->frames = options.frames;
  if (run->frames < 2 || run->wave.size() < run->frames * kWaveBlockBytes)
    return Fail("waveform file too short: %zu bytes", run->wave.size()), false;
  if (run->dump.size() != run->frames * kDumpRecord)
    return Fail("native frame dump has %zu bytes, expected %zu", run->dump.size(), run->frames * kDumpRecord), false;
  return true;
}

// Where the frame lies in a capture: the capture's size and the picture's rectangle in it.
struct Placement {
  int captureWidth, captureHeight, left, top, width, height;
};
constexpr Placement kEffectScreen{kScreenWidth, kScreenHeight, 0, 0, kScreenWidth, kScreenHeight};

// The largest 4:3 area of a client area, centred, as a window shows the picture.
Placement FourThirdsIn(int width, int height) {
  int w = width, h = width * 3 / 4;
  if (h > height) {
    h = height;
    w = height * 4 / 3;
  }
  return {width, height, (width - w) / 2, (height - h) / 2, w, h};
}

// After Render n the screen shows the native picture n - 1 through the palette of n, each screen pixel taking the
// frame pixel whose span holds its centre, black around the picture.
void ExpectedScreen(const NativeRun& run, int n, const Placement& p, ScreenShot* shot) {
  const unsigned char* indices = &run.dump[(n - 2) * kDumpRecord];
  const unsigned char* rgb = &run.dump[(n - 1) * kDumpRecord + kFramePixels];
  PALETTEENTRY palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = PALETTEENTRY{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], 0};
  shot->width = p.captureWidth;
  shot->height = p.captureHeight;
  shot->pixels.assign(static_cast<std::size_t>(p.captureWidth) * p.captureHeight, 0);
  for (int y = 0; y < p.height; ++y) {
    const int sy = (2 * y + 1) * kScreenHeight / (2 * p.height);
    for (int x = 0; x < p.width; ++x) {
      const int sx = (2 * x + 1) * kScreenWidth / (2 * p.width);
      shot->pixels[static_cast<std::size_t>(p.top + y) * p.captureWidth + p.left + x] =
          ShownColour(palette, indices[sy * kScreenWidth + sx]);
    }
  }
}

struct Comparison {
  int frames = 0, badFrames = 0;
  long long badPixels = 0;
  ScreenShot lastShot;
};

// Renders the native run's blocks first..last, capturing `window` after each Render and comparing the capture
// with the native picture; not after the run's first block, nor after `first` when the display was just
// (re)made and shows no previous picture. `pump` when this thread owns the windows.
void RenderAndCompare(HostModule* module, HWND window, const NativeRun& run, int first, int last, const Placement& p,
                      bool pump, Comparison* result, bool afterNewDisplay = false) {
  for (int n = first; n <= last; ++n) {
    std::memcpy(module->waveformData, &run.wave[(n - 1) * kWaveBlockBytes], kWaveBlockBytes);
    int status = module->Render(module);
    if (status != 0) Fail("Render %d returned %d", n, status);
    if (pump) PumpMessages(nullptr);
    if (n < 2 || (afterNewDisplay && n == first)) continue;
    ScreenShot shot, expected;
    if (!CaptureWindow(window, p.captureWidth, p.captureHeight, &shot)) {
      Fail("frame %d could not be captured", n);
      return;
    }
    ExpectedScreen(run, n, p, &expected);
    int wrong = 0;
    for (std::size_t i = 0; i < shot.pixels.size(); ++i) {
      if (shot.pixels[i] == expected.pixels[i]) continue;
      if (wrong++ == 0 && result->badFrames < 3)
        Fail("after Render %d pixel (%zu, %zu) is %06x, expected %06x", n, i % p.captureWidth, i / p.captureWidth,
             shot.pixels[i], expected.pixels[i]);
    }
    ++result->frames;
    if (wrong > 0) {
      ++result->badFrames;
      result->badPixels += wrong;
    }
    result->lastShot = std::move(shot);
  }
}

void Report(const char* label, const Comparison& c) {
  LogLine("%s: compared %d frames, %d differ (%lld pixels)", label, c.frames, c.badFrames, c.badPixels);
  CHECK_EQ_INT(c.badFrames, 0);
  CHECK_TRUE(c.frames > 0);
}

void SaveCapture(const HostOptions& options, const char* suffix, const ScreenShot& shot) {
  if (options.artifact.empty() || shot.pixels.empty()) return;
  std::string path = options.artifact.substr(0, options.artifact.size() - 4) + suffix + ".png";
  CHECK_TRUE(WritePng(path, shot));
  LogLine("capture kept as %s", path.c_str());
}

struct Session {
  HostWindow host;
  LoadedPlugin plugin;
  HWND display = nullptr;
};

// The host's window on a thread of its own or on this one, the plug-in loaded, Init run here.
bool BeginSession(const HostOptions& options, bool hostOnOwnThread, Session* s) {
  bool hostReady = hostOnOwnThread ? StartHostWindowThread(&s->host) : CreateHostWindowHere(&s->host);
  if (!hostReady) return Fail("no host window"), false;
  if (!LoadPlugin(options.pluginDir, s->host.window, &s->plugin)) return false;
  StartCatchingMessageBoxes();
  int result = s->plugin.module->Init(s->plugin.module);
  CHECK_EQ_INT(result, 0);
  for (const CaughtMessageBox& box : TakeMessageBoxes())
    Fail("Init showed \"%s\" / \"%s\"", box.text.c_str(), box.caption.c_str());
  PumpFor(100);
  s->display = FindDisplayWindow();
  if (s->display == nullptr) Fail("no window of class MainWndClass");
  return result == 0 && s->display != nullptr;
}

void EndSession(Session* s) {
  if (s->plugin.module != nullptr) {
    s->plugin.module->Quit(s->plugin.module);
    PumpFor(20);
    CHECK_TRUE(FindDisplayWindow() == nullptr);
    for (const CaughtMessageBox& box : TakeMessageBoxes()) Fail("a box \"%s\" appeared", box.text.c_str());
  }
  StopCatchingMessageBoxes();
  UnloadPlugin(&s->plugin);
  DestroyHostWindow(&s->host);
}

struct DecoderThread {
  HostModule* module;
  HWND display;
  const NativeRun* run;
  int last;
  Comparison result;
};

// A decoder thread calls Render in bursts, as some hosts do, while the thread of the windows only pumps.
DWORD WINAPI RenderInBursts(void* parameter) {
  auto* d = static_cast<DecoderThread*>(parameter);
  for (int first = 1; first <= d->last; first += 5) {
    RenderAndCompare(d->module, d->display, *d->run, first, std::min(first + 4, d->last), kEffectScreen, false,
                     &d->result);
    Sleep(60);
  }
  return 0;
}

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

// "DisplayMode" in the plug-in's plugin.ini for as long as it lives; the file is put back as it was.
class IniKey {
 public:
  IniKey(const std::string& pluginDir, const char* value) : path_(pluginDir + "\\plugin.ini") {
    hadFile_ = GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
    WritePrivateProfileStringA("Ombrelo Tunnel", "DisplayMode", value, path_.c_str());
  }
  ~IniKey() {
    if (hadFile_)
      WritePrivateProfileStringA("Ombrelo Tunnel", "DisplayMode", nullptr, path_.c_str());
    else
      DeleteFileA(path_.c_str());
  }
  IniKey(const IniKey&) = delete;
  IniKey& operator=(const IniKey&) = delete;

 private:
  std::string path_;
  bool hadFile_ = false;
};

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
      DecoderThread d{s.plugin.module, s.display, &run, frames, {}};
      HANDLE thread = CreateThread(nullptr, 0, RenderInBursts, &d, 0, nullptr);
      while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) PumpFor(10);
      CloseHandle(thread);
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
