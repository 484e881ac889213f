// Palette animation: which palettes blend, by how much, and how the phase moves.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "support/stage_record.h"
#include "support/frame_oracle.h"

namespace {

class PaletteAnimationTest : public ::testing::Test {
 protected:
  // `count` palettes; entry k of palette p has red p * 10 + k % 7, green 255 - p, blue k, flags 1.
  void MakeSet(int count) {
    ResetStageRecord();
    set_ = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(count) * 1024));
    for (int p = 0; p < count; ++p)
      for (int k = 0; k < 256; ++k) {
        std::uint8_t* e = set_ + p * 1024 + k * 4;
        e[0] = static_cast<std::uint8_t>(p * 10 + k % 7);
        e[1] = static_cast<std::uint8_t>(255 - p);
        e[2] = static_cast<std::uint8_t>(k);
        e[3] = 1;
      }
    g_stage.PaletteSet = set_;
    g_stage.PaletteCount = count;
    std::memset(g_stage.DisplayPalette, 0xCD, sizeof g_stage.DisplayPalette);
    for (StageEntry& e : g_stage.DisplayPalette) e.peFlags = 0;
  }
  void TearDown() override {
    std::free(set_);
    set_ = nullptr;
    ResetStageRecord();
  }
  std::uint8_t* Entry(int palette, int k) { return set_ + palette * 1024 + k * 4; }
  // Every entry is the blend of palettes a and b by f, as the rule computes it.
  void ExpectBlend(int a, int b, double f) {
    for (int k = 0; k < 256; ++k) {
      SCOPED_TRACE(k);
      const StageEntry& d = g_stage.DisplayPalette[k];
      const std::uint8_t* A = Entry(a, k);
      const std::uint8_t* B = Entry(b, k);
      ASSERT_EQ(d.peRed, static_cast<int>(A[0] + f * (B[0] - A[0])));
      ASSERT_EQ(d.peGreen, static_cast<int>(A[1] + f * (B[1] - A[1])));
      ASSERT_EQ(d.peBlue, static_cast<int>(A[2] + f * (B[2] - A[2])));
      ASSERT_EQ(d.peFlags, 0);
    }
  }

  std::uint8_t* set_ = nullptr;
};

TEST_F(PaletteAnimationTest, FourPalettesAtPhase03BlendPalette1Into2) {
  MakeSet(4);
  Entry(1, 9)[0] = 100;
  Entry(2, 9)[0] = 200;
  g_stage.Counters.PalettePhase = 0.3f;
  AnimateStagePalette();
  EXPECT_EQ(g_stage.DisplayPalette[9].peRed, 120);
  ExpectBlend(1, 2, std::fmod(static_cast<double>(static_cast<float>(4 * static_cast<double>(0.3f))), 1.0));
}

TEST_F(PaletteAnimationTest, LastPaletteBlendsBackIntoTheFirst) {
  MakeSet(4);
  g_stage.Counters.PalettePhase = 0.8f;
  AnimateStagePalette();
  ExpectBlend(3, 0, std::fmod(static_cast<double>(static_cast<float>(4 * static_cast<double>(0.8f))), 1.0));
}

TEST_F(PaletteAnimationTest, BlendsInBothDirectionsAndDropsFractions) {
  struct Case {
    float phase;  // with four palettes: 0.125 is f = 0.5, 0.0625 is f = 0.25
    int from, to, expected;
  } cases[] = {{0.125f, 200, 100, 150}, {0.0625f, 200, 100, 175}, {0.125f, 0, 3, 1}, {0.125f, 100, 200, 150}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.phase << " " << c.from << "->" << c.to);
    MakeSet(4);
    Entry(0, 40)[2] = static_cast<std::uint8_t>(c.from);
    Entry(1, 40)[2] = static_cast<std::uint8_t>(c.to);
    g_stage.Counters.PalettePhase = c.phase;
    AnimateStagePalette();
    EXPECT_EQ(g_stage.DisplayPalette[40].peBlue, c.expected);
    std::free(set_);
    set_ = nullptr;
  }
}

TEST_F(PaletteAnimationTest, SpeedZeroHoldsPaletteZeroWithFlagsClear) {
  MakeSet(3);
  for (int frame = 0; frame < 5; ++frame) {
    AnimateStagePalette();
    EXPECT_EQ(g_stage.Counters.PalettePhase, 0.0f);
  }
  ExpectBlend(0, 1, 0.0);
}

TEST_F(PaletteAnimationTest, SinglePaletteShowsItselfWhateverThePhase) {
  MakeSet(1);
  for (float phase : {0.0f, 0.7f, 13.25f}) {
    g_stage.Counters.PalettePhase = phase;
    AnimateStagePalette();
    ExpectBlend(0, 0, 0.0);
  }
}

TEST_F(PaletteAnimationTest, PhaseGrowsByTheStepInSinglePrecision) {
  MakeSet(2);
  g_stage.Counters.PalettePhase = 0.3f;
  g_stage.Params.PaletteStep = static_cast<float>(255 * 7.843137254901961e-05);
  AnimateStagePalette();
  EXPECT_EQ(g_stage.Counters.PalettePhase, 0.3f + g_stage.Params.PaletteStep);
  g_stage.Counters.PalettePhase = 524288.0f;  // where the largest step no longer moves it
  AnimateStagePalette();
  EXPECT_EQ(g_stage.Counters.PalettePhase, 524288.0f);
}

TEST_F(PaletteAnimationTest, FallingPhaseKeepsPaletteNumbersInRange) {
  // Product -1.2 lies 0.8 of the way from palette 2 to palette 3 (counting down from palette 0 = 4).
  MakeSet(4);
  g_stage.Counters.PalettePhase = -0.3f;
  g_stage.Params.PaletteStep = -0.02f;
  AnimateStagePalette();
  const double f = 1.0 + std::fmod(static_cast<double>(static_cast<float>(4 * static_cast<double>(-0.3f))), 1.0);
  ExpectBlend(2, 3, f);
  EXPECT_EQ(g_stage.Counters.PalettePhase, -0.3f + -0.02f);
  for (int frame = 0; frame < 500; ++frame) {  // down through whole cycles: every blend stays between two palettes
    AnimateStagePalette();
    for (const StageEntry& e : g_stage.DisplayPalette) ASSERT_EQ(e.peGreen >= 252 && e.peGreen <= 255, true);
  }
}

TEST_F(PaletteAnimationTest, HugeAndNonFinitePhasesStayDefined) {
  MakeSet(7);
  g_stage.Counters.PalettePhase = 3.0e9f;  // product 2.1e10: beyond int, still an exact whole number
  AnimateStagePalette();
  const long long whole = static_cast<long long>(7 * static_cast<double>(3.0e9f));
  ExpectBlend(static_cast<int>(whole % 7), static_cast<int>((whole + 1) % 7), 0.0);
  g_stage.Counters.PalettePhase = -3.0e9f;
  AnimateStagePalette();
  ExpectBlend(static_cast<int>((7 - whole % 7) % 7), static_cast<int>((8 - whole % 7) % 7), 0.0);
  for (float phase : {NAN, INFINITY, -INFINITY, 3.0e38f}) {
    SCOPED_TRACE(phase);
    g_stage.Counters.PalettePhase = phase;
    AnimateStagePalette();
    ExpectBlend(0, 1, 0.0);
  }
}

TEST_F(PaletteAnimationTest, MatchesTheLiteralBlendOnRandomSets) {
  std::mt19937 random(5);
  for (int round = 0; round < 40; ++round) {
    const int count = 1 + static_cast<int>(random() % 9);
    SCOPED_TRACE(testing::Message() << "round " << round << " count " << count);
    MakeSet(count);
    for (int i = 0; i < count * 1024; ++i) set_[i] = static_cast<std::uint8_t>(random());
    OraclePalette oracle;
    oracle.set.assign(set_, set_ + count * 1024);
    oracle.count = count;
    oracle.phase = g_stage.Counters.PalettePhase = static_cast<float>(random() % 100000) / 997.0f;
    oracle.step = g_stage.Params.PaletteStep = static_cast<float>((random() % 256) * 7.843137254901961e-05);
    for (int frame = 0; frame < 3; ++frame) {
      AnimateStagePalette();
      OracleAnimatePalette(oracle);
      for (int k = 0; k < 256; ++k) {
        ASSERT_EQ(g_stage.DisplayPalette[k].peRed, oracle.display[k].peRed) << k;
        ASSERT_EQ(g_stage.DisplayPalette[k].peGreen, oracle.display[k].peGreen) << k;
        ASSERT_EQ(g_stage.DisplayPalette[k].peBlue, oracle.display[k].peBlue) << k;
      }
      ASSERT_EQ(g_stage.Counters.PalettePhase, oracle.phase);
    }
    std::free(set_);
    set_ = nullptr;
  }
}

}  // namespace
