// `tavelmir fade`: the settings dialog's "Compute table" without the dialog.
#include <filesystem>

#include "commands.h"
#include "host/effect_state.h"
#include "plugin_host.h"
#include "progress.h"
#include "settings/settings_store.h"
#include "tables/fade_table.h"

namespace {

void ShowFadeProgress(void* context, int done) { UpdateProgress(*static_cast<ProgressBar*>(context), done); }

}  // namespace

int RunFade(const std::string& pluginDir, CommandStreams& streams) {
  std::string error;
  VisModule* module = OpenPluginFolder(pluginDir, error);
  if (module == nullptr) {
    streams.err << "tavelmir: " << error << '\n';
    return 1;
  }
  LoadSettingsAndParams(module);

  ProgressBar bar = StartProgress(streams.err, streams.terminal, 256, "colours");
  const FadeBuildStatus status = BuildFadeTable(g_state.Params, {ShowFadeProgress, &bar});
  FinishProgress(bar);

  const std::filesystem::path file = std::filesystem::absolute(pluginDir) / "TavelDat" / "fade.dat";
  if (status != kFadeBuilt) {
    // The dialog's own message, then the reason.
    streams.err << "tavelmir: Fade-Table Error: Error building the fade table\n";
    if (status == kFadeNoReference)
      streams.err << "  (it needs " << (std::filesystem::absolute(pluginDir) / "TavelDat" / "refrence.pal").string()
                  << " of 768 to 772 bytes)\n";
    else if (status == kFadeNoMemory)
      streams.err << "  (out of memory)\n";
    else
      streams.err << "  (cannot write " << file.string() << ")\n";
    return 1;
  }
  streams.out << "wrote " << file.string() << '\n';
  return 0;
}
