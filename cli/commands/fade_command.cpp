// `tavelmir fade`: the settings dialog's "Compute table" without the dialog, written whole or not at all.
#include <algorithm>
#include <filesystem>
#include <vector>

#include "data/plugin_data.h"
#include "progress.h"
#include "settings_commands.h"

namespace fs = std::filesystem;

namespace {

// The bar reaches its end only once the file is in place, not when the last colour is computed.
void ShowFadeProgress(void* context, int done) {
  UpdateProgress(*static_cast<ProgressBar*>(context), std::min(done, 255));
}

}  // namespace

int RunFade(const std::string& pluginDir, CommandStreams& streams) {
  std::error_code ec;
  if (!fs::is_directory(pluginDir, ec)) {
    streams.err << "tavelmir: plug-in folder '" << pluginDir << "' does not exist\n";
    return 1;
  }
  const fs::path folder = fs::absolute(pluginDir);
  EffectSettings settings;
  ReadSettings(SettingsFile(folder), settings);

  const fs::path file = FadeFile(folder);
  std::uint8_t reference[1024];
  if (ReadReferencePalette(ReferencePaletteFile(folder), reference) != 0) {
    // The dialog's own message, and what it needs.
    streams.err << "tavelmir: Fade-Table Error: Error building the fade table\n"
                << "  (it needs " << ReferencePaletteFile(folder).string() << " of 768 to 772 bytes)\n";
    return 1;
  }
  std::vector<std::uint8_t> table(kFadeTableBytes);
  ProgressBar bar = StartProgress(streams.err, streams.terminal, 256, "colours");
  FillFadeTable(reference, DeriveEffectParams(settings), table.data(), {ShowFadeProgress, &bar});
  std::string error;
  if (!WriteFadeTable(file, table.data(), error)) {
    FinishProgress(bar);
    streams.err << "tavelmir: Fade-Table Error: Error building the fade table\n"
                << "  (" << error << "; the previous table is unchanged)\n";
    return 1;
  }
  UpdateProgress(bar, 256);
  FinishProgress(bar);
  streams.out << "wrote " << file.string() << '\n';
  return 0;
}
