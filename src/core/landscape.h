// The voxel landscape: draws the height map, textured and shaded, into the LandscapeImage.
#pragma once
#include <cstdint>

#include "tables/table_set.h"

// textureOffset: TextureScroll, 0..65535. Always returns 0: the table bases live in locals, so there is no
// failure path.
int RenderLandscape(const TableSet& tables, std::uint32_t textureOffset);
