// `tavelmir palettes`: the palettes a run would use, by name, with their colours on a terminal that shows them.
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "palettes_command.h"
#include "palette_catalog.h"

namespace {

// Standard output is a terminal that draws colours, and the user has not asked for none.
bool ColourTerminal() {
  const char* term = std::getenv("TERM");
  return ::isatty(STDOUT_FILENO) && std::getenv("NO_COLOR") == nullptr && term && std::strcmp(term, "dumb") != 0;
}

}  // namespace

int RunPalettes(const LookOptions& options, CommandStreams& streams) {
  Look look;
  std::string error;
  std::vector<NamedPalette> palettes;
  if (!ResolveLook(options, look, error) || !ListNamedPalettes(look.palettesDir, palettes, error)) {
    streams.err << "tavelmir: " << error << '\n';
    return 1;
  }
  for (const std::string& w : look.warnings) streams.err << "tavelmir: warning: " << w << '\n';
  if (palettes.empty()) {
    streams.err << "tavelmir: " << look.palettesDir << " holds no palettes (*.pal files of 768 bytes)\n";
    return 1;
  }
  streams.out << "Palettes in " << look.palettesDir << " (in the order they show; --palette NAME starts on one):\n";
  WritePaletteList(streams.out, palettes, ColourTerminal());
  return 0;
}
