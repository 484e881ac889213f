// Cases that run the effect on screen: frames against the native build, keys and Escape, both thread models.
#include <windows.h>

#include <cstring>

#include "host_cases.h"
#include "host_log.h"
#include "message_box_hook.h"
#include "screen_capture.h"
#include "shown_colour.h"

namespace {

constexpr std::size_t kDumpRecord = kFramePixels + 768;  // indices of one frame, then its palette as R, G, B

// The full-screen window as Init made it: a top-most pop-up of the plug-in's class on this thread, owned by the
// host's window, titled with the module description, pointing at the module record.
void CheckDisplayWindow(const LoadedPlugin& plugin, HWND parent) {
  LogScope scope("display window");
  HWND display = FindDisplayWindow();
  if (display == nullptr) return Fail("no window of class MainWndClass");
  char title[64] = {};
  GetWindowTextA(display, title, sizeof title);
  CHECK_EQ_STR(title, "Ombrelo Tunnel");
  const LONG style = GetWindowLongA(display, GWL_STYLE);
  CHECK_TRUE((style & WS_POPUP) != 0 && (style & WS_VISIBLE) != 0);
  // Exclusive full-screen mode may add WS_SYSMENU itself (Wine's DirectDraw does); a frame or caption never.
  CHECK_EQ_INT(style & (WS_CAPTION | WS_THICKFRAME | WS_CHILD), 0);
  CHECK_TRUE((GetWindowLongA(display, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
  CHECK_TRUE(GetWindow(display, GW_OWNER) == parent);
  CHECK_TRUE(GetWindowLongA(display, GWL_USERDATA) == reinterpret_cast<LONG>(plugin.module));
  CHECK_EQ_INT(GetWindowThreadProcessId(display, nullptr), GetCurrentThreadId());
  CHECK_EQ_INT(GetClassLongA(display, GCL_STYLE), CS_HREDRAW | CS_VREDRAW);
  CHECK_EQ_INT(GetClassLongA(display, GCL_HBRBACKGROUND), 0);
  CHECK_TRUE(reinterpret_cast<HMODULE>(GetClassLongA(display, GCL_HMODULE)) == plugin.library);
}

struct RunningEffect {
  HostWindow host;
  LoadedPlugin plugin;
  int desktopWidth = 0;
  int desktopHeight = 0;
};

// Loads the plug-in with a parent window (on its own thread or this one) and runs Init; false if that failed.
bool StartEffect(const HostOptions& options, bool parentOnOwnThread, RunningEffect* effect) {
  bool hostReady = parentOnOwnThread ? StartHostWindowThread(&effect->host) : CreateHostWindowHere(&effect->host);
  if (!hostReady) return Fail("no host window"), false;
  if (!LoadPlugin(options.pluginDir, effect->host.window, &effect->plugin)) return false;
  effect->desktopWidth = GetSystemMetrics(SM_CXSCREEN);
  effect->desktopHeight = GetSystemMetrics(SM_CYSCREEN);
  StartCatchingMessageBoxes();
  int result = effect->plugin.module->Init(effect->plugin.module);
  CHECK_EQ_INT(result, 0);
  for (const CaughtMessageBox& box : TakeMessageBoxes())
    Fail("Init showed \"%s\" / \"%s\"", box.text.c_str(), box.caption.c_str());
  PumpMessages(nullptr);
  if (result != 0) return false;
  CHECK_EQ_INT(GetSystemMetrics(SM_CXSCREEN), kScreenWidth);
  CHECK_EQ_INT(GetSystemMetrics(SM_CYSCREEN), kScreenHeight);
  CheckDisplayWindow(effect->plugin, effect->host.window);
  return true;
}

// Quit, then everything Init made must be gone and the desktop's own mode back.
void StopEffect(RunningEffect* effect) {
  if (effect->plugin.module != nullptr) {
    effect->plugin.module->Quit(effect->plugin.module);
    PumpFor(20);
    CHECK_TRUE(FindDisplayWindow() == nullptr);
    CHECK_TRUE(!DisplayClassRegistered(effect->plugin.library));
    CHECK_EQ_INT(GetSystemMetrics(SM_CXSCREEN), effect->desktopWidth);
    CHECK_EQ_INT(GetSystemMetrics(SM_CYSCREEN), effect->desktopHeight);
    for (const CaughtMessageBox& box : TakeMessageBoxes()) Fail("a box \"%s\" appeared", box.text.c_str());
  }
  StopCatchingMessageBoxes();
  UnloadPlugin(&effect->plugin);
  DestroyHostWindow(&effect->host);
}

void RenderFrames(HostModule* module, int first, int count) {
  for (int n = first; n < first + count; ++n) {
    signed char block[2][576];
    MakeWaveBlock(n, block);
    int result = RenderBlock(module, block);
    if (result != 0) Fail("Render %d returned %d", n, result);
    PumpMessages(nullptr);
  }
}

// Waits until the parent window has received `count` key messages (they travel as posted messages), at most
// `patienceMs`, then a little longer for any that should not have come.
std::vector<KeyMessage> CollectHostKeys(std::size_t count, bool pumpHere, DWORD patienceMs = 3000) {
  std::vector<KeyMessage> keys;
  DWORD start = GetTickCount();
  while (keys.size() < count && GetTickCount() - start < patienceMs) {
    if (pumpHere) PumpMessages(nullptr);
    for (const KeyMessage& key : TakeHostKeys()) keys.push_back(key);
    Sleep(5);
  }
  PumpFor(50);
  for (const KeyMessage& key : TakeHostKeys()) keys.push_back(key);
  return keys;
}

struct KeyCase {
  const char* label;
  UINT message;
  WPARAM key;
  LPARAM lParam;  // repeat count, scan code, extended, previous state, transition bits as a keyboard sets them
};

constexpr KeyCase kForwardedKeys[] = {
    {"Enter down", WM_KEYDOWN, VK_RETURN, 0x001C0001},
    {"Enter up", WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001)},
    {"space down", WM_KEYDOWN, VK_SPACE, 0x00390001},
    {"space up", WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001)},
    {"A down", WM_KEYDOWN, 'A', 0x001E0001},
    {"A up", WM_KEYUP, 'A', static_cast<LPARAM>(0xC01E0001)},
    {"Z held (repeat 5)", WM_KEYDOWN, 'Z', 0x402C0005},
    {"Z up", WM_KEYUP, 'Z', static_cast<LPARAM>(0xC02C0001)},
    {"down arrow", WM_KEYDOWN, VK_DOWN, 0x01500001},
    {"down arrow up", WM_KEYUP, VK_DOWN, static_cast<LPARAM>(0xC1500001)},
    {"up arrow", WM_KEYDOWN, VK_UP, 0x01480001},
    {"up arrow up", WM_KEYUP, VK_UP, static_cast<LPARAM>(0xC1480001)},
    {"F1", WM_KEYDOWN, VK_F1, 0x003B0001},
    {"zero lParam", WM_KEYDOWN, 'X', 0},
};

// Every key but Escape reaches the parent window as the same message with the same wParam and lParam.
void CheckForwardedKeys(HWND display, bool parentOnThisThread) {
  LogScope scope("forwarded keys");
  TakeHostKeys();
  for (const KeyCase& key : kForwardedKeys) PostMessageA(display, key.message, key.key, key.lParam);
  PumpMessages(nullptr);
  std::vector<KeyMessage> got = CollectHostKeys(std::size(kForwardedKeys), parentOnThisThread);
  CHECK_EQ_INT(got.size(), std::size(kForwardedKeys));
  for (std::size_t i = 0; i < got.size() && i < std::size(kForwardedKeys); ++i) {
    LogScope keyScope(kForwardedKeys[i].label);
    CHECK_EQ_INT(got[i].message, kForwardedKeys[i].message);
    CHECK_EQ_INT(got[i].wParam, kForwardedKeys[i].key);
    CHECK_EQ_INT(got[i].lParam, kForwardedKeys[i].lParam);
  }
  CHECK_TRUE(IsWindow(display));
}

// Real keyboard input (SendInput) reaches the full-screen window, which has the focus, and goes on to the parent.
void CheckTypedKey(HWND display, bool parentOnThisThread) {
  LogScope scope("typed key");
  TakeHostKeys();
  CHECK_TRUE(GetForegroundWindow() == display);
  INPUT input[2] = {};
  for (INPUT& key : input) {
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = 'B';
    key.ki.wScan = 0x30;
  }
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  CHECK_EQ_INT(SendInput(2, input, sizeof(INPUT)), 2);
  PumpFor(50);
  std::vector<KeyMessage> got = CollectHostKeys(2, parentOnThisThread);
  CHECK_EQ_INT(got.size(), 2);
  if (got.size() == 2) {
    CHECK_EQ_INT(got[0].message, WM_KEYDOWN);
    CHECK_EQ_INT(got[0].wParam, 'B');
    CHECK_EQ_INT(got[1].message, WM_KEYUP);
    CHECK_EQ_INT(got[1].wParam, 'B');
    CHECK_EQ_INT((got[1].lParam >> 30) & 3, 3);  // previous state down, transition up
  }
}

// Escape (on key-down or key-up) closes the full-screen window; the quit message with code 0 follows and the
// parent window sees nothing of it.
void CheckEscapeCloses(HWND display, UINT message, bool parentOnThisThread) {
  LogScope scope(message == WM_KEYDOWN ? "Escape down" : "Escape up");
  TakeHostKeys();
  LPARAM lParam = message == WM_KEYDOWN ? 0x00010001 : static_cast<LPARAM>(0xC0010001);
  PostMessageA(display, message, VK_ESCAPE, lParam);
  bool quit = false;
  int code = -1;
  PumpFor(300, &quit, &code);
  CHECK_TRUE(!IsWindow(display));
  CHECK_TRUE(quit);
  CHECK_EQ_INT(code, 0);
  std::vector<KeyMessage> got = CollectHostKeys(1, parentOnThisThread, 100);
  CHECK_EQ_INT(got.size(), 0);
}

bool NonBlack(const ScreenShot& shot) {
  for (std::uint32_t pixel : shot.pixels)
    if (pixel != 0) return true;
  return false;
}

void ExpectedPicture(const unsigned char* indices, const unsigned char* rgb, ScreenShot* expected) {
  PALETTEENTRY palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = PALETTEENTRY{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], 0};
  expected->width = kScreenWidth;
  expected->height = kScreenHeight;
  expected->pixels.resize(kFramePixels);
  for (std::size_t i = 0; i < kFramePixels; ++i) expected->pixels[i] = ShownColour(palette, indices[i]);
}

}  // namespace

// After Render n the screen shows the picture drawn by Render n - 1 through the palette set by Render n: every
// captured pixel must be that colour, for every frame of the run.
void RunFramesCase(const HostOptions& options) {
  std::vector<unsigned char> wave = ReadWholeBinaryFile(options.waveform);
  std::vector<unsigned char> dump = ReadWholeBinaryFile(options.dump);
  const int frames = options.frames;
  if (frames < 2 || wave.size() < frames * kWaveBlockBytes)
    return Fail("waveform file too short: %zu bytes", wave.size());
  if (dump.size() != frames * kDumpRecord)
    return Fail("native frame dump has %zu bytes, expected %zu", dump.size(), frames * kDumpRecord);

  RunningEffect effect;
  if (StartEffect(options, true, &effect)) {
    HWND display = FindDisplayWindow();
    HostModule* module = effect.plugin.module;
    const int keptFrame = frames / 2;
    ScreenShot kept, keptExpected;
    int badFrames = 0, badResults = 0;
    long long badPixels = 0;
    for (int n = 1; n <= frames; ++n) {
      std::memcpy(module->waveformData, &wave[(n - 1) * kWaveBlockBytes], kWaveBlockBytes);
      int result = module->Render(module);
      if (result != 0 && badResults++ < 3) Fail("Render %d returned %d", n, result);
      PumpMessages(nullptr);
      if (n < 2) continue;
      ScreenShot shot, expected;
      if (!CaptureWindow(display, kScreenWidth, kScreenHeight, &shot)) {
        Fail("frame %d could not be captured", n);
        break;
      }
      ExpectedPicture(&dump[(n - 2) * kDumpRecord], &dump[(n - 1) * kDumpRecord + kFramePixels], &expected);
      int wrong = 0;
      for (std::size_t i = 0; i < kFramePixels; ++i) {
        if (shot.pixels[i] == expected.pixels[i]) continue;
        if (wrong++ == 0 && badFrames < 5)
          Fail("after Render %d pixel (%zu, %zu) is %06x, expected %06x (index %d)", n, i % kScreenWidth,
               i / kScreenWidth, shot.pixels[i], expected.pixels[i], dump[(n - 2) * kDumpRecord + i]);
      }
      if (wrong > 0) {
        ++badFrames;
        badPixels += wrong;
      }
      if (n == keptFrame) {
        kept = shot;
        keptExpected = expected;
      }
    }
    LogLine("compared %d frames of %d pixels: %d frames differ, %lld pixels in all", frames - 1,
            static_cast<int>(kFramePixels), badFrames, badPixels);
    CHECK_EQ_INT(badFrames, 0);
    CHECK_TRUE(NonBlack(kept));
    if (!options.artifact.empty() && !kept.pixels.empty()) {
      CHECK_TRUE(WritePng(options.artifact, kept));
      std::string expectedPath = options.artifact.substr(0, options.artifact.size() - 4) + "-native.png";
      CHECK_TRUE(WritePng(expectedPath, keptExpected));
      LogLine("frame after Render %d kept as %s (native build's picture: %s)", keptFrame, options.artifact.c_str(),
              expectedPath.c_str());
    }
  }
  StopEffect(&effect);
}

void RunKeysCase(const HostOptions& options) {
  RunningEffect effect;
  if (StartEffect(options, true, &effect)) {
    HostModule* module = effect.plugin.module;
    RenderFrames(module, 0, 5);
    HWND display = FindDisplayWindow();
    CheckForwardedKeys(display, false);
    CheckTypedKey(display, false);
    {
      LogScope scope("cursor");
      SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      CHECK_EQ_INT(
          SendMessageA(display, WM_SETCURSOR, reinterpret_cast<WPARAM>(display), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
          1);
      CHECK_TRUE(GetCursor() == nullptr);
    }
    CheckEscapeCloses(display, WM_KEYDOWN, false);
    // The host's loop ends the visualization on the quit message; Render in between must not crash.
    int afterEscape = module->Render(module);
    LogLine("Render after Escape returned %d", afterEscape);
    module->Quit(module);
    PumpFor(20);
    CHECK_TRUE(!DisplayClassRegistered(effect.plugin.library));
    CHECK_EQ_INT(GetSystemMetrics(SM_CXSCREEN), effect.desktopWidth);

    // Again, closing on the key-up this time.
    CHECK_EQ_INT(module->Init(module), 0);
    PumpMessages(nullptr);
    RenderFrames(module, 5, 3);
    display = FindDisplayWindow();
    CHECK_TRUE(display != nullptr);
    CheckEscapeCloses(display, WM_KEYUP, false);
  }
  StopEffect(&effect);
}

// The host's window on the same thread as Init and Render: frames are drawn although no WM_ACTIVATEAPP comes
// (the layouts case compares them), keys still arrive, Escape still ends the run.
void RunSameThreadCase(const HostOptions& options) {
  RunningEffect effect;
  if (StartEffect(options, false, &effect)) {
    HostModule* module = effect.plugin.module;
    RenderFrames(module, 0, 30);
    HWND display = FindDisplayWindow();
    ScreenShot shot;
    CHECK_TRUE(CaptureWindow(display, kScreenWidth, kScreenHeight, &shot));
    CHECK_TRUE(NonBlack(shot));
    CheckForwardedKeys(display, true);
    CheckEscapeCloses(display, WM_KEYDOWN, true);
  }
  StopEffect(&effect);
}
