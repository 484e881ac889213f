// Palette files listed, named and found by name, for `tavelmir palettes` and --palette.
#include "palette_catalog.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <strings.h>

#include "data/palette_colours.h"
#include "data/plugin_data.h"

namespace fs = std::filesystem;

namespace {

// Cells of the colour strip; each shows every eighth index.
constexpr int kStripCells = 32;

}  // namespace

std::string PaletteNameOf(const std::string& fileName) {
  std::string stem = fileName;
  if (IsPaletteFileName(stem) && stem.size() > 4) stem.resize(stem.size() - 4);
  std::size_t digits = 0;
  while (digits < stem.size() && stem[digits] >= '0' && stem[digits] <= '9') ++digits;
  if (digits > 0 && digits + 1 < stem.size() && (stem[digits] == '-' || stem[digits] == '_'))
    return stem.substr(digits + 1);
  return stem;
}

bool ListNamedPalettes(const std::string& folder, std::vector<NamedPalette>& palettes, std::string& error) {
  palettes.clear();
  std::error_code ec;
  std::vector<std::string> names;
  if (!ListPaletteFiles(folder, names, ec)) {
    error = "cannot read the palette folder '" + folder + "': " + ec.message();
    return false;
  }
  for (const std::string& name : names) {
    NamedPalette p;
    p.name = PaletteNameOf(name);
    p.fileName = name;
    std::ifstream in(fs::path(folder) / name, std::ios::binary);
    char bytes[kPaletteFileBytes] = {};
    if (!in.read(bytes, sizeof bytes)) {
      error = "cannot read palette '" + (fs::path(folder) / name).string() + "'";
      return false;
    }
    for (std::size_t i = 0; i < kPaletteFileBytes; ++i)
      p.rgb[i] = PaletteIntensity(static_cast<std::uint8_t>(bytes[i]));
    palettes.push_back(p);
  }
  return true;
}

int FindPaletteIndex(const std::vector<NamedPalette>& palettes, const std::string& name, const std::string& folder,
                     std::string& error) {
  // The name, the file name, or the file name without its extension ("02-ember").
  for (std::size_t i = 0; i < palettes.size(); ++i) {
    const std::string& file = palettes[i].fileName;
    for (const std::string& candidate : {palettes[i].name, file, file.substr(0, file.size() - 4)})
      if (strcasecmp(candidate.c_str(), name.c_str()) == 0) return static_cast<int>(i);
  }
  error = "no palette named '" + name + "' in " + folder + "; ";
  if (palettes.empty()) {
    error += "it holds none";
  } else {
    error += "there are";
    for (const NamedPalette& p : palettes) error += " " + p.name;
  }
  return -1;
}

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

bool FindNamedPalette(const std::string& folder, const std::string& name, int& index, std::string& error) {
  std::vector<NamedPalette> palettes;
  if (!ListNamedPalettes(folder, palettes, error)) return false;
  index = FindPaletteIndex(palettes, name, folder, error);
  return index >= 0;
}
