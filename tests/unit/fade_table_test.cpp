// The fade table: shade factors and their wrap, the nearest-colour rule, progress, fade.dat writing and loading.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "numeric/exact_math.h"
#include "data/plugin_data.h"
#include "plugin/fade_progress_bar.h"
#include "support/fade_oracle.h"
#include "support/plugin_folder_fixture.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The effect parameters as the settings store derives them from the three fade settings.
EffectParams FadeParams(int offset, int amplitude, int power) {
  EffectParams p;
  p.FadeBias = static_cast<float>(offset * static_cast<double>(0.003921568859368563f));
  p.FadeGain = static_cast<float>(amplitude * 0.0078125);
  p.FadeExponent = static_cast<float>(ExactExp((power - 192) * 0.015625));
  return p;
}
EffectParams DefaultParams() { return FadeParams(51, 104, 176); }

// One palette entry as the fade computation reads it: red, green, blue, flags.
struct PaletteBytes {
  std::uint8_t peRed, peGreen, peBlue, peFlags;
};
using Palette = std::vector<PaletteBytes>;

PaletteBytes Entry(int r, int g, int b) {
  return {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b), 1};
}

// Black to red to yellow to white in 6-bit steps, as a fire palette file holds it.
Palette RampPalette() {
  Palette p;
  for (int i = 0; i < 256; ++i) {
    int level = i * 3;  // 0 .. 765
    int r = std::min(level, 255), g = std::clamp(level - 255, 0, 255), b = std::clamp(level - 510, 0, 255);
    p.push_back(Entry(r >> 2 << 2, g >> 2 << 2, b >> 2 << 2));
  }
  return p;
}
Palette RandomPalette(unsigned seed, bool sixBit) {
  std::mt19937 rng(seed);
  Palette p;
  for (int i = 0; i < 256; ++i) {
    int r = rng() & 255, g = rng() & 255, b = rng() & 255;
    if (sixBit) r = r >> 2 << 2, g = g >> 2 << 2, b = b >> 2 << 2;
    p.push_back(Entry(r, g, b));
  }
  return p;
}
Palette EqualPalette() { return Palette(256, Entry(120, 64, 200)); }
Palette DuplicatesPalette() {
  Palette few = RandomPalette(7, true), p;
  for (int i = 0; i < 256; ++i) p.push_back(few[(i * 37) % 24]);
  return p;
}

std::vector<std::uint8_t> Fast(const Palette& palette, const EffectParams& params) {
  std::vector<std::uint8_t> out(65536, 0xEE);
  FillFadeTable(reinterpret_cast<const std::uint8_t*>(palette.data()), params, out.data());
  return out;
}
std::vector<std::uint8_t> Literal(const Palette& palette, const EffectParams& params) {
  std::vector<std::uint8_t> out(65536, 0xDD);
  LiteralFadeTable(reinterpret_cast<const std::uint8_t*>(palette.data()), params, out.data());
  return out;
}

void ExpectSameTables(const std::vector<std::uint8_t>& fast, const std::vector<std::uint8_t>& literal) {
  for (int i = 0; i < 65536; ++i) ASSERT_EQ(fast[i], literal[i]) << "colour " << (i >> 8) << ", shade " << (i & 255);
}

}  // namespace

TEST(FadeFactor, DefaultsScaleColourBytesAtTheEnds) {
  const EffectParams p = DefaultParams();
  const double f0 = FadeFactor(p, 0), f255 = FadeFactor(p, 255);
  EXPECT_EQ(f0, static_cast<double>(p.FadeBias));  // the power of 0 is 0
  EXPECT_EQ(ScaledColourByte(f0 * 252), 50);
  EXPECT_EQ(ScaledColourByte(f0 * 128), 25);
  EXPECT_EQ(ScaledColourByte(f0 * 4), 0);
  EXPECT_EQ(ScaledColourByte(f255 * 252), 255);
  EXPECT_EQ(ScaledColourByte(f255 * 128), 129);
  EXPECT_EQ(ScaledColourByte(f255 * 4), 4);
  EXPECT_NEAR(FadeFactor(p, 128), 0.675, 0.001);
}

TEST(FadeFactor, ScaledBytesWrapAndOutOfRangeValuesAreDefined) {
  const struct {
    double value;
    int byte;
  } cases[] = {{1.5 * 252, 122},    {255.99, 255},       {256.0, 0},   {-0.9, 0},        {-1.5, 255},
               {2147483646.9, 254}, {2147483647.0, 255}, {1e300, 255}, {kInf, 255},      {-2147483647.5, 1},
               {-2147483648.0, 0},  {-1e300, 0},         {-kInf, 0},   {std::nan(""), 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(ScaledColourByte(c.value), c.byte);
  }
}

TEST(FadeTable, IdenticalEntriesResolveToTheLowerIndex) {
  Palette palette = RandomPalette(11, true);
  palette[20] = palette[10];
  const auto table = Fast(palette, DefaultParams());
  for (int i = 0; i < 65536; ++i) ASSERT_NE(table[i], 20) << i;
  EXPECT_EQ(Fast(palette, FadeParams(0, 128, 192))[10 * 256 + 255], 10);
}

TEST(FadeTable, IdentityCurveMapsColoursOntoThemselvesAndBlack) {
  Palette palette = DuplicatesPalette();
  const auto table = Fast(palette, FadeParams(0, 128, 192));
  for (int c = 0; c < 256; ++c) {
    SCOPED_TRACE(c);
    int first = 0;
    while (std::memcmp(&palette[first], &palette[c], 3) != 0) ++first;
    EXPECT_EQ(table[c * 256 + 255], first);
    int darkest = 0, darkestD = 1 << 30;
    for (int j = 0; j < 256; ++j) {
      int d = palette[j].peRed * palette[j].peRed + palette[j].peGreen * palette[j].peGreen +
              palette[j].peBlue * palette[j].peBlue;
      if (d < darkestD) darkestD = d, darkest = j;
    }
    EXPECT_EQ(table[c * 256], darkest);
  }
}

TEST(FadeTable, WrappedColourIsSearchedAsWrapped) {
  Palette palette = RampPalette();
  palette[0] = Entry(252, 0, 0);
  palette[1] = Entry(122, 0, 0);
  palette[2] = Entry(255, 0, 0);
  EffectParams p{};
  p.FadeBias = 1.5f;  // factor 1.5 at every step
  p.FadeGain = 0.0f;
  p.FadeExponent = 1.0f;
  const auto table = Fast(palette, p);
  EXPECT_EQ(table[0 * 256 + 0], 1);
  EXPECT_EQ(table[0 * 256 + 255], 1);
}

TEST(FadeTable, MatchesTheLiteralSearchForEveryPaletteAndCurve) {
  const struct {
    const char* name;
    Palette palette;
  } palettes[] = {{"ramp", RampPalette()},
                  {"random", RandomPalette(1, true)},
                  {"random 8-bit", RandomPalette(2, false)},
                  {"all equal", EqualPalette()},
                  {"duplicates", DuplicatesPalette()}};
  const struct {
    const char* name;
    EffectParams params;
  } curves[] = {{"defaults", DefaultParams()},
                {"power 0", FadeParams(51, 104, 0)},
                {"power 255", FadeParams(51, 104, 255)},
                {"amplitude 255", FadeParams(51, 255, 176)},
                {"offset 255", FadeParams(255, 104, 176)}};
  // Every palette with the default curve; the ramp and the random palette with every curve.
  for (const auto& palette : palettes)
    for (const auto& curve : curves) {
      if (&curve != &curves[0] && &palette != &palettes[0] && &palette != &palettes[1]) continue;
      SCOPED_TRACE(palette.name);
      SCOPED_TRACE(curve.name);
      ExpectSameTables(Fast(palette.palette, curve.params), Literal(palette.palette, curve.params));
    }
}

TEST(FadeTable, InfiniteAndHugeFactorsGiveTheDefinedBytes) {
  const Palette palette = RandomPalette(3, false);
  EffectParams infinite = DefaultParams();
  infinite.FadeGain = std::numeric_limits<float>::infinity();
  EffectParams huge = DefaultParams();
  huge.FadeBias = 3e38f;
  EffectParams notANumber = DefaultParams();
  notANumber.FadeBias = std::numeric_limits<float>::quiet_NaN();
  for (const EffectParams& p : {infinite, huge, notANumber}) ExpectSameTables(Fast(palette, p), Literal(palette, p));
  // A huge factor saturates every non-zero byte to 255: the query is (255, 255, 255) or 0 where the byte is 0.
  EXPECT_EQ(ScaledColourByte(FadeFactor(huge, 17) * 200), 255);
}

TEST(FadeTable, ProgressReportsEveryRowAndMovesTheBarAtItsOldPositions) {
  const Palette palette = RampPalette();
  std::vector<std::uint8_t> out(65536);
  std::vector<int> reports;
  const FadeProgress record{[](void* context, int done) { static_cast<std::vector<int>*>(context)->push_back(done); },
                            &reports};
  FillFadeTable(reinterpret_cast<const std::uint8_t*>(palette.data()), DefaultParams(), out.data(), record);
  ASSERT_EQ(reports.size(), 257u);
  for (int i = 0; i <= 256; ++i) EXPECT_EQ(reports[i], i);

  // The dialog's bar: positions 7..14 of every 16 rows, then 0.
  std::vector<int> expected, positions;
  for (int c = 0; c < 256; ++c)
    if (c % 16 >= 7 && c % 16 <= 14) expected.push_back(c);
  expected.push_back(0);
  for (int done : reports)
    if (FadeBarPosition(done) >= 0) positions.push_back(FadeBarPosition(done));
  EXPECT_EQ(positions.size(), 129u);
  EXPECT_EQ(positions, expected);
}

// --- fade.dat ----------------------------------------------------------------------------------------------------

namespace {

class FadeFileTest : public testing::Test {
 protected:
  void SetUp() override { folder_ = MakePluginFolder(); }
  void TearDown() override { RemovePluginFolder(folder_); }
  std::filesystem::path FadePath() const { return folder_.root / "TavelDat" / "fade.dat"; }
  // Writes "refrence.pal" from 6-bit values and returns the palette it expands to.
  Palette WriteReference(unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<unsigned char> bytes(768);
    for (auto& b : bytes) b = static_cast<unsigned char>(rng() & 63);
    WriteFileBytes(folder_.root / "TavelDat" / "refrence.pal", bytes);
    Palette p;
    for (int i = 0; i < 256; ++i) p.push_back(Entry(bytes[3 * i] << 2, bytes[3 * i + 1] << 2, bytes[3 * i + 2] << 2));
    return p;
  }
  PluginFolder folder_{};
};

}  // namespace

TEST_F(FadeFileTest, BuildWritesTheComputedTable) {
  const Palette reference = WriteReference(5);
  const EffectParams params = DefaultParams();
  WriteFileBytes(FadePath(), std::vector<unsigned char>(70000, 9));  // an older, longer file is replaced
  ASSERT_EQ(BuildFadeFile(folder_.root, params, {}), kFadeBuilt);
  const auto written = ReadFileBytes(FadePath());
  ASSERT_EQ(written.size(), 65536u);
  ExpectSameTables(std::vector<std::uint8_t>(written.begin(), written.end()), Literal(reference, params));
}

TEST_F(FadeFileTest, BuildFailuresNameTheirCauseQuietly) {
  const EffectParams params = DefaultParams();
  WriteFileBytes(FadePath(), std::vector<unsigned char>(65536, 9));
  EXPECT_EQ(BuildFadeFile(folder_.root, params, {}), kFadeNoReference);
  EXPECT_EQ(ReadFileBytes(FadePath()), std::vector<unsigned char>(65536, 9));  // untouched

  // A folder where fade.dat belongs cannot be written.
  WriteReference(6);
  std::filesystem::remove(FadePath());
  std::filesystem::create_directory(FadePath());
  EXPECT_EQ(BuildFadeFile(folder_.root, params, {}), kFadeNotWritten);
  EXPECT_TRUE(std::filesystem::is_directory(FadePath()));
}

TEST_F(FadeFileTest, LoadTakesOnlyAWholeFile) {
  std::vector<unsigned char> bytes(65536);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i ^ (i >> 8));
  WriteFileBytes(FadePath(), bytes);
  const std::vector<std::uint8_t> table = ReadFadeTable(FadePath());
  ASSERT_EQ(table.size(), 65536u);
  EXPECT_EQ(std::memcmp(table.data(), bytes.data(), 65536), 0);

  const long sizes[] = {65535, 65537, 0, -1};
  for (long size : sizes) {
    SCOPED_TRACE(size);
    std::filesystem::remove(FadePath());
    if (size >= 0) WriteFileBytes(FadePath(), std::vector<unsigned char>(static_cast<std::size_t>(size), 1));
    EXPECT_TRUE(ReadFadeTable(FadePath()).empty());
  }
}
