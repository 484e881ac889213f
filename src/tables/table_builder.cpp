// Table builder (placeholder).
#include "tables/table_builder.h"

int BuildTables(VisModule*) { return 1; }
void FillTunnelTable(std::uint16_t*, int, int) {}
void FillPerspectiveTable(std::uint8_t*) {}
void FillConversionTable(std::uint8_t*) {}
