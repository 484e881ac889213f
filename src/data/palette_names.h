// The palettes of a folder in the order the plug-in loads them, with the names people call them by: what the
// command line, the OBS source and any other host show and take as a palette's name.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct NamedPalette {
  std::string name;                     // "ember" for "02-ember.pal"
  std::string fileName;                 // "02-ember.pal"
  std::array<std::uint8_t, 768> rgb{};  // red, green, blue of each index at 8 bits
};

// The name of a palette file: its stem without a leading number and dash ("02-ember.pal" -> "ember").
std::string PaletteNameOf(const std::string& fileName);

// Every *.pal file of exactly 768 bytes in `folder`, in the plug-in's order (file names byte by byte). False,
// with a message naming the folder, when it cannot be read.
bool ListNamedPalettes(const std::string& folder, std::vector<NamedPalette>& palettes, std::string& error);

// Position of the palette called `name` (its name or file name, any case). -1, with a message that lists the
// names there are, when there is none.
int FindPaletteIndex(const std::vector<NamedPalette>& palettes, const std::string& name, const std::string& folder,
                     std::string& error);

// The position of palette `name` among the *.pal files of `folder`, for --palette. False, with a message, when the
// folder cannot be read or holds no such palette.
bool FindNamedPalette(const std::string& folder, const std::string& name, int& index, std::string& error);
