// Palette animation (placeholder).
#include "effect/palette_animation.h"

void AnimatePalette() {}
