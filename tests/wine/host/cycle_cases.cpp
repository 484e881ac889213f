// Repeated Init/Render/Quit: no growth of memory or window-system objects, and Render outside Init..Quit or
// from another thread than Init's does no harm.
#include <windows.h>

#include "host_cases.h"
#include "host_log.h"
#include "message_box_hook.h"
#include "process_counters.h"

namespace {

constexpr int kWarmUpCycles = 10;
constexpr SIZE_T kHeapTolerance = 64 * 1024;  // less than one leaked 65536-byte table
constexpr SIZE_T kPrivateTolerance = 2 * 1024 * 1024;
constexpr DWORD kObjectTolerance = 4;

void LogCounters(const char* label, const ProcessCounters& c) {
  LogLine("%s: heap %lu bytes, private %lu KiB, GDI %lu, USER %lu, GDI table %d, handles %lu, windows %d", label,
          static_cast<unsigned long>(c.heapBytes), static_cast<unsigned long>(c.privateBytes / 1024), c.gdiObjects,
          c.userObjects, c.gdiTableEntries, c.handles, c.windows);
}

bool RunOneCycle(HostModule* module, int cycle) {
  if (module->Init(module) != 0) return Fail("Init of cycle %d failed", cycle), false;
  for (int n = 0; n < 5; ++n) {
    signed char block[2][576];
    MakeWaveBlock(cycle * 5 + n, block);
    if (RenderBlock(module, block) != 0) Fail("cycle %d: Render %d failed", cycle, n);
    PumpMessages(nullptr);
  }
  module->Quit(module);
  PumpMessages(nullptr);  // the quit message of the destroyed window
  return true;
}

struct ThreadRender {
  HostModule* module;
  int calls;
  int nonZero;
};

DWORD WINAPI RenderOnOtherThread(void* parameter) {
  auto* job = static_cast<ThreadRender*>(parameter);
  for (int n = 0; n < job->calls; ++n) {
    signed char block[2][576];
    MakeWaveBlock(1000 + n, block);
    if (RenderBlock(job->module, block) != 0) ++job->nonZero;
  }
  return 0;
}

int RenderCountOnOtherThread(HostModule* module, int calls) {
  ThreadRender job{module, calls, 0};
  HANDLE thread = CreateThread(nullptr, 0, RenderOnOtherThread, &job, 0, nullptr);
  if (thread == nullptr) return Fail("CreateThread failed"), -1;
  if (WaitForSingleObject(thread, 20000) != WAIT_OBJECT_0) Fail("Render on another thread hangs");
  CloseHandle(thread);
  return job.nonZero;
}

}  // namespace

void RunCycleCase(const HostOptions& options) {
  HostWindow host;
  if (!StartHostWindowThread(&host)) return Fail("no host window");
  LoadedPlugin plugin;
  if (LoadPlugin(options.pluginDir, host.window, &plugin)) {
    StartCatchingMessageBoxes();
    ProcessCounters base{};
    DWORD start = GetTickCount();
    for (int cycle = 1; cycle <= options.cycles; ++cycle) {
      if (!RunOneCycle(plugin.module, cycle)) break;
      if (cycle == kWarmUpCycles) base = ReadProcessCounters();
    }
    LogLine("%d cycles of Init, 5 Renders and Quit in %lu ms", options.cycles, GetTickCount() - start);
    ProcessCounters end = ReadProcessCounters();
    LogCounters("after warm-up", base);
    LogCounters("at the end", end);
    CHECK_TRUE(end.heapBytes <= base.heapBytes + kHeapTolerance);
    CHECK_TRUE(end.privateBytes <= base.privateBytes + kPrivateTolerance);
    CHECK_TRUE(end.gdiObjects <= base.gdiObjects + kObjectTolerance);
    CHECK_TRUE(end.userObjects <= base.userObjects + kObjectTolerance);
    CHECK_TRUE(end.handles <= base.handles + kObjectTolerance);
    CHECK_EQ_INT(end.windows, base.windows);
    if (base.gdiTableEntries < 0 || end.gdiTableEntries < 0) {
      LogLine("the GDI handle table could not be read: GDI objects counted by GetGuiResources only");
    } else {
      CHECK_TRUE(end.gdiTableEntries <= base.gdiTableEntries + static_cast<int>(kObjectTolerance));
    }
    if (base.gdiObjects == 0 && base.userObjects == 0) LogLine("GetGuiResources counts nothing on this platform");
    CHECK_EQ_INT(TakeMessageBoxes().size(), 0);
    StopCatchingMessageBoxes();
  }
  UnloadPlugin(&plugin);
  DestroyHostWindow(&host);
}

void RunLifecycleCase(const HostOptions& options) {
  HostWindow host;
  if (!StartHostWindowThread(&host)) return Fail("no host window");
  LoadedPlugin plugin;
  if (LoadPlugin(options.pluginDir, host.window, &plugin)) {
    HostModule* module = plugin.module;
    StartCatchingMessageBoxes();
    {
      LogScope scope("before any Init");
      CHECK_EQ_INT(module->Render(module), 1);
      module->Quit(module);
      CHECK_EQ_INT(module->Render(module), 1);
    }
    {
      LogScope scope("running");
      CHECK_EQ_INT(module->Init(module), 0);
      PumpMessages(nullptr);
      CHECK_EQ_INT(RenderCountOnOtherThread(module, 1), 0);  // sanity: the same calls from this thread follow
      for (int n = 0; n < 10; ++n) {
        signed char block[2][576];
        MakeWaveBlock(n, block);
        CHECK_EQ_INT(RenderBlock(module, block), 0);
        PumpMessages(nullptr);
      }
    }
    {
      // Hosts may call Render from a thread other than Init's; it must draw there as well.
      LogScope scope("Render on another thread");
      CHECK_EQ_INT(RenderCountOnOtherThread(module, 50), 0);
      PumpMessages(nullptr);
      signed char block[2][576];
      MakeWaveBlock(99, block);
      CHECK_EQ_INT(RenderBlock(module, block), 0);
    }
    {
      LogScope scope("after Quit");
      module->Quit(module);
      PumpFor(20);
      CHECK_EQ_INT(module->Render(module), 1);
      CHECK_EQ_INT(RenderCountOnOtherThread(module, 3), 3);
      module->Quit(module);  // twice: harmless
      CHECK_EQ_INT(module->Render(module), 1);
    }
    {
      LogScope scope("restart");
      CHECK_EQ_INT(module->Init(module), 0);
      PumpMessages(nullptr);
      signed char block[2][576];
      MakeWaveBlock(7, block);
      CHECK_EQ_INT(RenderBlock(module, block), 0);
      module->Quit(module);
      PumpFor(20);
      CHECK_TRUE(FindDisplayWindow() == nullptr);
    }
    CHECK_EQ_INT(TakeMessageBoxes().size(), 0);
    StopCatchingMessageBoxes();
  }
  UnloadPlugin(&plugin);
  DestroyHostWindow(&host);
}
