// The tunnel mapper: known pixels of the real table, pitch padding, and the literal mapper on random input.
#include <gtest/gtest.h>

#include <cstring>

#include "support/stage_record.h"
#include "support/frame_oracle.h"

namespace {

class TunnelTest : public ::testing::Test {
 protected:
  void Prepare(int width, int height, int pitch) {
    ResetStageRecord();
    AllocateFrameTables(width, height, pitch);
    FillRandomTables(21);
    std::memset(g_stage.FramePixels, 0xCD, static_cast<std::size_t>(height) * pitch);
  }
  void TearDown() override {
    ReleaseFrameTables();
    ResetStageRecord();
  }
  static std::uint8_t Screen(int x, int y) { return g_stage.FramePixels[y * g_stage.FramePitch + x]; }
  static std::uint8_t Image(int index) { return g_stage.Tables.LandscapeImage[index]; }
};

TEST_F(TunnelTest, KnownPixelsOfTheRealTable) {
  Prepare(320, 200, 320);
  FillLiteralTunnelTable(g_stage.Tables.TunnelTable, 320, 200);
  for (int i = 0; i < 65536; ++i) g_stage.Tables.LandscapeImage[i] = static_cast<std::uint8_t>(i ^ (i >> 8) * 3);
  MapStageTunnel();
  EXPECT_EQ(Screen(160, 100), Image(0x00FF));  // centre: horizon row 255 of column 0
  EXPECT_EQ(Screen(0, 0), Image(0x9743));
  EXPECT_EQ(Screen(161, 100), Image(0x00FE));
  EXPECT_EQ(Screen(159, 100), Image(0x80FE));
  EXPECT_EQ(Screen(319, 199), Image(0x1744));
  EXPECT_EQ(Screen(0, 199), Image(0x6A43));
  EXPECT_EQ(Screen(319, 0), Image(0xEA44));
}

TEST_F(TunnelTest, MatchesTheLiteralMapperOnRandomInput) {
  Prepare(320, 200, 320);
  OracleFrame oracle = OracleFromState();
  MapStageTunnel();
  OracleMapTunnel(oracle);
  EXPECT_EQ(0, std::memcmp(g_stage.FramePixels, oracle.pixels.data(), 320 * 200));
}

TEST_F(TunnelTest, PitchPaddingIsLeftUntouched) {
  Prepare(320, 200, 352);
  OracleFrame oracle = OracleFromState();
  MapStageTunnel();
  OracleMapTunnel(oracle);
  for (int y = 0; y < 200; ++y) {
    SCOPED_TRACE(y);
    ASSERT_EQ(0, std::memcmp(g_stage.FramePixels + y * 352, oracle.pixels.data() + y * 352, 320));
    for (int x = 320; x < 352; ++x) ASSERT_EQ(Screen(x, y), 0xCD) << x;
  }
}

TEST_F(TunnelTest, BlankImageGivesABlankScreen) {
  Prepare(320, 200, 320);
  std::memset(g_stage.Tables.LandscapeImage, 0, 65536);
  MapStageTunnel();
  for (int i = 0; i < 320 * 200; ++i) ASSERT_EQ(g_stage.FramePixels[i], 0) << i;
}

TEST_F(TunnelTest, WidthNotAMultipleOfFourStaysInsideEachRow) {
  // The display is always 320 wide; a narrower odd surface must still not spill past its rows or table.
  Prepare(322, 3, 322);
  OracleFrame oracle = OracleFromState();
  MapStageTunnel();
  OracleMapTunnel(oracle);
  EXPECT_EQ(0, std::memcmp(g_stage.FramePixels, oracle.pixels.data(), 322 * 3));
}

}  // namespace
