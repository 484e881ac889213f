// The table set of the effect: allocation, the constant tables, texture and fade table.
#pragma once
#include <cstddef>
#include <cstdint>

#include "tables/table_set.h"

// Every block of the table set comes from this allocator and goes back through std::free (FreeTableSet), so a
// replacement must hand out std::malloc blocks. Tests swap it to fail one chosen allocation.
using TableAllocatorFunction = void* (*)(std::size_t bytes);
extern TableAllocatorFunction TableAllocator;  // std::malloc unless replaced
void* DefaultTableAllocator(std::size_t bytes);

// 0 = built (TablesBuilt is 1); otherwise the failing step's code 1..11. On failure the blocks this call
// allocated are released again and their pointers cleared.
int BuildTables();
// The message a failed BuildTables leaves for the user before the host's own (a failed allocation), or null.
const char* TableBuildMessage(int code);
// Releases every block of the set and clears its pointers; blocks already null are left alone.
void FreeTableSet(TableSet& tables);

// Angle step (high byte) and 255 - distance (low byte) of every pixel around the centre (width / 2, height / 2),
// row-major, width * height entries.
void FillTunnelTable(std::uint16_t* table, int width, int height);
// Stores the four perspective constants in g_state.Tables and fills the 256 (Base, Scale) pairs.
void FillPerspectiveTable(std::uint8_t* table);
// 65536 entries: a * 256 + b holds floor(a * b / 255).
void FillConversionTable(std::uint8_t* table);
