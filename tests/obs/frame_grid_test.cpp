// The OBS source's frame grid and sound ring: which frames are due as sound arrives, and the blocks they read.
#include <gtest/gtest.h>

#include "sound_ring.h"

TEST(FrameGrid, FramesAreDueWhenTheirWholeBlockHasBeenHeard) {
  struct Case {
    int rate;
    std::int64_t end;
    std::int64_t due;
  };
  // Frame n reads floor(n * rate / 50) .. + 576; at 44100 a frame is 882 samples, at 48000 960.
  const Case cases[] = {{48000, 575, 0},       {48000, 576, 1},       {48000, 1535, 1},  {48000, 1536, 2},
                        {44100, 576 + 882, 2}, {44100, 576 + 881, 1}, {48000, 48000, 50}};
  for (const Case& c : cases) {
    FrameGrid grid;
    grid.Reset(c.rate);
    EXPECT_EQ(grid.Due(c.end), c.due) << c.rate << " " << c.end;
  }
}

TEST(FrameGrid, DrawnFramesAreNotDueAgainAndALongGapSkipsToTheNewestSecond) {
  FrameGrid grid;
  grid.Reset(48000);
  ASSERT_EQ(grid.Due(576 + 960 * 2), 3);
  for (int i = 0; i < 3; ++i) grid.Advance();
  EXPECT_EQ(grid.Due(576 + 960 * 2), 0);
  EXPECT_EQ(grid.BlockStart(grid.Next()), 960 * 3);
  // Ten seconds later only the last second's frames are drawn, ending with the newest whole block.
  const std::int64_t end = 576 + 960 * 500;
  ASSERT_EQ(grid.Due(end), FrameGrid::kCatchUpFrames);
  EXPECT_EQ(grid.BlockStart(grid.Next() + FrameGrid::kCatchUpFrames - 1), 960 * 500);
}

// The engine's ring is tested on its own; the source's adds muted sound, kept as silence, and mono sources.
TEST(SoundRing, MutedSoundIsSilenceAndMonoFillsBothChannels) {
  SoundRing ring;
  ring.Reset(1000, 1.0);
  const float left[] = {0.25f, 0.5f, -0.5f};
  ring.Append(left, nullptr, 3, true);
  ring.Append(left, nullptr, 3, false);
  unsigned char block[kSoundBlockBytes];
  ring.Block(0, block);
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(block[2], 0);
  EXPECT_EQ(static_cast<signed char>(block[3]), 32);
  EXPECT_EQ(static_cast<signed char>(block[kWaveformSamples + 5]), -64);
  EXPECT_EQ(ring.End(), 6);
}
