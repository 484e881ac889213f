// Palette animation: which palettes blend, by how much, and how the phase moves.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "support/state_frame.h"
#include "plugin/effect_state.h"
#include "support/frame_oracle.h"

namespace {

class PaletteAnimationTest : public ::testing::Test {
 protected:
  // `count` palettes; entry k of palette p has red p * 10 + k % 7, green 255 - p, blue k, flags 1.
  void MakeSet(int count) {
    ResetEffectState();
    set_ = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(count) * 1024));
    for (int p = 0; p < count; ++p)
      for (int k = 0; k < 256; ++k) {
        std::uint8_t* e = set_ + p * 1024 + k * 4;
        e[0] = static_cast<std::uint8_t>(p * 10 + k % 7);
        e[1] = static_cast<std::uint8_t>(255 - p);
        e[2] = static_cast<std::uint8_t>(k);
        e[3] = 1;
      }
    g_state.PaletteSet = set_;
    g_state.PaletteCount = count;
    std::memset(g_state.Screen.DisplayPalette, 0xCD, sizeof g_state.Screen.DisplayPalette);
    for (PALETTEENTRY& e : g_state.Screen.DisplayPalette) e.peFlags = 0;
  }
  void TearDown() override {
    std::free(set_);
    set_ = nullptr;
    ResetEffectState();
  }
  std::uint8_t* Entry(int palette, int k) { return set_ + palette * 1024 + k * 4; }
  // Every entry is the blend of palettes a and b by f, as the rule computes it.
  void ExpectBlend(int a, int b, double f) {
    for (int k = 0; k < 256; ++k) {
      SCOPED_TRACE(k);
      const PALETTEENTRY& d = g_state.Screen.DisplayPalette[k];
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
  g_state.Counters.PalettePhase = 0.3f;
  AnimateStatePalette();
  EXPECT_EQ(g_state.Screen.DisplayPalette[9].peRed, 120);
  ExpectBlend(1, 2, std::fmod(static_cast<double>(static_cast<float>(4 * static_cast<double>(0.3f))), 1.0));
}

TEST_F(PaletteAnimationTest, LastPaletteBlendsBackIntoTheFirst) {
  MakeSet(4);
  g_state.Counters.PalettePhase = 0.8f;
  AnimateStatePalette();
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
    g_state.Counters.PalettePhase = c.phase;
    AnimateStatePalette();
    EXPECT_EQ(g_state.Screen.DisplayPalette[40].peBlue, c.expected);
    std::free(set_);
    set_ = nullptr;
  }
}

TEST_F(PaletteAnimationTest, SpeedZeroHoldsPaletteZeroWithFlagsClear) {
  MakeSet(3);
  for (int frame = 0; frame < 5; ++frame) {
    AnimateStatePalette();
    EXPECT_EQ(g_state.Counters.PalettePhase, 0.0f);
  }
  ExpectBlend(0, 1, 0.0);
}

TEST_F(PaletteAnimationTest, SinglePaletteShowsItselfWhateverThePhase) {
  MakeSet(1);
  for (float phase : {0.0f, 0.7f, 13.25f}) {
    g_state.Counters.PalettePhase = phase;
    AnimateStatePalette();
    ExpectBlend(0, 0, 0.0);
  }
}

TEST_F(PaletteAnimationTest, PhaseGrowsByTheStepInSinglePrecision) {
  MakeSet(2);
  g_state.Counters.PalettePhase = 0.3f;
  g_state.Params.PaletteStep = static_cast<float>(255 * 7.843137254901961e-05);
  AnimateStatePalette();
  EXPECT_EQ(g_state.Counters.PalettePhase, 0.3f + g_state.Params.PaletteStep);
  g_state.Counters.PalettePhase = 524288.0f;  // where the largest step no longer moves it
  AnimateStatePalette();
  EXPECT_EQ(g_state.Counters.PalettePhase, 524288.0f);
}

TEST_F(PaletteAnimationTest, FallingPhaseKeepsPaletteNumbersInRange) {
  // Product -1.2 lies 0.8 of the way from palette 2 to palette 3 (counting down from palette 0 = 4).
  MakeSet(4);
  g_state.Counters.PalettePhase = -0.3f;
  g_state.Params.PaletteStep = -0.02f;
  AnimateStatePalette();
  const double f = 1.0 + std::fmod(static_cast<double>(static_cast<float>(4 * static_cast<double>(-0.3f))), 1.0);
  ExpectBlend(2, 3, f);
  EXPECT_EQ(g_state.Counters.PalettePhase, -0.3f + -0.02f);
  for (int frame = 0; frame < 500; ++frame) {  // down through whole cycles: every blend stays between two palettes
    AnimateStatePalette();
    for (const PALETTEENTRY& e : g_state.Screen.DisplayPalette) ASSERT_EQ(e.peGreen >= 252 && e.peGreen <= 255, true);
  }
}

TEST_F(PaletteAnimationTest, HugeAndNonFinitePhasesStayDefined) {
  MakeSet(7);
  g_state.Counters.PalettePhase = 3.0e9f;  // product 2.1e10: beyond int, still an exact whole number
  AnimateStatePalette();
  const long long whole = static_cast<long long>(7 * static_cast<double>(3.0e9f));
  ExpectBlend(static_cast<int>(whole % 7), static_cast<int>((whole + 1) % 7), 0.0);
  g_state.Counters.PalettePhase = -3.0e9f;
  AnimateStatePalette();
  ExpectBlend(static_cast<int>((7 - whole % 7) % 7), static_cast<int>((8 - whole % 7) % 7), 0.0);
  for (float phase : {NAN, INFINITY, -INFINITY, 3.0e38f}) {
    SCOPED_TRACE(phase);
    g_state.Counters.PalettePhase = phase;
    AnimateStatePalette();
    ExpectBlend(0, 1, 0.0);
  }
}

TEST_F(PaletteAnimationTest, HandsAll256EntriesToThePaletteObject) {
  MakeSet(4);
  HeadlessResetDirectDraw();
  IDirectDraw* directDraw = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &directDraw, nullptr), DD_OK);
  PALETTEENTRY initial[256] = {};
  ASSERT_EQ(directDraw->CreatePalette(DDPCAPS_8BIT, initial, &g_state.Screen.Palette, nullptr), DD_OK);
  g_state.Counters.PalettePhase = 0.3f;
  AnimateStatePalette();
  PALETTEENTRY shown[256];
  ASSERT_TRUE(HeadlessNewestPalette(shown));
  EXPECT_EQ(0, std::memcmp(shown, g_state.Screen.DisplayPalette, sizeof shown));

  // A refused SetEntries is ignored: the phase still moves on.
  HeadlessInjectDirectDrawResult(HeadlessDdCall::SetEntries, DDERR_GENERIC);
  g_state.Params.PaletteStep = 0.01f;
  AnimateStatePalette();
  EXPECT_EQ(g_state.Counters.PalettePhase, 0.3f + 0.01f);

  g_state.Screen.Palette->Release();
  g_state.Screen.Palette = nullptr;
  directDraw->Release();
  EXPECT_EQ(HeadlessLiveDirectDrawObjects().palettes, 0);
  HeadlessResetDirectDraw();
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
    oracle.phase = g_state.Counters.PalettePhase = static_cast<float>(random() % 100000) / 997.0f;
    oracle.step = g_state.Params.PaletteStep = static_cast<float>((random() % 256) * 7.843137254901961e-05);
    for (int frame = 0; frame < 3; ++frame) {
      AnimateStatePalette();
      OracleAnimatePalette(oracle);
      for (int k = 0; k < 256; ++k) {
        ASSERT_EQ(g_state.Screen.DisplayPalette[k].peRed, oracle.display[k].peRed) << k;
        ASSERT_EQ(g_state.Screen.DisplayPalette[k].peGreen, oracle.display[k].peGreen) << k;
        ASSERT_EQ(g_state.Screen.DisplayPalette[k].peBlue, oracle.display[k].peBlue) << k;
      }
      ASSERT_EQ(g_state.Counters.PalettePhase, oracle.phase);
    }
    std::free(set_);
    set_ = nullptr;
  }
}

}  // namespace
