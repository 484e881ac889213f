// The palette animation: blends DisplayPalette from one palette of the set to the next and hands it on.
#pragma once

void AnimatePalette();
