// What the window ways share on every system: the normal window's place in plugin.ini, and the player's palette
// commands handed from the window's thread to Render.
#include "plugin/window_home.h"

#include <atomic>
#include <climits>

#include "plugin/effect_state.h"
#include "plugin/plugin_folder.h"

namespace {

constexpr char kSettingsFile[] = "plugin.ini";
constexpr char kLeftKey[] = "WindowLeft";
constexpr char kTopKey[] = "WindowTop";
constexpr char kWidthKey[] = "WindowWidth";
constexpr char kHeightKey[] = "WindowHeight";
// A key the file does not hold reads as this.
constexpr int kMissing = INT_MIN;
// Sizes beyond this are not a window a user made.
constexpr int kLargestClient = 16384;

WindowHome& Home() { return g_state.Screen.Home; }

void WriteNumber(const char* section, const char* key, std::int32_t value, const char* path) {
  char text[16];  // "%d" of a 32-bit value needs at most 12 bytes
  wsprintfA(text, "%d", value);
  WritePrivateProfileStringA(section, key, text, path);
}

}  // namespace

void LoadWindowGeometry(VisModule* module) {
  WindowHome& home = Home();
  home.Stored = WindowGeometry{};
  home.Current = WindowGeometry{};
  char path[kPluginPathBytes];
  if (!PluginFilePath(kSettingsFile, path)) return;
  const char* section = module->description;
  const int left = static_cast<int>(GetPrivateProfileIntA(section, kLeftKey, kMissing, path));
  const int top = static_cast<int>(GetPrivateProfileIntA(section, kTopKey, kMissing, path));
  const int width = static_cast<int>(GetPrivateProfileIntA(section, kWidthKey, kMissing, path));
  const int height = static_cast<int>(GetPrivateProfileIntA(section, kHeightKey, kMissing, path));
  // All four or nothing: half a place is no place.
  if (left == kMissing || top == kMissing || width <= 0 || height <= 0 || width > kLargestClient ||
      height > kLargestClient)
    return;
  home.Stored = WindowGeometry{1, left, top, width, height};
}

void SaveWindowGeometryIfChanged(VisModule* module) {
  WindowHome& home = Home();
  if (home.Current.Known == 0 || home.Current == home.Stored) return;
  char path[kPluginPathBytes];
  if (!PluginFilePath(kSettingsFile, path)) return;
  const char* section = module->description;
  WriteNumber(section, kLeftKey, home.Current.Left, path);
  WriteNumber(section, kTopKey, home.Current.Top, path);
  WriteNumber(section, kWidthKey, home.Current.ClientWidth, path);
  WriteNumber(section, kHeightKey, home.Current.ClientHeight, path);
  home.Stored = home.Current;
}

void ApplyPaletteCommands() {
  const std::int32_t palettes = std::atomic_ref<std::int32_t>(Home().PaletteSkip).exchange(0);
  if (palettes == 0 || g_state.PaletteCount < 1) return;
  float& phase = g_state.Counters.PalettePhase;
  phase = static_cast<float>(phase + static_cast<double>(palettes) / g_state.PaletteCount);
}
