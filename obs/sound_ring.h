// The sound an OBS source listens to: the last seconds as the host's signed 8-bit samples by stream position, and
// the effect's 50 frames a second laid over that sound's own time.
#pragma once
#include <chrono>
#include <cstdint>
#include <mutex>

#include "core/sample_ring.h"

// The effect steps 50 times a second of sound, whatever the video's frame rate.
constexpr int kEffectFramesPerSecond = 50;
constexpr int kSoundBlockBytes = kWaveformBlockSamples;

// The engine's ring of recent samples behind a lock, with the time sound last came: written by OBS's audio thread,
// read by the video thread.
class SoundRing {
 public:
  // Keeps `seconds` of sound at `rate` samples a second; everything held is dropped.
  void Reset(int rate, double seconds);
  int Rate() const;

  // `frames` samples of two planes of floats (full scale -1 .. 1; `right` null for mono). Muted sound is kept as
  // silence: the picture then calms as the listener hears nothing, and the clock still runs.
  void Append(const float* left, const float* right, std::int64_t frames, bool muted);
  // Silence that stands for sound that never came (no source, or one that stopped sending).
  void AppendSilence(std::int64_t frames);

  std::int64_t End() const;
  // When sound last arrived through Append; the epoch before any.
  std::chrono::steady_clock::time_point LastArrival() const;

  // Channel 0's 576 samples from `start`, then channel 1's; positions not (or no longer) held are silence.
  void Block(std::int64_t start, unsigned char block[kSoundBlockBytes]) const;

 private:
  mutable std::mutex mutex_;
  SampleRing ring_;
  std::chrono::steady_clock::time_point lastArrival_{};
};

// Which frames are due: frame n reads the block that starts at floor(n * rate / 50) samples after the grid's
// origin, and is drawn once the whole block has been heard, so the frame shown is the one whose sound just played.
class FrameGrid {
 public:
  // Frames drawn at once at most, after the source was hidden or the video stalled: one second, then older frames
  // are skipped and the grid goes on from the newest sound.
  static constexpr std::int64_t kCatchUpFrames = kEffectFramesPerSecond;

  void Reset(int rate) { rate_ = rate, origin_ = 0, next_ = 0; }
  // The frames due by sound end `end`: how many to draw now (at most kCatchUpFrames; the grid skips past older
  // ones). Their blocks start at BlockStart(Next()), BlockStart(Next() + 1), ...
  std::int64_t Due(std::int64_t end);
  std::int64_t Next() const { return next_; }
  std::int64_t BlockStart(std::int64_t frame) const { return origin_ + frame * rate_ / kEffectFramesPerSecond; }
  // One frame drawn.
  void Advance() { ++next_; }

 private:
  int rate_ = 0;
  std::int64_t origin_ = 0;
  std::int64_t next_ = 0;
};
