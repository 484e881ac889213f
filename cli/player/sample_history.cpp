// The ring of recent sound shared between the audio thread and the frame loop, and the clock that places it.
#include "sample_history.h"

#include <algorithm>

void SampleHistory::Reset(int rate, double seconds) {
  std::lock_guard lock(mutex_);
  rate_ = rate;
  ring_.Reset(rate, seconds, kSamplesPerChannel * 4);
  clock_ = {};
  recorded_ = 0;
}

void SampleHistory::Append(const std::int16_t* stereo, std::int64_t count, const AudioClockPoint& clock) {
  std::lock_guard lock(mutex_);
  ring_.AppendPcm16(stereo, count);
  clock_ = clock;
  recent_[recorded_++ % kKeptClockPoints] = clock;
}

void SampleHistory::AppendSilence(std::int64_t count, const AudioClockPoint& clock) {
  std::lock_guard lock(mutex_);
  ring_.AppendSilence(count);
  clock_ = clock;
  recent_[recorded_++ % kKeptClockPoints] = clock;
}

std::int64_t SampleHistory::end() const {
  std::lock_guard lock(mutex_);
  return ring_.End();
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
  return std::min(ring_.End(), clock_.position + static_cast<std::int64_t>(seconds * rate_));
}

void SampleHistory::Block(std::int64_t start, unsigned char block[kWaveformBlockBytes]) const {
  std::lock_guard lock(mutex_);
  ring_.Block(start, block);
}
