// The palettes as `tavelmir palettes` lists them.
#include "palette_catalog.h"

#include <algorithm>
#include <string>

namespace {

// Cells of the colour strip; each shows every eighth index.
constexpr int kStripCells = 32;

}  // namespace

void WritePaletteList(std::ostream& out, const std::vector<NamedPalette>& palettes, bool colour) {
  std::size_t nameWidth = 4, fileWidth = 4;
  for (const NamedPalette& p : palettes) {
    nameWidth = std::max(nameWidth, p.name.size());
    fileWidth = std::max(fileWidth, p.fileName.size());
  }
  for (std::size_t i = 0; i < palettes.size(); ++i) {
    const NamedPalette& p = palettes[i];
    std::string line = (i + 1 < 10 ? " " : "") + std::to_string(i + 1) + "  " + p.name;
    line.resize(4 + nameWidth + 2, ' ');
    line += p.fileName;
    if (colour) {
      line.resize(4 + nameWidth + 2 + fileWidth + 2, ' ');
      for (int cell = 0; cell < kStripCells; ++cell) {
        const int index = cell * 256 / kStripCells + 256 / kStripCells / 2;
        line += "\x1b[48;2;" + std::to_string(p.rgb[3 * index]) + ';' + std::to_string(p.rgb[3 * index + 1]) + ';' +
                std::to_string(p.rgb[3 * index + 2]) + "m ";
      }
      line += "\x1b[0m";
    }
    out << line << '\n';
  }
}
