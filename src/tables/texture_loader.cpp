// Texture loader (placeholder).
#include "tables/texture_loader.h"

int LoadTexture(std::uint8_t*) { return 1; }
