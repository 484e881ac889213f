// A throw-away plug-in folder on disk for tests that read and write the plug-in's files.
#include "support/plugin_folder_fixture.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "host/effect_state.h"
#include "host/plugin_folder.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

PluginFolder MakePluginFolder(bool withDataFolder) {
  static std::atomic<int> counter{0};
  ResetEffectState();
  fs::path root = fs::temp_directory_path() /
                  ("tavelmir-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(root);
  fs::create_directories(root);
  if (withDataFolder) fs::create_directories(root / "TavelDat");
  std::string windowsName = root.string() + "/vis_tavelmir.dll";
  for (char& c : windowsName)
    if (c == '/') c = '\\';
  HeadlessSetModuleFileName(windowsName);
  VisModule* module = winampVisGetHeader()->getModule(0);
  module->parent = nullptr;
  module->instance = nullptr;
  LocatePluginFolder(module);
  return {root, module};
}

void RemovePluginFolder(const PluginFolder& folder) {
  std::error_code ignored;
  fs::remove_all(folder.root, ignored);
}

void WriteFileBytes(const fs::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<unsigned char> ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ReadFileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
