// Test host for the plug-in under Wine: runs one named case and writes its log with a PASS/FAIL last line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host_cases.h"
#include "host_log.h"

namespace {

struct CaseEntry {
  const char* name;
  void (*run)(const HostOptions&);
};

constexpr CaseEntry kCases[] = {
    {"harness", RunHarnessCase},
    {"header", RunHeaderCase},
    {"frames", RunFramesCase},
    {"keys", RunKeysCase},
    {"same-thread", RunSameThreadCase},
    {"init-failures", RunInitFailureCase},
    {"cycles", RunCycleCase},
    {"lifecycle", RunLifecycleCase},
    {"layouts", RunLayoutsCase},
    {"alt-tab", RunAltTabCase},
    {"take-focus", RunTakeFocusCase},
    {"bring-back", RunBringBackCase},
    {"scaled", RunScaledCase},
    {"borderless", RunBorderlessCase},
    {"window", RunWindowCase},
    {"dock", RunDockCase},
    {"dock-decoder", RunDockDecoderCase},
    {"window-home", RunWindowHomeCase},
    {"full-screen-quit", RunFullScreenQuitCase},
    {"smooth-picture", RunSmoothPictureCase},
    {"hd-resize-timing", RunHdResizeTimingCase},
};

// A crash inside the plug-in must end in a verdict, not in a silent run without one.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
  Fail("unhandled exception 0x%08lx at %p", exception->ExceptionRecord->ExceptionCode,
       exception->ExceptionRecord->ExceptionAddress);
  CloseHostLog();
  ExitProcess(3);
}

int Usage() {
  std::fprintf(
      stderr,
      "usage: tavelmir_wine_host CASE --log FILE [--plugin-dir DIR] [--layout-root DIR] [--waveform FILE]\n"
      "       [--dump FILE] [--hd-window FILE] [--hd-dock FILE] [--frames N] [--cycles N] [--artifact FILE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string caseName = argv[1];
  std::string log;
  HostOptions options;
  for (int i = 2; i + 1 < argc; i += 2) {
    std::string key = argv[i];
    std::string value = argv[i + 1];
    if (key == "--log")
      log = ToWindowsPath(value);
    else if (key == "--plugin-dir")
      options.pluginDir = ToWindowsPath(value);
    else if (key == "--layout-root")
      options.layoutRoot = ToWindowsPath(value);
    else if (key == "--waveform")
      options.waveform = ToWindowsPath(value);
    else if (key == "--dump")
      options.dump = ToWindowsPath(value);
    else if (key == "--hd-window")
      options.hdWindow = ToWindowsPath(value);
    else if (key == "--hd-dock")
      options.hdDock = ToWindowsPath(value);
    else if (key == "--artifact")
      options.artifact = ToWindowsPath(value);
    else if (key == "--frames")
      options.frames = std::atoi(value.c_str());
    else if (key == "--cycles")
      options.cycles = std::atoi(value.c_str());
    else
      return Usage();
  }
  if (log.empty() || !OpenHostLog(log)) return Usage();
  options.log = log;
  SetUnhandledExceptionFilter(ReportCrash);
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

  const CaseEntry* entry = nullptr;
  for (const CaseEntry& candidate : kCases) {
    if (caseName == candidate.name) entry = &candidate;
  }
  if (entry == nullptr) {
    Fail("unknown case '%s'", caseName.c_str());
  } else {
    LogLine("case %s", entry->name);
    DWORD start = GetTickCount();
    entry->run(options);
    LogLine("case %s took %lu ms", entry->name, GetTickCount() - start);
  }
  CloseHostLog();
  return FailureCount() == 0 ? 0 : 1;
}
