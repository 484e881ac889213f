// The ring of recent sound shared by the live hosts.
#include "core/sample_ring.h"

#include <algorithm>

#include "core/waveform_sample.h"

void SampleRing::Reset(int rate, double seconds, std::int64_t minimum) {
  rate_ = rate;
  const auto capacity = static_cast<std::size_t>(std::max<double>(static_cast<double>(minimum), rate * seconds));
  left_.assign(capacity, 0);
  right_.assign(capacity, 0);
  end_ = 0;
}

void SampleRing::AppendPcm16(const std::int16_t* stereo, std::int64_t count) {
  if (left_.empty()) return;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::size_t at = Slot(end_ + i);
    left_[at] = Pcm16ToSigned8(stereo[2 * i]);
    right_[at] = Pcm16ToSigned8(stereo[2 * i + 1]);
  }
  end_ += count;
}

void SampleRing::AppendPlanar(const float* left, const float* right, std::int64_t count) {
  if (left_.empty()) return;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::size_t at = Slot(end_ + i);
    left_[at] = SampleToSigned8(left[i]);
    right_[at] = SampleToSigned8(right ? right[i] : left[i]);
  }
  end_ += count;
}

void SampleRing::AppendSilence(std::int64_t count) {
  if (left_.empty()) return;
  // Past a whole ring the older silence would only be overwritten.
  for (std::int64_t i = 0; i < std::min(count, Capacity()); ++i) {
    const std::size_t at = Slot(end_ + i);
    left_[at] = right_[at] = 0;
  }
  end_ += count;
}

void SampleRing::Block(std::int64_t start, unsigned char block[kWaveformBlockSamples]) const {
  for (int i = 0; i < kWaveformSamples; ++i) {
    const std::int64_t at = start + i;
    const bool held = at >= 0 && at < end_ && at >= end_ - Capacity();
    const std::size_t slot = held ? Slot(at) : 0;
    block[i] = held ? static_cast<unsigned char>(left_[slot]) : 0;
    block[kWaveformSamples + i] = held ? static_cast<unsigned char>(right_[slot]) : 0;
  }
}
