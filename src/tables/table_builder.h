// The table set of the effect: allocation, the constant tables, texture and fade table.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/vis_records.h"

// 0 = built (TablesBuilt is 1); otherwise the failing step's code 1..11.
int BuildTables(VisModule* module);

void FillTunnelTable(std::uint16_t* table, int width, int height);
void FillPerspectiveTable(std::uint8_t* table);
void FillConversionTable(std::uint8_t* table);
