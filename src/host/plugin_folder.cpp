// The plug-in's folder in PluginPath, through which every file of the plug-in is named.
#include "host/plugin_folder.h"

#include <cstring>

#include "host/effect_state.h"

void LocatePluginFolder(VisModule* module) {
  char* path = g_state.PluginPath;
  DWORD length = GetModuleFileNameA(module->instance, path, sizeof g_state.PluginPath);
  // A name cut to the buffer may come back without its NUL on older systems; keep it inside the buffer.
  if (length >= sizeof g_state.PluginPath) length = sizeof g_state.PluginPath - 1;
  path[length] = '\0';
  int i = static_cast<int>(length) - 1;
  while (i >= 0 && path[i] != '\\') --i;
  g_state.PluginPathTail = path + (i + 1);
  *g_state.PluginPathTail = '\0';
}

bool PlacePluginFileName(const char* relativeName) {
  char* tail = g_state.PluginPathTail;
  std::size_t room = sizeof g_state.PluginPath - static_cast<std::size_t>(tail - g_state.PluginPath);
  std::size_t length = std::strlen(relativeName);
  if (length >= room) {
    *tail = '\0';
    return false;
  }
  std::memcpy(tail, relativeName, length + 1);
  return true;
}
