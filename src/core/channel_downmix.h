// Surround sound mixed down to the two channels the effect and a stereo output take, with the coefficients of
// FFmpeg's own downmix, so every host (the command line's picture and sound, the web page) hears and draws the same.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

// Speaker positions in the order of WAV's channel mask (WAVEFORMATEXTENSIBLE's dwChannelMask), which is also the
// order of FFmpeg's native channel layouts: bit n of a mask is position n, and a file's channels come in bit order.
enum class Speaker : std::uint8_t {
  FrontLeft,
  FrontRight,
  FrontCentre,
  LowFrequency,
  BackLeft,
  BackRight,
  FrontLeftOfCentre,
  FrontRightOfCentre,
  BackCentre,
  SideLeft,
  SideRight,
  TopCentre,
  TopFrontLeft,
  TopFrontCentre,
  TopFrontRight,
  TopBackLeft,
  TopBackCentre,
  TopBackRight,
  Unknown,  // a channel no layout names (beyond the mask, or an unnamed position): left out of the mix
};
using SpeakerMask = std::uint32_t;

constexpr int kDownmixMaximumChannels = 64;
// -3 dB, FFmpeg's default level of the centre and of the surrounds in a stereo downmix; the low-frequency channel
// is left out (level 0), as there.
constexpr double kDownmixCentreLevel = 0.70710678118654752440;
constexpr double kDownmixSurroundLevel = 0.70710678118654752440;

// The layout FFmpeg assumes for a count of channels that come without one (WAV without a mask, raw streams, the
// web page's decoded audio): 3 = 2.1 (FL FR LFE), 4 = 4.0 (FL FR FC BC), 5 = 5.0 (FL FR FC BL BR), 6 = 5.1 (FL FR FC
// LFE BL BR), 7 = 6.1 (FL FR FC LFE BC SL SR), 8 = 7.1 (FL FR FC LFE BL BR SL SR). 0 for other counts, whose
// channels then are the first positions of the mask's order.
SpeakerMask DefaultSpeakerMask(int channels);

// The weights of each input channel in the left and right output. Channels 1 and 2 pass as they are (a mono
// channel fills both sides, as the host's waveform always did); more channels are mixed:
//   left  = FL + FLC + 0.7071 FC + 0.7071 (BL + SL) + 0.5 BC,  right likewise; LFE and top speakers left out.
// Then, as FFmpeg does for integer output, when the larger of the two rows' sums of weights exceeds 1, both rows
// are divided by it, so that no mix of full-scale inputs can clip (5.1: left = 0.4142 FL + 0.2929 FC + 0.2929 BL).
// Arithmetic is in double, in channel order, the same in every build.
class StereoDownmix {
 public:
  // One speaker per channel, `channels` 1 .. kDownmixMaximumChannels (clamped).
  static StereoDownmix ForSpeakers(const Speaker* speakers, int channels);
  // The channels' speakers as a mask in bit order; channels beyond the mask's bits are Unknown. A mask of 0, or one
  // with more bits than channels, means DefaultSpeakerMask(channels).
  static StereoDownmix ForMask(int channels, SpeakerMask mask = 0);

  int Channels() const { return channels_; }
  double LeftWeight(int channel) const { return left_[static_cast<std::size_t>(channel)]; }
  double RightWeight(int channel) const { return right_[static_cast<std::size_t>(channel)]; }

  // `frames` frames of Channels() interleaved samples to `frames` interleaved left/right pairs. With two or more
  // channels `stereo` may be the same buffer as `interleaved` (the mix then happens in place).
  void Mix(const double* interleaved, std::size_t frames, double* stereo) const;
  void Mix(const float* interleaved, std::size_t frames, float* stereo) const;
  // One frame: its left and right sample, in double.
  void MixFrame(const double* frame, double& left, double& right) const;
  void MixFrame(const float* frame, double& left, double& right) const;

 private:
  int channels_ = 2;
  std::array<double, kDownmixMaximumChannels> left_{};
  std::array<double, kDownmixMaximumChannels> right_{};
};
