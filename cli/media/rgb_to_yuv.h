// A picture already at the output's size turned into what the video encoders take.
#pragma once
#include <cstdint>

// width x height RGB (3 bytes a pixel, rows packed) to planar Y, then Cb, then Cr at half width and height (even
// sizes only): BT.709, limited range, each chroma sample from the four pixels it covers, as the enlarged frames.
void RgbToYuv420(const std::uint8_t* rgb, int width, int height, std::uint8_t* yuv);
// The same from 4 bytes a pixel (red, green, blue, unused), about twice as fast.
void RgbxToYuv420(const std::uint8_t* rgbx, int width, int height, std::uint8_t* yuv);
