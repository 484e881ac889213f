// The live hosts' ring of recent sound: the blocks cut from it hold the host's 8-bit samples of the positions
// still held, and silence elsewhere.
#include <gtest/gtest.h>

#include <vector>

#include "core/sample_ring.h"

TEST(SampleRing, BlocksHoldTheHostsSamplesAndSilenceOutsideWhatIsHeld) {
  SampleRing ring;
  ring.Reset(1000, 1.0);  // 1000 samples held
  std::vector<float> left(1500), right(1500);
  for (int i = 0; i < 1500; ++i) left[i] = static_cast<float>(i % 200) / 256.0f, right[i] = -left[i];
  ring.AppendPlanar(left.data(), right.data(), 1500);
  unsigned char block[kWaveformBlockSamples];
  ring.Block(900, block);  // 900..1475: all held
  EXPECT_EQ(static_cast<signed char>(block[0]), 900 % 200 / 2);
  EXPECT_EQ(static_cast<signed char>(block[kWaveformSamples]), -(900 % 200 / 2));
  ring.Block(400, block);  // 400..499 gone, 500.. held
  EXPECT_EQ(block[99], 0);
  EXPECT_EQ(static_cast<signed char>(block[100]), 500 % 200 / 2);
  // Silence, a mono source, and interleaved 16-bit sound (its top 8 bits, rounding down as a shift does).
  ring.AppendSilence(10);
  ring.AppendPlanar(left.data() + 100, nullptr, 10);
  const std::int16_t stereo[] = {-1, 256, -257, 32767};
  ring.AppendPcm16(stereo, 2);
  EXPECT_EQ(ring.End(), 1522);
  ring.Block(1500, block);
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(static_cast<signed char>(block[10]), 50);
  EXPECT_EQ(block[10], block[kWaveformSamples + 10]);
  EXPECT_EQ(static_cast<signed char>(block[20]), -1);
  EXPECT_EQ(static_cast<signed char>(block[kWaveformSamples + 20]), 1);
  EXPECT_EQ(static_cast<signed char>(block[21]), -2);
  EXPECT_EQ(static_cast<signed char>(block[kWaveformSamples + 21]), 127);
  EXPECT_EQ(block[22], 0);  // not yet heard
  // A ring given nothing to hold keeps no position.
  SampleRing unset;
  unset.AppendPcm16(stereo, 2);
  EXPECT_EQ(unset.End(), 0);
}
