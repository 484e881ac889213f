// `tavelmir fade`: the settings dialog's "Compute table" without the dialog.
#include <filesystem>

#include "commands.h"
#include "host/effect_state.h"
#include "plugin_host.h"
#include "progress.h"
#include "settings/settings_store.h"
#include "tables/fade_table.h"

namespace {

// Stands in for the dialog's progress bar; the build only sends it PBM_SETPOS notifications.
HWND const kProgressBar = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(1011));

void ShowFadeProgress(HWND window, UINT message, WPARAM wParam, LPARAM, void* context) {
  if (window != kProgressBar || message != PBM_SETPOS) return;
  auto* bar = static_cast<ProgressBar*>(context);
  // The build reports colour c while working on it and 0 when it is done.
  if (wParam > 0) UpdateProgress(*bar, static_cast<std::int64_t>(wParam) + 1);
}

}  // namespace

int RunFade(const std::string& pluginDir, CommandStreams& streams) {
  std::string error;
  VisModule* module = OpenPluginFolder(pluginDir, error);
  if (module == nullptr) {
    streams.err << "tavelmir: " << error << '\n';
    return 1;
  }
  LoadSettings(module);
  DeriveEffectParams();

  ProgressBar bar = StartProgress(streams.err, streams.terminal, 256, "colours");
  HeadlessSetNotifySink(ShowFadeProgress, &bar);
  const int status = BuildFadeTable(kProgressBar);
  HeadlessSetNotifySink(nullptr, nullptr);
  if (status == 0) UpdateProgress(bar, 256);
  FinishProgress(bar);

  const std::filesystem::path file = std::filesystem::absolute(pluginDir) / "TavelDat" / "fade.dat";
  if (status != 0) {
    // The dialog's own message, and what it needs.
    streams.err << "tavelmir: Fade-Table Error: Error building the fade table\n"
                << "  (it needs " << (std::filesystem::absolute(pluginDir) / "TavelDat" / "refrence.pal").string()
                << " of at most 772 bytes, and must be able to write " << file.string() << ")\n";
    return 1;
  }
  streams.out << "wrote " << file.string() << '\n';
  return 0;
}
