// Not a test: how long each Render takes after an hd window ("Picture=1") is resized to 1920 x 1080, for
// bench/hd_resize_wine.sh. The times are logged, never judged.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "display_session.h"
#include "host_cases.h"
#include "host_log.h"

namespace {

double RenderMilliseconds(HostModule* module, const NativeRun& run, int n) {
  std::memcpy(module->waveformData, &run.wave[(n - 1) % run.frames * kWaveBlockBytes], kWaveBlockBytes);
  LARGE_INTEGER frequency, before, after;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&before);
  CHECK_EQ_INT(module->Render(module), 0);
  QueryPerformanceCounter(&after);
  PumpMessages(nullptr);
  return 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

void RunHdResizeTimingCase(const HostOptions& options) {
  NativeRun run;
  if (!LoadNativeRun(options, &run)) return;
  IniKey mode(options.pluginDir, "2");
  IniKey picture(options.pluginDir, "Picture", "1");
  Session s;
  if (BeginSession(options, true, &s)) {
    double steady = 0, longest = 0;
    for (int n = 1; n <= 20; ++n) steady = std::max(steady, RenderMilliseconds(s.plugin.module, run, n));
    RECT outer{0, 0, 1920, 1080};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(s.display, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(s.display, GWL_EXSTYLE)));
    SetWindowPos(s.display, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpMessages(nullptr);
    for (int n = 21; n <= 80; ++n) {
      const double ms = RenderMilliseconds(s.plugin.module, run, n);
      LogLine("Render %d after the resize: %.1f ms", n - 20, ms);
      longest = std::max(longest, ms);
      Sleep(16);
    }
    RECT client{};
    GetClientRect(s.display, &client);
    LogLine("client %ldx%ld; longest Render at 640x480 %.1f ms, after the resize %.1f ms", client.right, client.bottom,
            steady, longest);
  }
  EndSession(&s);
}
