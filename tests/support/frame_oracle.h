// Plain, literal transcriptions of the per-frame algorithms, with their own copy of the state, to check the
// fast pipeline against and to time it by.
#pragma once
#include <cstdint>
#include <vector>

#include "support/stage_record.h"

// One block of waveform, as a host hands it to a frame: two channels of 576 signed 8-bit samples.
struct WaveBlock {
  unsigned char waveformData[2][576];
};

// Everything one frame reads and writes, owned by the oracle (allocated once, never per frame).
struct OracleFrame {
  std::vector<std::uint16_t> waveBuffer[2];    // 65536 cells each
  std::vector<std::uint8_t> heightMap;         // 65536
  std::vector<std::uint8_t> perspectiveTable;  // 512
  std::vector<std::uint8_t> conversionTable;   // 65536
  std::vector<std::uint8_t> textureMap;        // 131072
  std::vector<std::uint8_t> fadeTable;         // 65536
  std::vector<std::uint8_t> landscapeImage;    // 65536
  std::vector<std::uint16_t> tunnelTable;      // width * height
  std::vector<std::uint8_t> pixels;            // height * pitch
  int width = 0, height = 0, pitch = 0;
  int waveParity = 0;
  std::uint32_t frameCounter = 0;
  std::uint32_t textureScroll = 0;
  std::uint16_t sampleTrace[258] = {};
  std::uint16_t lineProfile[320] = {};
  float waveGain = 0;
  int waveShift = 0;
  int waveAttenuationRate = 0;
};

// A copy of g_stage's tables, surface (FramePixels, FrameHeight * FramePitch bytes), counters and parameters.
OracleFrame OracleFromState();

// The whole step: injection, borders, ripple, height map, landscape, tunnel, counters. Returns 0.
int OracleStepWaveField(OracleFrame& f, const WaveBlock& module);
// Roles, injection, borders, ripple and height map: the field's part of the step.
void OracleAdvanceWaveField(OracleFrame& f, const WaveBlock& module);
// The steps one by one, for the benchmarks and for tests that look at a single stage.
void OracleBuildProfile(OracleFrame& f, const unsigned char* samples);
void OracleInject(OracleFrame& f, const WaveBlock& module, std::vector<std::uint16_t>& previous);
void OracleRipple(OracleFrame& f, const std::vector<std::uint16_t>& previous, std::vector<std::uint16_t>& current);
void OracleHeightMap(OracleFrame& f, const std::vector<std::uint16_t>& current);
void OracleRenderLandscape(OracleFrame& f, std::uint32_t textureOffset);
void OracleMapTunnel(OracleFrame& f);

// The palette blend, for non-negative phases.
struct OraclePalette {
  std::vector<std::uint8_t> set;  // count * 1024 bytes
  int count = 0;
  float phase = 0;
  float step = 0;
  StageEntry display[256] = {};
};
void OracleAnimatePalette(OraclePalette& p);

// g_stage's table set and a locked-surface stand-in of height * pitch bytes, every block from std::malloc and
// poisoned (0xCD), the wave buffers and the height map placed as BuildTables places them (release those with
// ReleasePlacedBlock); ReleaseFrameTables frees them all and clears the pointers.
void AllocateFrameTables(int width = 320, int height = 200, int pitch = 320);
void ReleaseFrameTables();
// Random contents for every table, both wave buffers, the height map and the image (the texture's two halves
// stay identical); the conversion table alone keeps its products, which the renderer computes instead of
// reading.
void FillRandomTables(std::uint32_t seed);
// The constant tables, computed here from their formulas.
void FillLiteralPerspectiveTable(std::uint8_t* table);
void FillLiteralConversionTable(std::uint8_t* table);
void FillLiteralTunnelTable(std::uint16_t* table, int width, int height);
