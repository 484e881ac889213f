// Loads the installed vis_tavelmir.dll from the player's Plugins folder and runs it: version resource, header,
// Init (which must find TavelDat through the DLL's own file name), a few frames, Quit.
// Usage: installed_plugin_probe.exe <Windows path of the installed DLL> <log file>
#include <windows.h>

#include <cmath>
#include <string>

#include "../host/host_log.h"
#include "../host/host_window.h"
#include "../host/message_box_hook.h"
#include "../host/plugin_api.h"

namespace {

std::string VersionString(const std::vector<char>& info, const char* name) {
  std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
  char* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || value == nullptr) {
    return "<none>";
  }
  return std::string(value);
}

void CheckVersionResource(const std::string& dllPath) {
  LogScope scope("version resource");
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(dllPath.c_str(), &ignored);
  if (size == 0) return Fail("GetFileVersionInfoSize failed: %lu", GetLastError());
  std::vector<char> info(size, '\xCC');
  if (!GetFileVersionInfoA(dllPath.c_str(), 0, size, info.data())) return Fail("GetFileVersionInfo failed");
  CHECK_EQ_STR(VersionString(info, "FileDescription"), "Ombrelo Tunnel");
  CHECK_EQ_STR(VersionString(info, "ProductName"), "Tavelmir Visualization Library");
  CHECK_EQ_STR(VersionString(info, "OriginalFilename"), "vis_tavelmir.dll");
  CHECK_EQ_STR(VersionString(info, "FileVersion"), TAVELMIR_VERSION);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr) {
    return Fail("no fixed file info");
  }
  CHECK_EQ_INT(fixed->dwFileVersionMS, (TAVELMIR_VERSION_MAJOR << 16) | TAVELMIR_VERSION_MINOR);
  CHECK_EQ_INT(fixed->dwFileVersionLS, TAVELMIR_VERSION_PATCH << 16);
}

void RunInstalledPlugin(const std::string& dllPath) {
  std::string folder = dllPath.substr(0, dllPath.find_last_of('\\'));
  HostWindow host;
  if (!StartHostWindowThread(&host)) return Fail("no host window");
  LoadedPlugin plugin;
  if (!LoadPlugin(folder, host.window, &plugin)) return DestroyHostWindow(&host);

  {
    LogScope scope("header");
    CHECK_EQ_INT(plugin.header->version, 0x101);
    CHECK_EQ_STR(plugin.header->description, "Tavelmir Visualization Library V1.01");
    CHECK_EQ_STR(plugin.module->description, "Ombrelo Tunnel");
    CHECK_TRUE(plugin.header->getModule(1) == nullptr);
  }

  // A wrong folder lookup would now look in C:\, where there is no TavelDat.
  CHECK_TRUE(SetCurrentDirectoryA("C:\\"));
  CHECK_TRUE(StartCatchingMessageBoxes());
  {
    LogScope scope("Init");
    int result = plugin.module->Init(plugin.module);
    CHECK_EQ_INT(result, 0);
    for (const CaughtMessageBox& box : TakeMessageBoxes()) {
      Fail("message box \"%s\" / \"%s\"", box.text.c_str(), box.caption.c_str());
    }
    if (result == 0) {
      LogScope frames("Render");
      for (int frame = 0; frame < 50; ++frame) {
        for (int i = 0; i < 576; ++i) {
          const double wave = std::sin((i + frame * 7) * 0.05);
          plugin.module->waveformData[0][i] = static_cast<signed char>(100 * wave);
          plugin.module->waveformData[1][i] = static_cast<signed char>(-80 * wave);
        }
        int status = plugin.module->Render(plugin.module);
        if (status != 0) {
          Fail("frame %d: Render returned %d", frame, status);
          break;
        }
        PumpMessages(nullptr);
        Sleep(20);
      }
      plugin.module->Quit(plugin.module);
      for (const CaughtMessageBox& box : TakeMessageBoxes()) {
        Fail("message box \"%s\" / \"%s\"", box.text.c_str(), box.caption.c_str());
      }
    }
  }
  StopCatchingMessageBoxes();
  UnloadPlugin(&plugin);
  DestroyHostWindow(&host);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  if (!OpenHostLog(ToWindowsPath(argv[2]))) return 3;
  LogLine("installed plug-in: %s", argv[1]);
  CheckVersionResource(argv[1]);
  RunInstalledPlugin(argv[1]);
  CloseHostLog();
  return FailureCount() == 0 ? 0 : 1;
}
