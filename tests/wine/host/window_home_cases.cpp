// The normal window at home: its last picture repainted while no Render comes, its place and size kept through
// Alt+Enter and in plugin.ini for the next start, brought back from a place off every screen, and nothing of the
// picture left on the screen after Quit.
#include <windows.h>

#include <cstring>
#include <string>

#include "display_session.h"
#include "host_cases.h"
#include "host_log.h"
#include "x_screen.h"

namespace {

constexpr LPARAM kAltEnterDown = 0x201C0001;
constexpr const char* kGeometryKeys[] = {"WindowLeft", "WindowTop", "WindowWidth", "WindowHeight"};

std::string IniPath(const HostOptions& options) { return options.pluginDir + "\\plugin.ini"; }

int IniNumber(const HostOptions& options, const char* key) {
  return static_cast<int>(GetPrivateProfileIntA("Ombrelo Tunnel", key, -1, IniPath(options).c_str()));
}

void ForgetGeometry(const HostOptions& options) {
  for (const char* key : kGeometryKeys)
    WritePrivateProfileStringA("Ombrelo Tunnel", key, nullptr, IniPath(options).c_str());
}

std::string IniText(const HostOptions& options) {
  const std::vector<unsigned char> bytes = ReadWholeBinaryFile(IniPath(options));
  return std::string(bytes.begin(), bytes.end());
}

// A normal window whose client area is width x height with its top-left corner at (left, top).
void PlaceClient(HWND window, int left, int top, int width, int height) {
  RECT outer{0, 0, width, height};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE, 0);
  SetWindowPos(window, nullptr, left, top, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void CheckPlace(HWND window, const RECT& expected) {
  RECT outer{};
  GetWindowRect(window, &outer);
  CHECK_EQ_INT(outer.left, expected.left);
  CHECK_EQ_INT(outer.top, expected.top);
  CHECK_EQ_INT(outer.right, expected.right);
  CHECK_EQ_INT(outer.bottom, expected.bottom);
}

// The host's client area on the screen.
RECT HostClientOnScreen(HWND host) {
  RECT client{};
  GetClientRect(host, &client);
  MapWindowPoints(host, nullptr, reinterpret_cast<POINT*>(&client), 2);
  return client;
}

int PixelsNot(const ScreenShot& shot, std::uint32_t colour) {
  int count = 0;
  for (std::uint32_t pixel : shot.pixels) count += pixel != colour;
  return count;
}

// Quit, then what the screen shows of the host's client area (where a window covered it: `covered`, else all
// of it) is the host's own white, and the host was asked to paint. Where a window covered it, the same capture
// before Quit must show the picture, or it proves nothing.
void QuitLeavesNothing(const HostOptions& options, Session* s, const RECT* covered) {
  const std::string scratch = options.log + ".xwd";
  RECT area = HostClientOnScreen(s->host.window);
  if (covered != nullptr) IntersectRect(&area, &area, covered);
  const int width = area.right - area.left, height = area.bottom - area.top;
  CHECK_TRUE(width > 0 && height > 0);
  ScreenShot shot;
  if (covered != nullptr && CaptureXScreen(scratch, area.left, area.top, width, height, &shot))
    CHECK_TRUE(PixelsNot(shot, 0xFFFFFF) > 0);
  TakeHostPaints();
  s->plugin.module->Quit(s->plugin.module);
  s->plugin.module = nullptr;
  PumpFor(300);
  LogScope scope("after Quit");
  if (CaptureXScreen(scratch, area.left, area.top, width, height, &shot)) {
    const int left = PixelsNot(shot, 0xFFFFFF);
    LogLine("after Quit %d of %zu pixels over the host's window are not the host's white", left, shot.pixels.size());
    CHECK_EQ_INT(left, 0);
  }
  CHECK_TRUE(!TakeHostPaints().empty());
}

// Alt+Enter to full screen and back, each followed by frames.
void AltEnterTwice(HostModule* module, HWND display, const NativeRun& run, int first) {
  for (int i = 0; i < 2; ++i) {
    SetForegroundWindow(display);
    PostMessageA(display, WM_SYSKEYDOWN, VK_RETURN, kAltEnterDown);
    PumpFor(50);
    Comparison c;
    RenderAndCompare(module, display, run, first + 4 * i, first + 4 * i + 1, kEffectScreen, true, &c, true);
    PostMessageA(display, WM_SYSKEYDOWN, VK_RETURN, kAltEnterDown);
    PumpFor(50);
    // The switch happens in the next Render, which shows no previous picture.
    RenderAndCompare(module, display, run, first + 4 * i + 2, first + 4 * i + 2, kEffectScreen, true, &c, true);
    RenderAndCompare(module, display, run, first + 4 * i + 3, first + 4 * i + 3, FourThirdsInClient(display), true, &c);
    Report("Alt+Enter there and back", c);
  }
}

}  // namespace

// DisplayMode 2 on the player's thread layout with a visualization thread.
void RunWindowHomeCase(const HostOptions& options) {
  NativeRun run;
  if (!LoadNativeRun(options, &run)) return;
  IniKey key(options.pluginDir, "2");
  ForgetGeometry(options);
  const RECT moved{40, 60, 0, 0};
  RECT placed{};
  {
    LogScope scope("first start");
    Session s;
    if (BeginSession(options, true, &s)) {
      HostModule* module = s.plugin.module;
      Comparison c;
      RenderAndCompare(module, s.display, run, 1, 5, FourThirdsInClient(s.display), true, &c);
      Report("first frames", c);

      LogScope still("moved and resized while no Render comes");
      PlaceClient(s.display, moved.left, moved.top, 500, 360);
      PumpFor(200);
      const Placement p = FourThirdsInClient(s.display);
      CHECK_EQ_INT(p.captureWidth, 500);
      ScreenShot shot;
      CHECK_TRUE(CaptureWindow(s.display, p.captureWidth, p.captureHeight, &shot));
      CHECK_EQ_INT(DifferingPixels(run, 5, p, shot), 0);
      GetWindowRect(s.display, &placed);

      AltEnterTwice(module, s.display, run, 6);
      CheckPlace(s.display, placed);

      QuitLeavesNothing(options, &s, &placed);
      CHECK_EQ_INT(IniNumber(options, "WindowLeft"), moved.left);
      CHECK_EQ_INT(IniNumber(options, "WindowTop"), moved.top);
      CHECK_EQ_INT(IniNumber(options, "WindowWidth"), 500);
      CHECK_EQ_INT(IniNumber(options, "WindowHeight"), 360);
    }
    EndSession(&s);
  }
  {
    LogScope scope("next start");
    const std::string written = IniText(options);
    Session s;
    if (BeginSession(options, true, &s)) {
      CheckPlace(s.display, placed);
      Comparison c;
      RenderAndCompare(s.plugin.module, s.display, run, 1, 3, FourThirdsInClient(s.display), true, &c);
      Report("restored window", c);
    }
    EndSession(&s);
    // Nothing moved: nothing written.
    CHECK_TRUE(IniText(options) == written);
  }
  {
    LogScope scope("a place on a monitor that is gone");
    WritePrivateProfileStringA("Ombrelo Tunnel", "WindowLeft", "3000", IniPath(options).c_str());
    WritePrivateProfileStringA("Ombrelo Tunnel", "WindowTop", "-2000", IniPath(options).c_str());
    Session s;
    if (BeginSession(options, true, &s)) {
      RECT outer{}, client{};
      GetWindowRect(s.display, &outer);
      GetClientRect(s.display, &client);
      const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
      LogLine("window at %ld, %ld .. %ld, %ld on a %d x %d desktop", outer.left, outer.top, outer.right, outer.bottom,
              width, height);
      CHECK_TRUE(outer.left >= 0 && outer.top >= 0 && outer.right <= width && outer.bottom <= height);
      CHECK_EQ_INT(client.right, 500);
      CHECK_EQ_INT(client.bottom, 360);
    }
    EndSession(&s);
  }
  ForgetGeometry(options);
}

// Full screen in the same thread layout: after Quit the desktop in its own mode again shows the host's window.
void RunFullScreenQuitCase(const HostOptions& options) {
  NativeRun run;
  if (!LoadNativeRun(options, &run)) return;
  Session s;
  if (BeginSession(options, true, &s)) {
    Comparison c;
    RenderAndCompare(s.plugin.module, s.display, run, 1, 10, kEffectScreen, true, &c);
    Report("full screen", c);
    QuitLeavesNothing(options, &s, nullptr);
  }
  EndSession(&s);
}
