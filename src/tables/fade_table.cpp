// Fade table (placeholder).
#include "tables/fade_table.h"

int BuildFadeTable(HWND) { return 1; }
int LoadFadeTable(std::uint8_t*) { return 1; }
