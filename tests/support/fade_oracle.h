// The fade table computed the plain way, as a reference for the fast search: 65536 powers and a full scan each.
#pragma once
#include <cstdint>

#include "core/effect_settings.h"

// `reference`: 256 entries of red, green, blue, flags. out[c * 256 + s]: for every colour c and shade step s, the first
// index j whose squared distance to the scaled colour is strictly smaller than every earlier one (starting from 1e20),
// scanning j = 0..255.
void LiteralFadeTable(const std::uint8_t reference[1024], const EffectParams& params, std::uint8_t* out);
