// The voxel landscape: draws the height map, textured and shaded, into the LandscapeImage.
#pragma once
#include <cstdint>

#include "core/table_set.h"

// textureOffset: TextureScroll, 0..65535.
void RenderLandscape(const TableSet& tables, std::uint32_t textureOffset);
