// The palettes as `tavelmir palettes` lists them.
#include "palette_catalog.h"

#include <algorithm>
#include <string>

namespace {

// Cells of the colour strip; each shows every eighth index.
constexpr int kStripCells = 32;

// A file's name as the terminal shows it: its control characters written as \xHH rather than obeyed.
std::string Shown(const std::string& name) {
  std::string text;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      const char digits[] = "0123456789abcdef";
      text += std::string("\\x") + digits[byte >> 4] + digits[byte & 15];
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace

void WritePaletteList(std::ostream& out, const std::vector<NamedPalette>& palettes, bool colour) {
  std::size_t nameWidth = 4, fileWidth = 4;
  for (const NamedPalette& p : palettes) {
    nameWidth = std::max(nameWidth, Shown(p.name).size());
    fileWidth = std::max(fileWidth, Shown(p.fileName).size());
  }
  for (std::size_t i = 0; i < palettes.size(); ++i) {
    const NamedPalette& p = palettes[i];
    std::string line = (i + 1 < 10 ? " " : "") + std::to_string(i + 1) + "  " + Shown(p.name);
    line.resize(4 + nameWidth + 2, ' ');
    line += Shown(p.fileName);
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
