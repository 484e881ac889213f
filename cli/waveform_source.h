// Where each frame's waveform block comes from: an audio file (any format libsndfile reads) or a raw block file.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr int kFramesPerSecond = 50;
constexpr int kSamplesPerChannel = 576;
constexpr int kWaveformBlockBytes = 2 * kSamplesPerChannel;  // channel 0's samples, then channel 1's

// The whole audio, already reduced to the host's signed 8-bit samples; a mono file fills both channels.
struct AudioClip {
  int rate = 0;
  std::int64_t length = 0;  // samples per channel
  std::vector<std::int8_t> channel[2];
};

// One normalised sample (full scale -1 .. 1) as the host's signed 8-bit value: the top 8 bits of the integer
// sample, so a 16-bit sample s becomes s >> 8; out-of-range float samples are clipped.
std::int8_t SampleToSigned8(double sample);

// Reads the whole file. False, with a message naming the file, when it cannot be opened or decoded.
bool LoadAudioClip(const std::string& path, AudioClip& clip, std::string& error);

// Number of frames that cover the audio: every frame whose first sample lies inside it, the last one partial.
std::int64_t AudioFrameCount(std::int64_t length, int rate);

// First sample fed to frame n: floor(n * rate / 50), moved back by `offsetSamples` (positive = picture later).
std::int64_t FrameStartSample(std::int64_t frame, int rate, std::int64_t offsetSamples);

// The offset in samples for an offset in milliseconds, truncated toward zero.
std::int64_t OffsetSamples(double offsetMs, int rate);

// Fills `block` with the 576 samples of each channel that start at FrameStartSample; samples outside the audio
// are silence (0).
void FillWaveformBlock(const AudioClip& clip, std::int64_t frame, std::int64_t offsetSamples,
                       unsigned char block[kWaveformBlockBytes]);

// A file of 1152-byte blocks, one per frame, exactly as a host writes them into the module record.
struct WaveformFile {
  std::FILE* file = nullptr;
  std::int64_t blocks = 0;
};
bool OpenWaveformFile(const std::string& path, WaveformFile& source, std::string& error);
bool ReadWaveformBlock(WaveformFile& source, unsigned char block[kWaveformBlockBytes]);
void CloseWaveformFile(WaveformFile& source);
