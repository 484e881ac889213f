// The host side of the module record over the headless platform.
#include "plugin_host.h"

#include <cstring>
#include <filesystem>

#include "plugin/display.h"
#include "frame_image.h"
#include "plugin/effect_state.h"
#include "plugin/plugin_folder.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {
// The longest name the plug-in writes after its folder ("TavelDat\refrence.pal"), plus the terminating NUL.
constexpr std::size_t kLongestDataName = sizeof("TavelDat\\refrence.pal");
constexpr const char kLibraryFileName[] = "vis_tavelmir.dll";
}  // namespace

bool PluginModuleFileName(const std::string& pluginDir, std::string& moduleFileName, std::string& error) {
  std::error_code ec;
  if (!fs::is_directory(pluginDir, ec)) {
    error = "plug-in folder '" + pluginDir + "' does not exist";
    return false;
  }
  std::string folder = fs::absolute(pluginDir, ec).lexically_normal().string();
  if (ec) {
    error = "plug-in folder '" + pluginDir + "': " + ec.message();
    return false;
  }
  if (folder.find('\\') != std::string::npos) {
    error = "plug-in folder '" + folder + "' contains a backslash, which the plug-in reads as a separator";
    return false;
  }
  if (folder.empty() || folder.back() != '/') folder += '/';
  if (folder.size() + std::max(kLongestDataName, sizeof(kLibraryFileName)) > sizeof(g_state.PluginPath)) {
    error = "plug-in folder '" + folder + "' is too long: the plug-in's paths hold " +
            std::to_string(sizeof(g_state.PluginPath) - kLongestDataName) + " characters for the folder";
    return false;
  }
  for (char& c : folder)
    if (c == '/') c = '\\';
  moduleFileName = folder + kLibraryFileName;
  return true;
}

VisModule* PreparePluginModule(const std::string& moduleFileName) {
  ResetEffectState();
  HeadlessSetModuleFileName(moduleFileName);
  HeadlessClearMessageBoxes();
  VisModule* module = winampVisGetHeader()->getModule(0);
  module->parent = HeadlessHostWindow();
  module->instance = GetModuleHandleA(nullptr);
  LocatePluginFolder(module);
  return module;
}

VisModule* OpenPluginFolder(const std::string& pluginDir, std::string& error) {
  std::string moduleFileName;
  if (!PluginModuleFileName(pluginDir, moduleFileName, error)) return nullptr;
  return PreparePluginModule(moduleFileName);
}

std::string RecordedMessageBoxLines() {
  std::string lines;
  for (const RecordedMessageBox& box : HeadlessMessageBoxes()) {
    if (!lines.empty()) lines += '\n';
    lines += box.caption + ": " + box.text;
  }
  return lines;
}

bool StartPlugin(const std::string& pluginDir, PluginSession& session, std::string& error,
                 const EffectSettings* settings) {
  session = {};
  std::string moduleFileName;
  if (!PluginModuleFileName(pluginDir, moduleFileName, error)) return false;
  HeadlessResetWindows();
  HeadlessResetDirectDraw();
  VisModule* module = PreparePluginModule(moduleFileName);
  if (settings) g_state.Settings = *settings;
  std::memset(module->waveformData, 0, sizeof(module->waveformData));
  if (module->Init(module) != 0) {
    error = RecordedMessageBoxLines();
    if (error.empty()) error = "the plug-in's Init failed without a message";
    return false;
  }
  // The system activates a freshly shown top-most window; Render draws nothing while it is inactive.
  if (!g_state.Screen.WindowActive) HeadlessDeliver(g_state.Screen.Window, WM_ACTIVATEAPP, TRUE, 0);
  session.module = module;
  session.running = true;
  return true;
}

namespace {

void CopyDisplayPalette(std::uint8_t* palette) {
  for (int i = 0; i < 256; ++i) {
    palette[3 * i] = g_state.Screen.DisplayPalette[i].peRed;
    palette[3 * i + 1] = g_state.Screen.DisplayPalette[i].peGreen;
    palette[3 * i + 2] = g_state.Screen.DisplayPalette[i].peBlue;
  }
}

}  // namespace

bool RenderPluginFrame(PluginSession& session, const unsigned char* block, std::uint8_t* indices, std::uint8_t* palette,
                       std::string& error) {
  VisModule* module = session.module;
  std::memcpy(module->waveformData, block, sizeof(module->waveformData));
  if (module->Render(module) != 0) {
    error = "the plug-in's Render asked to stop";
    const std::string boxes = RecordedMessageBoxLines();
    if (!boxes.empty()) error += ": " + boxes;
    return false;
  }
  // The picture Render drew, straight from the off-screen surface's memory (unlocked again by now); a window
  // ("DisplayMode=2", or a desktop that keeps its mode) draws into a frame of its own instead.
  if (g_state.Screen.DisplayKind == kDisplayBorderless || g_state.Screen.DisplayKind == kDisplayWindowed) {
    std::memcpy(indices, g_state.Screen.WindowFrame, sizeof g_state.Screen.WindowFrame);
    HeadlessClearEvents();
    CopyDisplayPalette(palette);
    return true;
  }
  const HeadlessSurfaceView view = HeadlessOffscreen();
  if (!view.pixels || view.width != kScreenWidth || view.height != kScreenHeight || view.pitch < kScreenWidth) {
    error = "the plug-in has no 320 x 200 off-screen surface";
    return false;
  }
  for (int y = 0; y < kScreenHeight; ++y)
    std::memcpy(indices + y * kScreenWidth, view.pixels + static_cast<std::ptrdiff_t>(y) * view.pitch, kScreenWidth);
  // The substitute logs every platform call; a long render must not grow that log frame by frame.
  HeadlessClearEvents();
  CopyDisplayPalette(palette);
  return true;
}

void StopPlugin(PluginSession& session) {
  if (session.running) session.module->Quit(session.module);
  session.running = false;
}
