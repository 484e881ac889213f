// Palette files listed, named and found by name.
#include "data/palette_names.h"

#include <filesystem>
#include <fstream>

#include "data/palette_colours.h"
#include "data/plugin_data.h"
#include "data/text_case.h"

namespace fs = std::filesystem;

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
      if (SameNoCase(candidate, name)) return static_cast<int>(i);
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

bool FindNamedPalette(const std::string& folder, const std::string& name, int& index, std::string& error) {
  std::vector<NamedPalette> palettes;
  if (!ListNamedPalettes(folder, palettes, error)) return false;
  index = FindPaletteIndex(palettes, name, folder, error);
  return index >= 0;
}
