// `tavelmir fade`: the settings dialog's "Compute table" without the dialog, written whole or not at all.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "commands.h"
#include "plugin/effect_state.h"
#include "plugin_host.h"
#include "progress.h"
#include "settings/settings_store.h"
#include "tables/fade_table.h"
#include "tables/palette_files.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFadeTableBytes = 65536;

// The bar reaches its end only once the file is in place, not when the last colour is computed.
void ShowFadeProgress(void* context, int done) {
  UpdateProgress(*static_cast<ProgressBar*>(context), std::min(done, 255));
}

// The table goes to a temporary file beside fade.dat, renamed over it once written and flushed: a full disk or
// an interruption leaves the previous table whole instead of a cut-off one.
bool WriteTableFile(const fs::path& file, const std::vector<std::uint8_t>& table, std::string& error) {
  std::string temporary = (file.parent_path() / ".fade.dat.XXXXXX").string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  ::fchmod(fd, 0644);
  std::size_t done = 0;
  while (done < table.size()) {
    const ssize_t n = ::write(fd, table.data() + done, table.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool written = done == table.size() && ::fsync(fd) == 0;
  const int savedErrno = errno;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temporary.c_str(), file.c_str()) != 0) {
    error = std::strerror(written && closed ? errno : savedErrno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

int RunFade(const std::string& pluginDir, CommandStreams& streams) {
  std::string error;
  VisModule* module = OpenPluginFolder(pluginDir, error);
  if (module == nullptr) {
    streams.err << "tavelmir: " << error << '\n';
    return 1;
  }
  LoadSettingsAndParams(module);

  const fs::path folder = fs::absolute(pluginDir) / "TavelDat";
  const fs::path file = folder / "fade.dat";
  PALETTEENTRY reference[256];
  std::vector<std::uint8_t> table(kFadeTableBytes);
  if (LoadReferencePalette(reference) != 0) {
    // The dialog's own message, and what it needs.
    streams.err << "tavelmir: Fade-Table Error: Error building the fade table\n"
                << "  (it needs " << (folder / "refrence.pal").string() << " of 768 to 772 bytes)\n";
    return 1;
  }
  ProgressBar bar = StartProgress(streams.err, streams.terminal, 256, "colours");
  FillFadeTable(reference, g_state.Params, table.data(), {ShowFadeProgress, &bar});
  if (!WriteTableFile(file, table, error)) {
    FinishProgress(bar);
    streams.err << "tavelmir: Fade-Table Error: Error building the fade table\n"
                << "  (cannot write " << file.string() << ": " << error << "; the previous table is unchanged)\n";
    return 1;
  }
  UpdateProgress(bar, 256);
  FinishProgress(bar);
  streams.out << "wrote " << file.string() << '\n';
  return 0;
}
