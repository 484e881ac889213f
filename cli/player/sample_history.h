// The last second of the sound, as the host's signed 8-bit samples by stream position, and the device's clock.
#pragma once
#include <chrono>
#include <cstdint>
#include <mutex>

#include "core/sample_ring.h"
#include "waveform_source.h"

using SteadyTime = std::chrono::steady_clock::time_point;

// Where the device was at one moment: stream sample `position` was (or will be) heard at `time`.
struct AudioClockPoint {
  SteadyTime time{};
  std::int64_t position = 0;
  bool valid = false;
};

// The engine's ring of recent samples behind a lock, with the device's clock. Written by the audio thread (playback
// callback or capture reader), read by the frame loop. Positions count samples per channel since the device was opened;
// they only grow.
class SampleHistory {
 public:
  // `rate` in samples per second; keeps `seconds` of sound.
  void Reset(int rate, double seconds);
  int rate() const { return rate_; }

  // Appends `count` interleaved stereo 16-bit samples at the current end; `clock` says when one of them is heard.
  void Append(const std::int16_t* stereo, std::int64_t count, const AudioClockPoint& clock);
  // Appends silence (the device went on while nothing was there to play or capture).
  void AppendSilence(std::int64_t count, const AudioClockPoint& clock);

  std::int64_t end() const;
  AudioClockPoint clock() const;
  // The sample heard at `time` by the last clock point (a rate-long straight line through it), at most end();
  // 0 before any.
  std::int64_t PositionAt(SteadyTime time) const;

  // The clock points recorded after number `since` (at most the last kKeptClockPoints), appended to `out`; returns
  // the number of the last one recorded. For tracing the device's clock.
  static constexpr int kKeptClockPoints = 64;
  std::uint64_t ClockPointsSince(std::uint64_t since, AudioClockPoint (&out)[kKeptClockPoints], int& count) const;

  // Channel 0's 576 samples from `start`, then channel 1's; positions not (or no longer) held are silence.
  void Block(std::int64_t start, unsigned char block[kWaveformBlockBytes]) const;

 private:
  mutable std::mutex mutex_;
  int rate_ = 0;
  SampleRing ring_;
  AudioClockPoint clock_;
  AudioClockPoint recent_[kKeptClockPoints];
  std::uint64_t recorded_ = 0;  // clock points ever recorded
};
