// The last seconds of a live host's sound as the host's signed 8-bit samples, by stream position: the one ring every
// live host keeps (the player's devices, the OBS source), from which each frame's waveform block is cut.
#pragma once
#include <cstdint>
#include <vector>

#include "core/frame.h"

constexpr int kWaveformBlockSamples = kWaveformChannels * kWaveformSamples;

// Positions count samples per channel since the last Reset and only grow. Not synchronised: a host that writes it
// from an audio thread guards it with its own lock, together with what it keeps beside it (a clock, an arrival time).
// Memory is taken by Reset alone.
class SampleRing {
 public:
  // Keeps `seconds` of sound at `rate` samples a second, and at least `minimum` samples; drops everything held.
  void Reset(int rate, double seconds, std::int64_t minimum = kWaveformSamples);
  int Rate() const { return rate_; }
  // One past the last sample appended.
  std::int64_t End() const { return end_; }
  // How many samples per channel it holds at most.
  std::int64_t Capacity() const { return static_cast<std::int64_t>(left_.size()); }

  // `count` interleaved stereo 16-bit samples.
  void AppendPcm16(const std::int16_t* stereo, std::int64_t count);
  // `count` samples of two planes of floats (full scale -1 .. 1; `right` null for mono).
  void AppendPlanar(const float* left, const float* right, std::int64_t count);
  // Silence: the stream went on while nothing was there to hear.
  void AppendSilence(std::int64_t count);

  // Channel 0's 576 samples from `start`, then channel 1's; positions not (or no longer) held are silence.
  void Block(std::int64_t start, unsigned char block[kWaveformBlockSamples]) const;

 private:
  std::size_t Slot(std::int64_t position) const { return static_cast<std::size_t>(position % Capacity()); }

  int rate_ = 0;
  std::vector<std::int8_t> left_, right_;
  std::int64_t end_ = 0;
};
