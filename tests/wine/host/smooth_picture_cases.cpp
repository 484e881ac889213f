// "Picture=1": the window modes show the tunnel drawn at the client area's own size, pixel for pixel the native
// build's smooth frame of the same moment; the 8-bit full screen stays the 320 x 200 frame; a new size shows the
// enlarged frame until it has held for a frame and its map is made, then the smooth picture at that size; a repaint
// shows the last one.
#include <windows.h>

#include <cstring>

#include "display_session.h"
#include "embed_host.h"
#include "host_cases.h"
#include "host_log.h"

namespace {

constexpr LPARAM kAltEnterDown = 0x201C0001;
constexpr const char* kGeometryKeys[] = {"WindowLeft", "WindowTop", "WindowWidth", "WindowHeight"};

// The window's place, which a resized window writes at Quit, is not left for the other cases.
void ForgetGeometry(const HostOptions& options) {
  const std::string ini = options.pluginDir + "\\plugin.ini";
  for (const char* key : kGeometryKeys) WritePrivateProfileStringA("Ombrelo Tunnel", key, nullptr, ini.c_str());
}

bool ResizeClient(HWND window, int width, int height) {
  RECT outer{0, 0, width, height};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
  return SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
}

void CheckClient(HWND window, int width, int height) {
  RECT client{};
  GetClientRect(window, &client);
  CHECK_EQ_INT(client.right, width);
  CHECK_EQ_INT(client.bottom, height);
}

// Render n at a size the picture was not made for: the enlarged frame. The map for the size is made off Render's
// thread, which on a busy machine takes longer than the frame Render waits for it: until it is made the enlarged
// frame stands in (a slow host's frames, some 100 ms apart, for at most half the frames left), then the smooth
// picture to `last`.
void NewSizeThenSmooth(HostModule* module, HWND window, const NativeRun& run, const HdRun& hd, int n, int last) {
  const Placement enlarged = FourThirdsInClient(window);
  Comparison classic;
  RenderAndCompare(module, window, run, n, n, enlarged, true, &classic);
  Report("the first frame at a new size, enlarged", classic);
  int first = n + 1, standIns = 0;
  bool shown = false;
  for (ScreenShot shot; first <= (n + last) / 2; ++first, ++standIns, PumpFor(100)) {
    std::memcpy(module->waveformData, &run.wave[(first - 1) * kWaveBlockBytes], kWaveBlockBytes);
    CHECK_EQ_INT(module->Render(module), 0);
    PumpMessages(nullptr);
    if (!CaptureWindow(window, hd.width, hd.height, &shot)) return Fail("frame %d could not be captured", first);
    if ((shown = DifferingHdPixels(hd, first, shot) == 0)) break;
    if (DifferingPixels(run, first, enlarged, shot) != 0) return Fail("frame %d is neither picture", first);
  }
  LogLine("the enlarged frame stood in for %d frames more while the map was made", standIns);
  Comparison smooth;
  RenderAndCompareHd(module, window, run, hd, shown ? first + 1 : first, last, &smooth);
  Report("smooth at the new size", smooth);
}

// WM_PAINT while no Render comes shows the smooth frame n again.
void CheckRepaint(HWND window, const HdRun& hd, int n) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  PumpFor(50);
  ScreenShot shot;
  CHECK_TRUE(CaptureWindow(window, hd.width, hd.height, &shot));
  CHECK_EQ_INT(DifferingHdPixels(hd, n, shot), 0);
}

// Render from a decoder thread, as some players call it, while this thread has the window repainted over and over:
// the picture and its repaint take turns.
struct SmoothDecoder {
  HostModule* module;
  HWND window;
  const NativeRun* run;
  const HdRun* hd;
  int first, last;
  Comparison result;
};

DWORD WINAPI RenderSmoothFrames(void* parameter) {
  auto* d = static_cast<SmoothDecoder*>(parameter);
  RenderAndCompareHd(d->module, d->window, *d->run, *d->hd, d->first, d->last, &d->result);
  return 0;
}

void RenderFromDecoderWhileRepainting(SmoothDecoder* d) {
  HANDLE thread = CreateThread(nullptr, 0, RenderSmoothFrames, d, 0, nullptr);
  if (thread == nullptr) return Fail("no decoder thread");
  while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
    RedrawWindow(d->window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PumpFor(2);
  }
  CloseHandle(thread);
}

}  // namespace

void RunSmoothPictureCase(const HostOptions& options) {
  NativeRun run;
  HdRun window, dock;
  if (!LoadNativeRun(options, &run) || !LoadHdRun(options.hdWindow, 640, 480, &window) ||
      !LoadHdRun(options.hdDock, 480, 300, &dock))
    return;
  {
    LogScope scope("normal window");
    IniKey mode(options.pluginDir, "2");
    IniKey picture(options.pluginDir, "Picture", "1");
    ForgetGeometry(options);
    Session s;
    if (BeginSession(options, true, &s)) {
      HostModule* module = s.plugin.module;
      CheckClient(s.display, 640, 480);
      Comparison smooth;
      RenderAndCompareHd(module, s.display, run, window, 1, 10, &smooth);
      Report("smooth window", smooth);
      SaveCapture(options, "-smooth", smooth.lastShot);

      SetForegroundWindow(s.display);
      PostMessageA(s.display, WM_SYSKEYDOWN, VK_RETURN, kAltEnterDown);
      PumpFor(50);
      Comparison full;
      RenderAndCompare(module, s.display, run, 11, 20, kEffectScreen, true, &full, true);
      CHECK_EQ_INT(GetSystemMetrics(SM_CXSCREEN), kScreenWidth);
      Report("the 8-bit full screen after Alt+Enter", full);
      PostMessageA(s.display, WM_SYSKEYDOWN, VK_RETURN, kAltEnterDown);
      PumpFor(50);
      // The switch happens in the next Render, which already shows the smooth picture: its map is still there.
      Comparison back;
      RenderAndCompareHd(module, s.display, run, window, 21, 25, &back);
      CheckClient(s.display, 640, 480);
      Report("smooth again after Alt+Enter", back);
      CheckRepaint(s.display, window, 25);

      CHECK_TRUE(ResizeClient(s.display, 480, 300));
      PumpFor(100);
      CheckClient(s.display, 480, 300);
      NewSizeThenSmooth(module, s.display, run, dock, 26, 35);
      CheckRepaint(s.display, dock, 35);
    }
    EndSession(&s);
    ForgetGeometry(options);
  }
  {
    LogScope scope("docked in the player's frame");
    IniKey mode(options.pluginDir, "3");
    IniKey picture(options.pluginDir, "Picture", "1");
    OfferEmbedding(true);
    Session s;
    if (BeginSession(options, true, &s, DockedWindow)) {
      HostModule* module = s.plugin.module;
      Comparison first;  // the first Render shows the smooth picture at the frame's first size, not compared
      RenderAndCompare(module, s.display, run, 1, 1, FourThirdsInClient(s.display), true, &first);
      CHECK_TRUE(ResizeFrameClient(480, 300));
      PumpFor(100);
      CheckClient(s.display, 480, 300);
      NewSizeThenSmooth(module, s.display, run, dock, 2, 12);
      SmoothDecoder decoder{module, s.display, &run, &dock, 13, 30, {}};
      RenderFromDecoderWhileRepainting(&decoder);
      Report("smooth from a decoder thread, repainted meanwhile", decoder.result);
    }
    EndSession(&s);
    OfferEmbedding(false);
  }
}
