// What one frame of the effect reads and writes, passed explicitly between the engine and its stages.
#pragma once
#include <cstdint>

#include "core/table_set.h"

constexpr int kWaveformChannels = 2;
constexpr int kWaveformSamples = 576;
constexpr int kSampleTraceLength = 258;
constexpr int kLineProfileLength = 320;
constexpr int kPaletteEntryBytes = 4;  // red, green, blue, flags: the system's palette entry

// The settings and derived parameters a frame reads.
struct FrameParams {
  float WaveGain;
  std::int32_t WaveShift;
  std::int32_t WaveAttenuationRate;
  float PaletteStep;
};

// Read-only for the frame, apart from the blocks of the table set, which the field and the landscape rewrite.
struct FrameInputs {
  const TableSet* Tables;
  FrameParams Params;
  const unsigned char (*Waveform)[kWaveformSamples];  // kWaveformChannels channels of signed 8-bit samples
  const std::uint8_t* PaletteSet;                     // PaletteCount palettes of 256 entries
  std::int32_t PaletteCount;
};

// Carried from one frame to the next; the plug-in never resets them, so a restarted effect continues.
struct FrameCounters {
  std::int32_t WaveParity;
  std::uint32_t FrameCounter;
  std::uint32_t TextureScroll;  // 0..65535
  float PalettePhase;
};

// The last channel's smoothed samples and line profile, kept by the caller so that a frame allocates nothing.
struct FrameTrace {
  std::uint16_t SampleTrace[kSampleTraceLength];
  std::uint16_t LineProfile[kLineProfileLength];
};

// The picture (Height rows of Width bytes, Pitch apart) and the 256 palette entries the frame writes.
struct FrameOutput {
  std::uint8_t* Pixels;
  std::int32_t Width, Height, Pitch;
  std::uint8_t* PaletteEntries;  // 256 * kPaletteEntryBytes
};
