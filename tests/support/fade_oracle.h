// The fade table computed the plain way, as a reference for the fast search: 65536 powers and a full scan each.
#pragma once
#include <cstdint>

#include "platform/platform.h"
#include "settings/settings_types.h"

// out[c * 256 + s]: for every colour c and shade step s, the first index j whose squared distance to the scaled
// colour is strictly smaller than every earlier one (starting from 1e20), scanning j = 0..255.
void LiteralFadeTable(const PALETTEENTRY reference[256], const EffectParams& params, std::uint8_t* out);
