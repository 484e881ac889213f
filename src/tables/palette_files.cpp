// Palette files (placeholder).
#include "tables/palette_files.h"

std::int32_t FileSize(const char*) { return 0; }
std::int32_t ReadWholeFile(const char*, void*, std::int32_t) { return 0; }
std::int32_t WriteWholeFile(const char*, const void*, std::int32_t) { return 0; }
int LoadPaletteSet() { return 1; }
int LoadReferencePalette(PALETTEENTRY*) { return 2; }
