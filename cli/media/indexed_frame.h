// A frame kept as palette indices for formats of 256 colours (GIF): enlarged by nearest neighbours, so no colour
// is made that the frame's own palette does not hold.
#pragma once
#include <cstdint>

#include "frame_image.h"

// Bytes of one frame: width x height indices, then 256 palette entries of 4 bytes (blue, green, red, opaque), as
// FFmpeg's pal8 raw video carries them.
constexpr int kIndexedPaletteBytes = 1024;
std::size_t IndexedFrameBytes(const OutputGeometry& geometry);

// Index 0 (black) fills the frame around the picture; entries 0 and 255 show black and white, as on the screen.
void ScaleFrameToIndexed(const FrameScaler& scaler, const std::uint8_t* indices, const std::uint8_t* palette,
                         std::uint8_t* frame);
