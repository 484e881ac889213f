// A throw-away plug-in folder on disk for tests that read and write the plug-in's files.
#include "support/plugin_folder_fixture.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "device/memory_display.h"
#include "plugin/plugin_folder.h"

namespace fs = std::filesystem;

namespace {
fs::path FreshRoot() {
  static std::atomic<int> counter{0};
  fs::path root =
      fs::temp_directory_path() / ("tavelmir-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(root);
  fs::create_directories(root);
  return root;
}

PluginFolder LocateIn(const fs::path& root, bool withDataFolder) {
  auto plugin = std::make_unique<Plugin>();
  MemoryReset(plugin.get());
  if (withDataFolder) fs::create_directories(root / "TavelDat");
  std::string windowsName = root.string() + "/vis_tavelmir.dll";
  for (char& c : windowsName)
    if (c == '/') c = '\\';
  MemorySetModuleFileName(windowsName);
  VisModule* module = winampVisGetHeader()->getModule(0);
  module->parent = nullptr;
  module->instance = nullptr;
  LocatePluginFolder(*plugin, module);
  return {root, module, {}, std::move(plugin)};
}
}  // namespace

PluginFolder MakePluginFolder(bool withDataFolder) { return LocateIn(FreshRoot(), withDataFolder); }

PluginFolder MakeLongPluginFolder(std::size_t folderLength, bool withDataFolder) {
  fs::path outer = FreshRoot();
  fs::path folder = outer;
  // Each nested component adds its name and one separator; the Windows folder ends in one more backslash.
  std::size_t length = folder.string().size() + 1;
  std::size_t remaining = folderLength > length ? folderLength - length : 0;
  char fill = 'a';
  while (remaining > 250) {
    folder /= std::string(100, fill++);
    remaining -= 101;
  }
  if (remaining >= 2) folder /= std::string(remaining - 1, fill);
  fs::create_directories(folder);
  PluginFolder result = LocateIn(folder, withDataFolder);
  result.removeRoot = outer;
  return result;
}

void RemovePluginFolder(const PluginFolder& folder) {
  std::error_code ignored;
  fs::remove_all(folder.removeRoot.empty() ? folder.root : folder.removeRoot, ignored);
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

void WriteEffectDataFiles(const std::filesystem::path& root, int paletteCount) {
  for (int p = 0; p < paletteCount; ++p) {
    std::vector<unsigned char> palette(768);
    for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<unsigned char>((i * 7 + p * 13) % 64);
    WriteFileBytes(root / "TavelDat" / ("pal" + std::to_string(p) + ".pal"), palette);
  }
  std::vector<unsigned char> fade(65536);
  for (std::size_t i = 0; i < fade.size(); ++i) fade[i] = static_cast<unsigned char>((i >> 8) * (i & 255) / 255);
  WriteFileBytes(root / "TavelDat" / "fade.dat", fade);
}
