// Loading the plug-in DLL from a test folder, and path conversion for folders named by the Linux side.
#include "plugin_api.h"

#include "host_log.h"

bool LoadPlugin(const std::string& folder, HWND parent, LoadedPlugin* plugin) {
  *plugin = LoadedPlugin{};
  std::string path = folder + "\\vis_tavelmir.dll";
  plugin->library = LoadLibraryA(path.c_str());
  if (plugin->library == nullptr) {
    Fail("LoadLibrary(%s) failed with error %lu", path.c_str(), GetLastError());
    return false;
  }
  auto getHeader = reinterpret_cast<HostHeader* (*)()>(
      reinterpret_cast<void*>(GetProcAddress(plugin->library, "winampVisGetHeader")));
  if (getHeader == nullptr) {
    Fail("the DLL does not export winampVisGetHeader");
    return false;
  }
  plugin->header = getHeader();
  if (plugin->header == nullptr || plugin->header->getModule == nullptr) {
    Fail("winampVisGetHeader gave no header or no getter");
    return false;
  }
  plugin->module = plugin->header->getModule(0);
  if (plugin->module == nullptr) {
    Fail("the getter gave no module 0");
    return false;
  }
  plugin->module->instance = plugin->library;
  plugin->module->parent = parent;
  return true;
}

void UnloadPlugin(LoadedPlugin* plugin) {
  if (plugin->library != nullptr) FreeLibrary(plugin->library);
  *plugin = LoadedPlugin{};
}

std::string ToWindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string result = "Z:";
  for (char c : path) result += c == '/' ? '\\' : c;
  return result;
}
