// The stereo downmix: FFmpeg's coefficients for each layout, rows that cannot clip, and the mix in place.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/channel_downmix.h"

namespace {

constexpr double k = 0.70710678118654752440;

TEST(StereoDownmix, WeighsEachLayoutAsFfmpegDoes) {
  using S = Speaker;
  struct Case {
    const char* name;
    int channels;
    SpeakerMask mask;
    std::vector<double> left, right;  // per channel
  };
  const double five = 1 + 2 * k;  // FL + FC + BL: the larger row's sum
  const double seven = 1 + 3 * k;
  const Case cases[] = {
      {"mono", 1, 0, {1}, {1}},
      {"stereo", 2, 0, {1, 0}, {0, 1}},
      {"2.1", 3, 0, {1, 0, 0}, {0, 1, 0}},
      {"4.0",
       4,
       0,
       {1 / (1 + k + 0.5), 0, k / (1 + k + 0.5), 0.5 / (1 + k + 0.5)},
       {0, 1 / (1 + k + 0.5), k / (1 + k + 0.5), 0.5 / (1 + k + 0.5)}},
      {"5.1", 6, 0, {1 / five, 0, k / five, 0, k / five, 0}, {0, 1 / five, k / five, 0, 0, k / five}},
      {"5.1(side)",
       6,
       (1u << int(S::FrontLeft)) | (1u << int(S::FrontRight)) | (1u << int(S::FrontCentre)) |
           (1u << int(S::LowFrequency)) | (1u << int(S::SideLeft)) | (1u << int(S::SideRight)),
       {1 / five, 0, k / five, 0, k / five, 0},
       {0, 1 / five, k / five, 0, 0, k / five}},
      {"7.1",
       8,
       0,
       {1 / seven, 0, k / seven, 0, k / seven, 0, k / seven, 0},
       {0, 1 / seven, k / seven, 0, 0, k / seven, 0, k / seven}},
      // More channels than the mask names: the rest are left out.
      {"quad + 1 unnamed",
       5,
       (1u << int(S::FrontLeft)) | (1u << int(S::FrontRight)) | (1u << int(S::BackLeft)) | (1u << int(S::BackRight)),
       {1 / (1 + k), 0, k / (1 + k), 0, 0},
       {0, 1 / (1 + k), 0, k / (1 + k), 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const StereoDownmix mix = StereoDownmix::ForMask(c.channels, c.mask);
    ASSERT_EQ(mix.Channels(), c.channels);
    for (int i = 0; i < c.channels; ++i) {
      EXPECT_NEAR(mix.LeftWeight(i), c.left[static_cast<std::size_t>(i)], 1e-12) << "channel " << i;
      EXPECT_NEAR(mix.RightWeight(i), c.right[static_cast<std::size_t>(i)], 1e-12) << "channel " << i;
    }
  }
}

TEST(StereoDownmix, FullScaleOnEveryChannelDoesNotClipAndMixesInPlace) {
  for (int channels = 3; channels <= 8; ++channels) {
    SCOPED_TRACE(channels);
    const StereoDownmix mix = StereoDownmix::ForMask(channels);
    std::vector<double> samples(static_cast<std::size_t>(channels) * 3);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = i / static_cast<std::size_t>(channels) == 1 ? -1 : 1;
    std::vector<float> floats(samples.begin(), samples.end());
    mix.Mix(samples.data(), 3, samples.data());
    mix.Mix(floats.data(), 3, floats.data());
    for (int i = 0; i < 6; ++i) {
      const double expected = i / 2 == 1 ? -1 : 1;
      EXPECT_LE(std::fabs(samples[static_cast<std::size_t>(i)]), 1.0);
      EXPECT_EQ(std::signbit(samples[static_cast<std::size_t>(i)]), std::signbit(expected));
      EXPECT_EQ(floats[static_cast<std::size_t>(i)], static_cast<float>(samples[static_cast<std::size_t>(i)]));
    }
  }
  // A centre-only 5.1 frame reaches both sides at the centre's normalised weight.
  const double frame[6] = {0, 0, 0.5, 0.9, 0, 0};
  double left = 0, right = 0;
  StereoDownmix::ForMask(6).MixFrame(frame, left, right);
  EXPECT_NEAR(left, 0.5 * k / (1 + 2 * k), 1e-12);
  EXPECT_EQ(left, right);
}

}  // namespace
