// Shared by the fuzz targets: a byte reader over the fuzzer's input and one plug-in folder per process.
#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

#include "device/memory_display.h"
#include "plugin/plugin_folder.h"

namespace fs = std::filesystem;

bool FuzzEmpty(const FuzzBytes& in) { return in.at >= in.size; }

std::uint8_t TakeByte(FuzzBytes& in) { return in.at < in.size ? in.data[in.at++] : 0; }

std::uint16_t TakeU16(FuzzBytes& in) {
  std::uint16_t low = TakeByte(in);
  return static_cast<std::uint16_t>(low | TakeByte(in) << 8);
}

std::uint32_t TakeU32(FuzzBytes& in) {
  std::uint32_t low = TakeU16(in);
  return low | static_cast<std::uint32_t>(TakeU16(in)) << 16;
}

std::vector<std::uint8_t> TakeBlock(FuzzBytes& in, std::size_t maxBytes) {
  std::size_t want = TakeU16(in) % (maxBytes + 1);
  std::size_t n = std::min(want, in.size - std::min(in.at, in.size));
  std::vector<std::uint8_t> block(in.data + in.at, in.data + in.at + n);
  in.at += n;
  return block;
}

std::vector<std::uint8_t> TakeRest(FuzzBytes& in) {
  std::size_t from = std::min(in.at, in.size);
  in.at = in.size;
  return {in.data + from, in.data + in.size};
}

namespace {
PluginFolder* g_folder = nullptr;

void RemoveFolderAtExit() {
  if (g_folder != nullptr) RemovePluginFolder(*g_folder);
}
}  // namespace

const PluginFolder& FreshFuzzSession() {
  if (g_folder == nullptr) {
    std::error_code ec;
    if (std::getenv("TMPDIR") == nullptr && fs::is_directory("/dev/shm", ec)) setenv("TMPDIR", "/dev/shm", 1);
    g_folder = new PluginFolder(MakePluginFolder());
    std::atexit(RemoveFolderAtExit);
  }
  g_folder->plugin = std::make_unique<Plugin>();
  MemoryReset(g_folder->plugin.get());
  std::string windowsName = g_folder->root.string() + "/vis_tavelmir.dll";
  for (char& c : windowsName)
    if (c == '/') c = '\\';
  MemorySetModuleFileName(windowsName);
  g_folder->module->parent = reinterpret_cast<HWND__*>(static_cast<std::uintptr_t>(0x20000));
  g_folder->module->instance = reinterpret_cast<HINSTANCE__*>(static_cast<std::uintptr_t>(0x10000000));
  LocatePluginFolder(*g_folder->plugin, g_folder->module);
  return *g_folder;
}

void FuzzFail(const char* what) {
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::abort();
}
