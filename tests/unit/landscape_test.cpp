// The voxel landscape over the real perspective and conversion tables, and against the literal renderer.
#include <gtest/gtest.h>

#include <cstring>

#include "support/stage_record.h"
#include "support/frame_oracle.h"

namespace {

class LandscapeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStageRecord();
    AllocateFrameTables();
    TableSet& t = g_stage.Tables;
    FillLiteralPerspectiveTable(t.PerspectiveTable);
    FillLiteralConversionTable(t.ConversionTable);
    // Texel of column c at depth s is s; colour t at shade k is t + k, so each run names its sample.
    for (int c = 0; c < 256; ++c)
      for (int s = 0; s < 256; ++s) t.TextureMap[c * 256 + s] = t.TextureMap[65536 + c * 256 + s] = s;
    for (int i = 0; i < 65536; ++i) t.FadeTable[i] = static_cast<std::uint8_t>((i >> 8) + (i & 0xFF));
    std::memset(t.HeightMap, 0, 65536);
    std::memset(t.LandscapeImage, 0xCD, 65536);
  }
  void TearDown() override {
    ReleaseFrameTables();
    ResetStageRecord();
  }
  static std::uint8_t Base(int s) { return g_stage.Tables.PerspectiveTable[2 * s]; }
  static std::uint8_t Pixel(int c, int r) { return g_stage.Tables.LandscapeImage[c * 256 + r]; }
};

TEST_F(LandscapeTest, PerspectiveTableMatchesItsKnownRows) {
  const std::uint8_t* p = g_stage.Tables.PerspectiveTable;
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[1], 119);
  EXPECT_EQ(p[2 * 16], 123);
  EXPECT_EQ(p[2 * 16 + 1], 61);
  EXPECT_EQ(p[510], 239);
  EXPECT_EQ(p[511], 7);
  int baseSum = 0, scaleSum = 0;
  for (int s = 0; s < 256; ++s) baseSum += p[2 * s], scaleSum += p[2 * s + 1];
  EXPECT_EQ(baseSum, 53178);
  EXPECT_EQ(scaleSum, 5602);
}

TEST_F(LandscapeTest, FlatGroundTakesTheFirstStepAboveEachRow) {
  RenderStageLandscape(0);
  for (int c : {0, 1, 128, 255}) {
    for (int r = 0; r < 256; ++r) {
      SCOPED_TRACE(testing::Message() << "column " << c << " row " << r);
      int s = 0;
      while (s < 256 && Base(s) <= r) ++s;
      // Colour t + 0 with texel s; rows from 239 up stay 0.
      ASSERT_EQ(Pixel(c, r), r >= 239 ? 0 : s);
    }
  }
  EXPECT_EQ(Pixel(7, 13), 1);
  EXPECT_EQ(Pixel(7, 14), 2);
  EXPECT_EQ(Pixel(7, 238), 240);
}

TEST_F(LandscapeTest, SinglePeakHidesTheStepsBehindIt) {
  g_stage.Tables.HeightMap[5 * 256 + 10] = 200;
  RenderStageLandscape(0);
  auto run = [](int first, int last, int colour) {
    for (int r = first; r <= last; ++r) ASSERT_EQ(Pixel(5, r), colour) << "row " << r;
  };
  run(0, 13, 1);
  run(14, 25, 2);
  run(81, 87, 9);
  run(88, 151, 10 + 200);  // FadeTable[t * 256 + 200]
  run(152, 153, 26);       // steps 11..25 are hidden behind the peak
  run(239, 255, 0);
  for (int r = 0; r < 256; ++r) {
    const int colour = Pixel(5, r);
    EXPECT_FALSE(colour >= 11 && colour <= 25) << "row " << r;
  }
}

TEST_F(LandscapeTest, FullHeightReachesRow245) {
  std::memset(g_stage.Tables.HeightMap, 255, 65536);
  RenderStageLandscape(0);
  for (int c : {0, 200, 255}) {
    SCOPED_TRACE(c);
    for (int r = 0; r <= 118; ++r) ASSERT_EQ(Pixel(c, r), static_cast<std::uint8_t>(0 + 255)) << r;
    EXPECT_EQ(Pixel(c, 245), static_cast<std::uint8_t>(226 + 255));
    for (int r = 246; r < 256; ++r) ASSERT_EQ(Pixel(c, r), 0) << r;
  }
}

TEST_F(LandscapeTest, WithoutTextureEveryRunUsesFadeRow251) {
  std::memset(g_stage.Tables.TextureMap, 251, 131072);
  for (int c = 0; c < 256; ++c) std::memset(g_stage.Tables.HeightMap + c * 256, c, 256);  // column c at height c
  RenderStageLandscape(1234);
  for (int c = 0; c < 256; ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(Pixel(c, 0), static_cast<std::uint8_t>(251 + c));
    for (int r = 0; r < 246; ++r) {
      const std::uint8_t v = Pixel(c, r);
      ASSERT_TRUE(v == 0 || v == static_cast<std::uint8_t>(251 + c)) << r;
    }
  }
}

TEST_F(LandscapeTest, LastSampleAtScroll65535ReadsTexel131070) {
  TableSet& t = g_stage.Tables;
  std::memset(t.TextureMap, 1, 65536);
  std::memset(t.TextureMap + 65536, 2, 65536);
  t.TextureMap[131070] = 77;
  t.HeightMap[255 * 256 + 255] = 255;  // y = 239 + 7 = 246, above the flat ground's 239
  RenderStageLandscape(65535);
  for (int r = 239; r <= 245; ++r) EXPECT_EQ(Pixel(255, r), static_cast<std::uint8_t>(77 + 255)) << r;
  EXPECT_EQ(Pixel(255, 246), 0);
}

TEST_F(LandscapeTest, RealTablesLeaveTenZeroRowsInEveryColumn) {
  FillRandomTables(3);
  FillLiteralPerspectiveTable(g_stage.Tables.PerspectiveTable);
  FillLiteralConversionTable(g_stage.Tables.ConversionTable);
  RenderStageLandscape(40000);
  for (int c = 0; c < 256; ++c)
    for (int r = 246; r < 256; ++r) ASSERT_EQ(Pixel(c, r), 0) << c << " " << r;
}

TEST_F(LandscapeTest, MatchesTheLiteralRendererOnRandomTables) {
  // Random tables let y wrap in 8 bits and reach row 255, which the real tables never do.
  for (std::uint32_t seed : {1u, 2u, 3u, 4u}) {
    for (std::uint32_t offset : {0u, 1u, 258u, 65534u, 65535u}) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " offset " << offset);
      FillRandomTables(seed);
      if (seed % 2) std::memset(g_stage.Tables.HeightMap, 0, 4096);  // some flat columns too
      OracleFrame oracle = OracleFromState();
      RenderStageLandscape(offset);
      OracleRenderLandscape(oracle, offset);
      ASSERT_EQ(0, std::memcmp(g_stage.Tables.LandscapeImage, oracle.landscapeImage.data(), 65536));
    }
  }
}

}  // namespace
