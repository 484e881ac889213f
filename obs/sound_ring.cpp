// The sound ring and the frame grid of the OBS source.
#include "sound_ring.h"

#include <algorithm>

#include "core/waveform_sample.h"

void SoundRing::Reset(int rate, double seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  rate_ = rate;
  const auto capacity = static_cast<std::size_t>(std::max<double>(kWaveformSamples, rate * seconds));
  left_.assign(capacity, 0);
  right_.assign(capacity, 0);
  end_ = 0;
  lastArrival_ = {};
}

int SoundRing::Rate() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return rate_;
}

void SoundRing::Append(const float* left, const float* right, std::int64_t frames, bool muted) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (left_.empty()) return;
  const auto capacity = static_cast<std::int64_t>(left_.size());
  for (std::int64_t i = 0; i < frames; ++i) {
    const auto at = static_cast<std::size_t>((end_ + i) % capacity);
    const bool sound = !muted && left;
    left_[at] = sound ? SampleToSigned8(left[i]) : 0;
    right_[at] = sound ? SampleToSigned8(right ? right[i] : left[i]) : 0;
  }
  end_ += frames;
  lastArrival_ = std::chrono::steady_clock::now();
}

void SoundRing::AppendSilence(std::int64_t frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (left_.empty()) return;
  const auto capacity = static_cast<std::int64_t>(left_.size());
  for (std::int64_t i = 0; i < std::min(frames, capacity); ++i) {
    const auto at = static_cast<std::size_t>((end_ + i) % capacity);
    left_[at] = right_[at] = 0;
  }
  end_ += frames;
}

std::int64_t SoundRing::End() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return end_;
}

std::chrono::steady_clock::time_point SoundRing::LastArrival() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastArrival_;
}

void SoundRing::Block(std::int64_t start, unsigned char block[kSoundBlockBytes]) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto capacity = static_cast<std::int64_t>(left_.size());
  for (int i = 0; i < kWaveformSamples; ++i) {
    const std::int64_t at = start + i;
    const bool held = at >= 0 && at < end_ && at >= end_ - capacity;
    const auto slot = static_cast<std::size_t>(held ? at % capacity : 0);
    block[i] = static_cast<unsigned char>(held ? left_[slot] : 0);
    block[kWaveformSamples + i] = static_cast<unsigned char>(held ? right_[slot] : 0);
  }
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
