// The stereo downmix's weights and the mix itself.
#include "core/channel_downmix.h"

#include <algorithm>
#include <bit>

namespace {

constexpr SpeakerMask Bit(Speaker s) { return SpeakerMask{1} << static_cast<unsigned>(s); }

constexpr int kSpeakerPositions = static_cast<int>(Speaker::Unknown);

// A speaker's share of the left and right output before the rows are normalised.
void SpeakerWeights(Speaker s, double& left, double& right) {
  left = right = 0;
  switch (s) {
    case Speaker::FrontLeft:
    case Speaker::FrontLeftOfCentre:
      left = 1;
      break;
    case Speaker::FrontRight:
    case Speaker::FrontRightOfCentre:
      right = 1;
      break;
    case Speaker::FrontCentre:
      left = right = kDownmixCentreLevel;
      break;
    case Speaker::BackLeft:
    case Speaker::SideLeft:
      left = kDownmixSurroundLevel;
      break;
    case Speaker::BackRight:
    case Speaker::SideRight:
      right = kDownmixSurroundLevel;
      break;
    case Speaker::BackCentre:
      left = right = kDownmixSurroundLevel * kDownmixCentreLevel;
      break;
    default:  // the low-frequency channel, the top speakers and unnamed channels
      break;
  }
}

template <typename In>
void MixOne(const double* left, const double* right, int channels, const In* frame, double& l, double& r) {
  l = r = 0;
  for (int c = 0; c < channels; ++c) {
    const double v = static_cast<double>(frame[c]);
    l += left[c] * v;
    r += right[c] * v;
  }
}

template <typename Sample>
void MixAll(const StereoDownmix& mix, const double* left, const double* right, const Sample* in, std::size_t frames,
            Sample* out) {
  const int channels = mix.Channels();
  for (std::size_t i = 0; i < frames; ++i) {
    double l = 0, r = 0;
    // Both read before either is written: `out` may be `in`.
    MixOne(left, right, channels, in + i * static_cast<std::size_t>(channels), l, r);
    out[2 * i] = static_cast<Sample>(l);
    out[2 * i + 1] = static_cast<Sample>(r);
  }
}

}  // namespace

SpeakerMask DefaultSpeakerMask(int channels) {
  using S = Speaker;
  switch (channels) {
    case 1:
      return Bit(S::FrontCentre);
    case 2:
      return Bit(S::FrontLeft) | Bit(S::FrontRight);
    case 3:
      return Bit(S::FrontLeft) | Bit(S::FrontRight) | Bit(S::LowFrequency);
    case 4:
      return Bit(S::FrontLeft) | Bit(S::FrontRight) | Bit(S::FrontCentre) | Bit(S::BackCentre);
    case 5:
      return Bit(S::FrontLeft) | Bit(S::FrontRight) | Bit(S::FrontCentre) | Bit(S::BackLeft) | Bit(S::BackRight);
    case 6:
      return Bit(S::FrontLeft) | Bit(S::FrontRight) | Bit(S::FrontCentre) | Bit(S::LowFrequency) | Bit(S::BackLeft) |
             Bit(S::BackRight);
    case 7:
      return Bit(S::FrontLeft) | Bit(S::FrontRight) | Bit(S::FrontCentre) | Bit(S::LowFrequency) | Bit(S::BackCentre) |
             Bit(S::SideLeft) | Bit(S::SideRight);
    case 8:
      return Bit(S::FrontLeft) | Bit(S::FrontRight) | Bit(S::FrontCentre) | Bit(S::LowFrequency) | Bit(S::BackLeft) |
             Bit(S::BackRight) | Bit(S::SideLeft) | Bit(S::SideRight);
    default:
      return 0;
  }
}

StereoDownmix StereoDownmix::ForSpeakers(const Speaker* speakers, int channels) {
  StereoDownmix mix;
  mix.channels_ = std::clamp(channels, 1, kDownmixMaximumChannels);
  if (mix.channels_ <= 2) {
    mix.left_[0] = 1;
    mix.right_[mix.channels_ - 1] = 1;
    return mix;
  }
  double leftSum = 0, rightSum = 0;
  for (int c = 0; c < mix.channels_; ++c) {
    const auto i = static_cast<std::size_t>(c);
    SpeakerWeights(speakers[c], mix.left_[i], mix.right_[i]);
    leftSum += mix.left_[i];
    rightSum += mix.right_[i];
  }
  // A hair more than the larger sum, so that the products' and sums' rounding cannot carry a full-scale mix past 1.
  const double largest = std::max(leftSum, rightSum) * (1 + 0x1p-45);
  if (largest > 1) {
    for (int c = 0; c < mix.channels_; ++c) {
      mix.left_[static_cast<std::size_t>(c)] /= largest;
      mix.right_[static_cast<std::size_t>(c)] /= largest;
    }
  }
  return mix;
}

StereoDownmix StereoDownmix::ForMask(int channels, SpeakerMask mask) {
  channels = std::clamp(channels, 1, kDownmixMaximumChannels);
  mask &= Bit(Speaker::Unknown) - 1;
  if (mask == 0 || std::popcount(mask) > channels) mask = DefaultSpeakerMask(channels);
  std::array<Speaker, kDownmixMaximumChannels> speakers;
  speakers.fill(Speaker::Unknown);
  int c = 0;
  for (int position = 0; position < kSpeakerPositions && c < channels; ++position)
    if (mask & (SpeakerMask{1} << position)) speakers[static_cast<std::size_t>(c++)] = static_cast<Speaker>(position);
  return ForSpeakers(speakers.data(), channels);
}

void StereoDownmix::Mix(const double* interleaved, std::size_t frames, double* stereo) const {
  MixAll(*this, left_.data(), right_.data(), interleaved, frames, stereo);
}

void StereoDownmix::Mix(const float* interleaved, std::size_t frames, float* stereo) const {
  MixAll(*this, left_.data(), right_.data(), interleaved, frames, stereo);
}

void StereoDownmix::MixFrame(const double* frame, double& left, double& right) const {
  MixOne(left_.data(), right_.data(), channels_, frame, left, right);
}

void StereoDownmix::MixFrame(const float* frame, double& left, double& right) const {
  MixOne(left_.data(), right_.data(), channels_, frame, left, right);
}
