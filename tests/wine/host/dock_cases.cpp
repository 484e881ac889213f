// DisplayMode 3: the picture docked in the frame the player offers through its embed-window interface, in both
// thread layouts; the player's commands; Alt+Enter out of the dock and back; closing the dock; a player without
// the interface.
#include <windows.h>

#include <cstring>

#include "display_session.h"
#include "embed_host.h"
#include "host_cases.h"
#include "host_log.h"
#include "x_screen.h"

namespace {

constexpr LPARAM kAltEnterDown = 0x201C0001;

// The docked window is the frame's child: no top-level window of the plug-in's class is to be found.
HWND FindDockedWindow() {
  HWND docked = DockedWindow();
  if (docked == nullptr)
    LogLine("no docked window: %d frame requests, frame %p, top-level window %p", EmbedRequests(),
            static_cast<void*>(EmbedFrame()), static_cast<void*>(FindDisplayWindow()));
  return docked;
}

// Init asked once, got a frame, made its window the frame's child and named that window to the player.
void CheckDocked(HWND display) {
  CHECK_EQ_INT(EmbedRequests(), 1);
  HWND frame = EmbedFrame();
  CHECK_TRUE(frame != nullptr);
  CHECK_TRUE(GetParent(display) == frame);
  CHECK_TRUE((GetWindowLongA(display, GWL_STYLE) & WS_CHILD) != 0);
  CHECK_TRUE(IsWindowVisible(frame) != 0);
  CHECK_TRUE(FindDisplayWindow() == nullptr);
  const std::vector<HWND> named = VisWindowsSet();
  CHECK_EQ_INT(named.size(), 1);
  if (!named.empty()) CHECK_TRUE(named.back() == display);
  RECT frameClient{}, client{};
  GetClientRect(frame, &frameClient);
  GetClientRect(display, &client);
  CHECK_EQ_INT(client.right, frameClient.right);
  CHECK_EQ_INT(client.bottom, frameClient.bottom);
}

// Renders first..last with each capture compared, returning how many of those frames differ from the native ones.
int FramesDiffering(HostModule* module, HWND display, const NativeRun& run, int first, int last) {
  Comparison c;
  for (int n = first; n <= last; ++n) {
    std::memcpy(module->waveformData, &run.wave[(n - 1) * kWaveBlockBytes], kWaveBlockBytes);
    CHECK_EQ_INT(module->Render(module), 0);
    PumpMessages(nullptr);
    ScreenShot shot;
    const Placement p = FourThirdsInClient(display);
    if (!CaptureWindow(display, p.captureWidth, p.captureHeight, &shot)) return Fail("no capture"), 0;
    if (DifferingPixels(run, n, p, shot) > 0) ++c.badFrames;
  }
  return c.badFrames;
}

// The player's window and its frame with the plug-in's picture in it, as the screen shows them, kept for the guide.
void KeepDockCapture(const HostOptions& options, HWND host, HWND frame) {
  RECT hostOuter{}, frameOuter{}, outer{};
  GetWindowRect(host, &hostOuter);
  GetWindowRect(frame, &frameOuter);
  UnionRect(&outer, &hostOuter, &frameOuter);
  ScreenShot shot;
  if (CaptureXScreen(options.log + ".xwd", outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top,
                     &shot))
    SaveCapture(options, "-docked", shot);
}

}  // namespace

// The player's window on a thread of its own, the visualization on this one (Init and Render): docked, the
// picture follows the frame's size, next/previous move the palette, full screen and back, and at Quit the
// player is told and the frame goes.
void RunDockCase(const HostOptions& options) {
  NativeRun run;
  if (!LoadNativeRun(options, &run)) return;
  IniKey key(options.pluginDir, "3");
  OfferEmbedding(true);
  Session s;
  if (BeginSession(options, true, &s, FindDockedWindow)) {
    HostModule* module = s.plugin.module;
    HWND frame = EmbedFrame();
    CheckDocked(s.display);
    Comparison docked;
    RenderAndCompare(module, s.display, run, 1, 10, FourThirdsInClient(s.display), true, &docked);
    Report("docked", docked);

    LogScope resized("frame resized");
    CHECK_TRUE(ResizeFrameClient(480, 300));
    PumpFor(100);
    RECT client{};
    GetClientRect(s.display, &client);
    CHECK_EQ_INT(client.right, 480);
    CHECK_EQ_INT(client.bottom, 300);
    Comparison afterResize;
    RenderAndCompare(module, s.display, run, 11, 20, FourThirdsInClient(s.display), true, &afterResize);
    Report("after the frame was resized", afterResize);
    KeepDockCapture(options, s.host.window, frame);

    {
      LogScope commands("next and previous palette");
      CHECK_TRUE(PostVisCommand(kVisNext));
      PumpFor(20);
      // The palette moved on a whole palette: every picture shows other colours than the native run's.
      CHECK_EQ_INT(FramesDiffering(module, s.display, run, 21, 25), 5);
      CHECK_TRUE(PostVisCommand(kVisPrevious));
      PumpFor(20);
      Comparison back;
      RenderAndCompare(module, s.display, run, 26, 30, FourThirdsInClient(s.display), true, &back);
      Report("after next and previous", back);
    }
    {
      LogScope fullScreen("the player's full-screen command, Alt+Enter back into the dock");
      CHECK_TRUE(PostVisCommand(kVisFullScreen));
      PumpFor(50);
      Comparison full;
      RenderAndCompare(module, s.display, run, 31, 40, kEffectScreen, true, &full, true);
      CHECK_EQ_INT(GetWindowLongA(s.display, GWL_STYLE) & WS_CHILD, 0);
      CHECK_EQ_INT(GetSystemMetrics(SM_CXSCREEN), kScreenWidth);
      Report("full screen from the dock", full);
      PostMessageA(s.display, WM_SYSKEYDOWN, VK_RETURN, kAltEnterDown);
      PumpFor(50);
      // The switch happens in the next Render, which shows no previous picture.
      Comparison again;
      RenderAndCompare(module, s.display, run, 41, 41, kEffectScreen, true, &again, true);
      RenderAndCompare(module, s.display, run, 42, 50, FourThirdsInClient(s.display), true, &again);
      CHECK_TRUE(GetParent(s.display) == frame);
      CHECK_EQ_INT(EmbedRequests(), 1);
      Report("back in the dock", again);
    }
    s.plugin.module->Quit(s.plugin.module);
    s.plugin.module = nullptr;
    PumpFor(200);
    const std::vector<HWND> named = VisWindowsSet();
    CHECK_TRUE(!named.empty() && named.back() == nullptr);
    CHECK_TRUE(IsWindow(frame) == 0);
    CHECK_TRUE(IsWindow(s.display) == 0);
  }
  EndSession(&s);
  OfferEmbedding(false);
}

// The player creates the visualization on its window's thread and calls Render from its decoder thread: docked
// the same; a resize while no Render comes shows the last picture at the new size; the user closing the dock
// ends the visualization as a closed window does. Then a player without the interface: a normal window.
void RunDockDecoderCase(const HostOptions& options) {
  NativeRun run;
  if (!LoadNativeRun(options, &run)) return;
  IniKey key(options.pluginDir, "3");
  {
    LogScope scope("decoder thread");
    OfferEmbedding(true);
    Session s;
    if (BeginSession(options, false, &s, FindDockedWindow)) {
      HostModule* module = s.plugin.module;
      CheckDocked(s.display);
      DecoderThread d{module, s.display, &run, 20, FourThirdsInClient(s.display), {}};
      RenderFromDecoderThread(&d);
      Report("docked, Render from a decoder thread", d.result);

      LogScope still("resized while no Render comes");
      CHECK_TRUE(ResizeFrameClient(400, 260));
      PumpFor(200);
      const Placement p = FourThirdsInClient(s.display);
      CHECK_EQ_INT(p.captureWidth, 400);
      ScreenShot shot;
      CHECK_TRUE(CaptureWindow(s.display, p.captureWidth, p.captureHeight, &shot));
      CHECK_EQ_INT(DifferingPixels(run, 20, p, shot), 0);

      LogScope closing("the user closes the dock");
      HWND frame = EmbedFrame();
      PostMessageA(frame, WM_CLOSE, 0, 0);
      bool quitSeen = false;
      int quitCode = -1;
      PumpFor(200, &quitSeen, &quitCode);
      CHECK_TRUE(quitSeen);
      CHECK_EQ_INT(quitCode, 0);
      CHECK_TRUE(IsWindow(frame) == 0);
    }
    EndSession(&s);
  }
  {
    LogScope scope("a player without the interface");
    OfferEmbedding(false);
    Session s;
    if (BeginSession(options, false, &s)) {
      CHECK_EQ_INT(EmbedRequests(), 1);
      CHECK_TRUE(VisWindowsSet().empty());
      CHECK_TRUE(GetParent(s.display) == nullptr);
      CHECK_TRUE((GetWindowLongA(s.display, GWL_STYLE) & WS_THICKFRAME) != 0);
      RECT client{};
      GetClientRect(s.display, &client);
      CHECK_EQ_INT(client.right, 640);
      CHECK_EQ_INT(client.bottom, 480);
      Comparison c;
      RenderAndCompare(s.plugin.module, s.display, run, 1, 10, FourThirdsInClient(s.display), true, &c);
      Report("normal window instead of the dock", c);
    }
    EndSession(&s);
  }
}
