// A picture already at the output's size turned into what the video encoders take.
#pragma once
#include <cstdint>

// How a picture drawn at the output's size lies in memory: red, green, blue (PNGs, --dump); the same with a fourth,
// unused byte, for the exact conversion (--crf 0 stays what it always was); or Y, Cb, Cr and an unused byte, drawn
// through YuvColourWords (the other videos).
enum class PicturePixels { Rgb, Rgbx, Yuvx };
constexpr int BytesPerPixel(PicturePixels pixels) { return pixels == PicturePixels::Rgb ? 3 : 4; }

// width x height RGB (3 bytes a pixel, rows packed) to planar Y, then Cb, then Cr at half width and height (even
// sizes only): BT.709, limited range, each chroma sample from the four pixels it covers, as the enlarged frames.
void RgbToYuv420(const std::uint8_t* rgb, int width, int height, std::uint8_t* yuv);
// The same from 4 bytes a pixel (red, green, blue, unused), about twice as fast.
void RgbxToYuv420(const std::uint8_t* rgbx, int width, int height, std::uint8_t* yuv);

// Drawing straight in YUV, which costs a fraction of converting the drawn RGB: the display palette (768 bytes of
// red, green, blue; entry 0 black and 255 white, as ScreenColourWords) as words whose bytes, lowest first, are Y, Cb
// and Cr, with the arithmetic above. A palette colour comes out as RgbToYuv420 makes it (its chroma where four pixels
// share it); a blend within a step, as the blend rounds after the conversion rather than before it, and each
// pixel's chroma before the average of four (two steps at the very worst).
void YuvColourWords(const std::uint8_t* palette, std::uint32_t colours[256]);
// A picture drawn with those words (Y, Cb, Cr, unused) to planar 4:2:0: each chroma sample the rounded mean of the
// four pixels it covers.
void YuvxToYuv420(const std::uint8_t* yuvx, int width, int height, std::uint8_t* yuv);
