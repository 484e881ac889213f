// Test host for the settings dialog: loads the plug-in from per-case folders, runs Config and drives the dialogs.
#include <windows.h>

#include <cstring>
#include <string>

#include "../host/host_log.h"
#include "../host/plugin_api.h"
#include "dialog_cases.h"

// Usage: tavelmir_dialog_tests.exe --dll DLL --root DIR --shots DIR --log FILE [--only GROUP]
// Paths may be Linux paths; they are reached through drive Z:.
int main(int argc, char** argv) {
  CaseContext context;
  std::string log, only;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string value = ToWindowsPath(argv[i + 1]);
    if (std::strcmp(argv[i], "--dll") == 0) context.dll = value;
    if (std::strcmp(argv[i], "--root") == 0) context.root = value;
    if (std::strcmp(argv[i], "--shots") == 0) context.shots = value;
    if (std::strcmp(argv[i], "--log") == 0) log = value;
    if (std::strcmp(argv[i], "--only") == 0) only = argv[i + 1];
  }
  if (context.dll.empty() || context.root.empty() || context.shots.empty() || log.empty()) {
    std::fprintf(stderr, "usage: %s --dll DLL --root DIR --shots DIR --log FILE [--only GROUP]\n", argv[0]);
    return 2;
  }
  OpenHostLog(log);
  CreateDirectoryA(context.root.c_str(), nullptr);
  CreateDirectoryA(context.shots.c_str(), nullptr);
  const struct {
    const char* name;
    void (*run)(const CaseContext&);
  } groups[] = {{"settings", RunSettingsCases}, {"placement", RunPlacementCases}, {"compute", RunComputeCases},
                {"texture", RunTextureCases},   {"about", RunAboutCases},         {"display", RunDisplayCases}};
  for (const auto& group : groups) {
    if (!only.empty() && only != group.name) continue;
    LogLine("group %s", group.name);
    LogScope scope(group.name);
    group.run(context);
  }
  CloseHostLog();
  return FailureCount() == 0 ? 0 : 1;
}
