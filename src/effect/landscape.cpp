// Landscape (placeholder).
#include "effect/landscape.h"

int RenderLandscape(std::uint32_t) { return 0; }
