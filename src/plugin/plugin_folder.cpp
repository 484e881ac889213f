// The plug-in's folder in PluginPath, through which every file of the plug-in is named.
#include "plugin/plugin_folder.h"

#include <cstring>

#include "data/plugin_data.h"
#include "plugin/effect_state.h"

static_assert(sizeof g_state.PluginPath == kPluginPathBytes);

void LocatePluginFolder(VisModule* module) {
  char* path = g_state.PluginPath;
  DWORD length = GetModuleFileNameA(module->instance, path, sizeof g_state.PluginPath);
  // A name cut to the buffer may come back without its NUL on older systems; keep it inside the buffer.
  if (length >= sizeof g_state.PluginPath) length = sizeof g_state.PluginPath - 1;
  path[length] = '\0';
  int i = static_cast<int>(length) - 1;
  while (i >= 0 && path[i] != '\\') --i;
  path[i + 1] = '\0';
}

bool PluginFilePath(const char* relativeName, char (&out)[kPluginPathBytes]) {
  const std::size_t folderLength = strnlen(g_state.PluginPath, sizeof g_state.PluginPath - 1);
  const std::size_t nameLength = std::strlen(relativeName);
  if (folderLength + nameLength >= sizeof out) {
    out[0] = '\0';
    return false;
  }
  std::memcpy(out, g_state.PluginPath, folderLength);
  std::memcpy(out + folderLength, relativeName, nameLength + 1);
  return true;
}

std::filesystem::path PluginFolderPath() { return StoredPath(g_state.PluginPath); }
