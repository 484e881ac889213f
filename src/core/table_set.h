// The effect's heap blocks, allocated by BuildTables at Init and freed by FreeTableSet at Quit.
#pragma once
#include <cstdint>

struct TableSet {
  std::uint16_t* WaveBuffer[2];    // 256 x 256 cells each, row-major
  std::uint8_t* HeightMap;         // 65536, index column * 256 + depth
  std::uint8_t* PerspectiveTable;  // 256 pairs (Base, Scale)
  std::uint8_t* ConversionTable;   // 65536, floor(a * b / 255)
  std::uint8_t* TextureMap;        // 131072: the texture twice
  std::uint8_t* FadeTable;         // 65536, index colour * 256 + shade
  std::uint8_t* LandscapeImage;    // 65536, index column * 256 + row
  std::uint16_t* TunnelTable;      // FrameWidth * FrameHeight entries
  std::uint32_t TunnelCentreX, TunnelCentreY;
  float BaseNumerator, BaseOffset, ScaleNumerator, ScaleOffset;
};
