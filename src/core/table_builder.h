// The table set of the effect: allocation, the constant tables, texture and fade table.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/table_set.h"

// Where the texture and the fade table come from; both were read from the data set before the build.
struct TableSources {
  bool UseTexture;
  const std::uint8_t* Texture;    // 65536 brightness values; null when the texture could not be read
  const std::uint8_t* FadeTable;  // 65536 bytes; null when "fade.dat" could not be read
};

// Builds `tables` for pictures of width x height. 0 = built; otherwise the failing step's code 1..11 (see
// EngineBuildStatus). Every block comes from `allocate` (a malloc-like function) and goes back through std::free;
// on failure the blocks this call allocated are released again and their pointers cleared.
int BuildTableSet(TableSet& tables, int width, int height, const TableSources& sources, void* (*allocate)(std::size_t));
// Releases every block of the set and clears its pointers; blocks already null are left alone.
void FreeTableSet(TableSet& tables);

// Angle step (high byte) and 255 - distance (low byte) of every pixel around the centre (width / 2, height / 2),
// row-major, width * height entries.
void FillTunnelTable(std::uint16_t* table, int width, int height);
// Stores the four perspective constants in `tables` and fills the 256 (Base, Scale) pairs of `table`.
void FillPerspectiveTable(TableSet& tables, std::uint8_t* table);
// 65536 entries: a * 256 + b holds floor(a * b / 255).
void FillConversionTable(std::uint8_t* table);
