// A ring of the recent sound shared between the audio thread and the frame loop, and the clock that places it.
#include "sample_history.h"

#include <algorithm>
#include <cstring>

#include "core/waveform_sample.h"

void SampleHistory::Reset(int rate, double seconds) {
  std::lock_guard lock(mutex_);
  rate_ = rate;
  const std::size_t size = std::max<std::size_t>(kSamplesPerChannel * 4, static_cast<std::size_t>(rate * seconds));
  left_.assign(size, 0);
  right_.assign(size, 0);
  end_ = 0;
  clock_ = {};
  recorded_ = 0;
}

void SampleHistory::Append(const std::int16_t* stereo, std::int64_t count, const AudioClockPoint& clock) {
  std::lock_guard lock(mutex_);
  const std::int64_t size = static_cast<std::int64_t>(left_.size());
  for (std::int64_t i = 0; i < count; ++i) {
    const std::size_t at = static_cast<std::size_t>((end_ + i) % size);
    left_[at] = Pcm16ToSigned8(stereo[2 * i]);
    right_[at] = Pcm16ToSigned8(stereo[2 * i + 1]);
  }
  end_ += count;
  clock_ = clock;
  recent_[recorded_++ % kKeptClockPoints] = clock;
}

void SampleHistory::AppendSilence(std::int64_t count, const AudioClockPoint& clock) {
  std::lock_guard lock(mutex_);
  const std::int64_t size = static_cast<std::int64_t>(left_.size());
  for (std::int64_t i = 0; i < std::min(count, size); ++i) {
    const std::size_t at = static_cast<std::size_t>((end_ + i) % size);
    left_[at] = 0;
    right_[at] = 0;
  }
  end_ += count;
  clock_ = clock;
  recent_[recorded_++ % kKeptClockPoints] = clock;
}

std::int64_t SampleHistory::end() const {
  std::lock_guard lock(mutex_);
  return end_;
}

std::uint64_t SampleHistory::ClockPointsSince(std::uint64_t since, AudioClockPoint (&out)[kKeptClockPoints],
                                              int& count) const {
  std::lock_guard lock(mutex_);
  const std::uint64_t first = std::max(since, recorded_ > kKeptClockPoints ? recorded_ - kKeptClockPoints : 0);
  count = 0;
  for (std::uint64_t n = first; n < recorded_; ++n) out[count++] = recent_[n % kKeptClockPoints];
  return recorded_;
}

AudioClockPoint SampleHistory::clock() const {
  std::lock_guard lock(mutex_);
  return clock_;
}

std::int64_t SampleHistory::PositionAt(SteadyTime time) const {
  std::lock_guard lock(mutex_);
  if (!clock_.valid) return 0;
  const double seconds = std::chrono::duration<double>(time - clock_.time).count();
  // Never past what the device has been given: a device that starts slowly or stops (lost) calls back late, and
  // the straight line would run ahead into sound that is not there yet.
  return std::min(end_, clock_.position + static_cast<std::int64_t>(seconds * rate_));
}

void SampleHistory::Block(std::int64_t start, unsigned char block[kWaveformBlockBytes]) const {
  std::lock_guard lock(mutex_);
  const std::int64_t size = static_cast<std::int64_t>(left_.size());
  for (int i = 0; i < kSamplesPerChannel; ++i) {
    const std::int64_t p = start + i;
    const bool held = p >= 0 && p < end_ && p >= end_ - size;
    const std::size_t at = held ? static_cast<std::size_t>(p % size) : 0;
    block[i] = held ? static_cast<unsigned char>(left_[at]) : 0;
    block[kSamplesPerChannel + i] = held ? static_cast<unsigned char>(right_[at]) : 0;
  }
}
