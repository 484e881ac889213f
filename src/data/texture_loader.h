// The texture loader: a 256 x 256 8-bit bitmap file turned into brightness values, one column per run.
#pragma once
#include <cstdint>

// 0 = loaded; 1 = the file did not load as a bitmap; 2 = not 256 x 256 at 8 bits; 3 = no drawing context.
// The output is untouched unless the result is 0.
int LoadTexture(std::uint8_t* output);
