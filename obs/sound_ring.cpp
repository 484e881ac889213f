// The sound ring and the frame grid of the OBS source.
#include "sound_ring.h"

void SoundRing::Reset(int rate, double seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  ring_.Reset(rate, seconds);
  lastArrival_ = {};
}

int SoundRing::Rate() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ring_.Rate();
}

void SoundRing::Append(const float* left, const float* right, std::int64_t frames, bool muted) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (muted || !left)
    ring_.AppendSilence(frames);
  else
    ring_.AppendPlanar(left, right, frames);
  lastArrival_ = std::chrono::steady_clock::now();
}

void SoundRing::AppendSilence(std::int64_t frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  ring_.AppendSilence(frames);
}

std::int64_t SoundRing::End() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ring_.End();
}

std::chrono::steady_clock::time_point SoundRing::LastArrival() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastArrival_;
}

void SoundRing::Block(std::int64_t start, unsigned char block[kSoundBlockBytes]) const {
  std::lock_guard<std::mutex> lock(mutex_);
  ring_.Block(start, block);
}

std::int64_t FrameGrid::Due(std::int64_t end) {
  if (rate_ <= 0) return 0;
  // The last frame whose block ends by `end`: the largest n with origin + floor(n * rate / 50) + 576 <= end.
  const std::int64_t heard = end - origin_ - kWaveformSamples;
  if (heard < 0) return 0;
  std::int64_t last = heard * kEffectFramesPerSecond / rate_;
  while (last * rate_ / kEffectFramesPerSecond > heard) --last;
  while ((last + 1) * rate_ / kEffectFramesPerSecond <= heard) ++last;
  if (last < next_) return 0;
  if (last - next_ + 1 > kCatchUpFrames) {
    // A new grid whose frame 0 starts where the newest kCatchUpFrames frames began, so frame starts stay exact.
    origin_ = BlockStart(last - kCatchUpFrames + 1);
    next_ = 0;
    return kCatchUpFrames;
  }
  return last - next_ + 1;
}
