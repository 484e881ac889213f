// The table set: tunnel, perspective and conversion tables, the build's step codes, messages and clean-up.
#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "core/engine.h"
#include "core/table_builder.h"
#include "data/plugin_data.h"
#include "support/plugin_folder_fixture.h"

namespace {

std::vector<std::uint16_t> TunnelTable320x200() {
  std::vector<std::uint16_t> table(320 * 200, 0xDEAD);
  FillTunnelTable(table.data(), 320, 200);
  return table;
}

int AngleAt(const std::vector<std::uint16_t>& table, int x, int y) { return table[y * 320 + x] >> 8; }

std::vector<std::uint8_t> PerspectiveTable(TableSet* constants = nullptr) {
  std::vector<std::uint8_t> table(512, 0xAA);
  TableSet own{};
  FillPerspectiveTable(constants ? *constants : own, table.data());
  return table;
}

}  // namespace

TEST(TunnelTable, SampleEntries) {
  const auto table = TunnelTable320x200();
  const struct {
    int x, y;
    std::uint16_t entry;
  } samples[] = {{160, 100, 0x00FF}, {161, 100, 0x00FE}, {159, 100, 0x80FE}, {160, 99, 0xC0FE}, {160, 101, 0x41FE},
                 {0, 100, 0x805F},   {0, 0, 0x9743},     {319, 0, 0xEA44},   {0, 199, 0x6A43},  {319, 199, 0x1744}};
  for (const auto& s : samples) {
    SCOPED_TRACE(testing::Message() << "(" << s.x << ", " << s.y << ")");
    EXPECT_EQ(table[s.y * 320 + s.x], s.entry);
  }
}

TEST(TunnelTable, AxesAndDiagonalsTruncateOntoMultiplesOf32) {
  const auto table = TunnelTable320x200();
  for (int d = 1; d < 100; ++d) {
    SCOPED_TRACE(d);
    EXPECT_EQ(AngleAt(table, 160 + d, 100), 0);    // right
    EXPECT_EQ(AngleAt(table, 160 - d, 100), 128);  // left
    EXPECT_EQ(AngleAt(table, 160, 100 + d), 65);   // down: 64 + 1 below the centre row
    EXPECT_EQ(AngleAt(table, 160, 100 - d), 192);  // up
    EXPECT_EQ(AngleAt(table, 160 + d, 100 + d), 33);
    EXPECT_EQ(AngleAt(table, 160 - d, 100 + d), 97);
    EXPECT_EQ(AngleAt(table, 160 - d, 100 - d), 160);
    EXPECT_EQ(AngleAt(table, 160 + d, 100 - d), 224);
  }
  for (int d = 100; d < 160; ++d) {
    SCOPED_TRACE(d);
    EXPECT_EQ(AngleAt(table, 160 + d, 100), 0);
    EXPECT_EQ(AngleAt(table, 160 - d, 100), 128);
  }
}

TEST(TunnelTable, EveryAngleStepOccursAndDistancesStayWithinTheScreen) {
  const auto table = TunnelTable320x200();
  std::set<int> angles;
  int lowest = 255, highest = 0;
  for (std::uint16_t e : table) {
    angles.insert(e >> 8);
    lowest = std::min(lowest, e & 0xFF);
    highest = std::max(highest, e & 0xFF);
  }
  EXPECT_EQ(angles.size(), 256u);
  EXPECT_EQ(lowest, 67);  // distance 188 at the corners
  EXPECT_EQ(highest, 255);
}

TEST(TunnelTable, RowsAreDenseForOddSizes) {
  std::vector<std::uint16_t> table(7 * 5 + 1, 0xDEAD);
  FillTunnelTable(table.data(), 7, 5);
  EXPECT_EQ(table[2 * 7 + 3], 0x00FF);  // centre (3, 2)
  EXPECT_EQ(table[2 * 7 + 6], 0x00FC);  // three to the right
  EXPECT_EQ(table[7 * 5], 0xDEAD);      // nothing written past the end
}

TEST(PerspectiveTable, ConstantsKeepTheirSinglePrecisionBits) {
  TableSet t{};
  PerspectiveTable(&t);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(t.BaseNumerator), 0xC5888889u);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(t.BaseOffset), 0xC5880000u);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(t.ScaleNumerator), 0xC52AAAABu);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(t.ScaleOffset), 0xC5299999u);
}

TEST(PerspectiveTable, KnownRows) {
  const auto table = PerspectiveTable();
  const struct {
    int s, base, scale;
  } rows[] = {{0, 0, 119},    {1, 14, 113},  {2, 26, 107},  {3, 38, 102},  {4, 48, 97},   {5, 58, 92},
              {8, 81, 81},    {16, 123, 61}, {17, 127, 60}, {32, 166, 41}, {64, 202, 25}, {100, 218, 17},
              {128, 225, 14}, {200, 235, 9}, {254, 239, 7}, {255, 239, 7}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.s);
    EXPECT_EQ(table[2 * r.s], r.base);
    EXPECT_EQ(table[2 * r.s + 1], r.scale);
  }
}

TEST(PerspectiveTable, ShapeAndSums) {
  const auto table = PerspectiveTable();
  int baseSum = 0, scaleSum = 0, firstBase239 = -1, firstScale7 = -1;
  for (int s = 0; s < 256; ++s) {
    SCOPED_TRACE(s);
    const int base = table[2 * s], scale = table[2 * s + 1];
    baseSum += base;
    scaleSum += scale;
    EXPECT_LE(base + scale, 246);
    if (s > 0) {
      EXPECT_GE(base, table[2 * s - 2]);
      EXPECT_LE(scale, table[2 * s - 1]);
    }
    if (base == 239 && firstBase239 < 0) firstBase239 = s;
    if (scale == 7 && firstScale7 < 0) firstScale7 = s;
  }
  EXPECT_EQ(baseSum, 53178);
  EXPECT_EQ(scaleSum, 5602);
  EXPECT_EQ(firstBase239, 240);
  EXPECT_EQ(firstScale7, 239);
}

TEST(ConversionTable, ProductsOver255) {
  std::vector<std::uint8_t> table(65536, 0xAA);
  FillConversionTable(table.data());
  EXPECT_EQ(table[255 * 256 + 255], 255);
  EXPECT_EQ(table[254 * 256 + 254], 253);
  EXPECT_EQ(table[128 * 256 + 255], 128);
  EXPECT_EQ(table[1 * 256 + 254], 0);
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) {
      ASSERT_EQ(table[a * 256 + b], a * b / 255) << a << " x " << b;
      ASSERT_EQ(table[a * 256 + b], table[b * 256 + a]) << a << " x " << b;
    }
}

// --- BuildTables -------------------------------------------------------------------------------------------------

namespace {

int g_allocationCalls = 0;
int g_failingCall = 0;  // 0 = none

void* FailingAllocator(std::size_t bytes) {
  ++g_allocationCalls;
  if (g_allocationCalls == g_failingCall) return nullptr;
  return std::malloc(bytes);
}

class BuildTablesTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakePluginFolder();
    fade_.resize(65536);
    for (std::size_t i = 0; i < fade_.size(); ++i) fade_[i] = static_cast<unsigned char>(i * 7 + (i >> 8));
    WriteFileBytes(folder_.root / "TavelDat" / "fade.dat", fade_);
    g_allocationCalls = 0;
    g_failingCall = 0;
  }
  void TearDown() override {
    engine_.Release();
    RemovePluginFolder(folder_);
  }
  // The engine built from the folder's data set as the plug-in's Init builds it, every block from the failing
  // allocator.
  int BuildTables() {
    EngineInputs inputs;
    ReadEngineInputs(folder_.root, settings_, inputs);
    return engine_.Build(std::move(inputs), 320, 200, FailingAllocator);
  }
  void ExpectNoBlocks() const {
    const TableSet& t = engine_.Tables();
    EXPECT_EQ(t.TunnelTable, nullptr);
    EXPECT_EQ(t.PerspectiveTable, nullptr);
    EXPECT_EQ(t.ConversionTable, nullptr);
    EXPECT_EQ(t.TextureMap, nullptr);
    EXPECT_EQ(t.FadeTable, nullptr);
    EXPECT_EQ(t.LandscapeImage, nullptr);
    EXPECT_EQ(t.WaveBuffer[0], nullptr);
    EXPECT_EQ(t.WaveBuffer[1], nullptr);
    EXPECT_EQ(t.HeightMap, nullptr);
    EXPECT_FALSE(engine_.Built());
  }
  PluginFolder folder_{};
  EffectSettings settings_{};
  Engine engine_;
  std::vector<unsigned char> fade_;
};

}  // namespace

TEST_F(BuildTablesTest, BuildsTheWholeSet) {
  ASSERT_EQ(BuildTables(), 0);
  const TableSet& t = engine_.Tables();
  EXPECT_TRUE(engine_.Built());
  EXPECT_EQ(t.TunnelCentreX, 160u);
  EXPECT_EQ(t.TunnelCentreY, 100u);
  EXPECT_EQ(g_allocationCalls, 9);
  EXPECT_EQ(t.TunnelTable[100 * 320 + 160], 0x00FF);
  EXPECT_EQ(t.TunnelTable[199 * 320 + 319], 0x1744);
  EXPECT_EQ(t.PerspectiveTable[1], 119);
  EXPECT_EQ(t.ConversionTable[254 * 256 + 254], 253);
  EXPECT_EQ(std::memcmp(t.FadeTable, fade_.data(), 65536), 0);
  for (int i = 0; i < 65536; ++i) {
    ASSERT_EQ(t.WaveBuffer[0][i], 0) << i;
    ASSERT_EQ(t.WaveBuffer[1][i], 0) << i;
  }
  // The frame buffers a quarter page apart, counted from the image, and 16-byte aligned.
  const auto phase = [&](const void* block) {
    return (reinterpret_cast<std::uintptr_t>(block) - reinterpret_cast<std::uintptr_t>(t.LandscapeImage)) % 4096;
  };
  const auto imageMisalignment = reinterpret_cast<std::uintptr_t>(t.LandscapeImage) % 16;
  EXPECT_EQ(phase(t.WaveBuffer[0]), 1024 - imageMisalignment);
  EXPECT_EQ(phase(t.WaveBuffer[1]), 2048 - imageMisalignment);
  EXPECT_EQ(phase(t.HeightMap), 3072 - imageMisalignment);
  for (const void* block : {static_cast<const void*>(t.WaveBuffer[0]), static_cast<const void*>(t.WaveBuffer[1]),
                            static_cast<const void*>(t.HeightMap)})
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 16, 0u);
}

TEST_F(BuildTablesTest, WithoutTextureBothHalvesAreFlat) {
  settings_.UseTexture = 0;
  ASSERT_EQ(BuildTables(), 0);
  for (int i = 0; i < 131072; ++i) ASSERT_EQ(engine_.Tables().TextureMap[i], 251) << i;
}

TEST_F(BuildTablesTest, EachFailedAllocationLeavesItsMessageAndReleasesTheBuild) {
  const struct {
    int call, code;
    const char* text;
  } cases[] = {{1, 1, "Error allocating memory for tunnel table"},
               {2, 2, "Error allocating memory for perspective table"},
               {3, 3, "Error allocating memory for conversion table"},
               {4, 4, "Error allocating memory for texture"},
               {5, 5, "Error allocating memory for fade table"},
               {6, 6, "Error allocating memory for landscape-table"},
               {7, 9, "Error allocating memory for wave-table #0"},
               {8, 10, "Error allocating memory for wave-table #1"},
               {9, 11, "Error allocating memory for the final wave-table"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    g_allocationCalls = 0;
    g_failingCall = c.call;
    EXPECT_EQ(BuildTables(), c.code);
    EXPECT_EQ(g_allocationCalls, c.call);  // nothing after the failing step
    EXPECT_STREQ(EngineBuildAllocationText(c.code), c.text);
    ExpectNoBlocks();
  }
  for (int code : {0, 7, 8, 12, -1}) EXPECT_EQ(EngineBuildAllocationText(code), nullptr) << code;
}

TEST_F(BuildTablesTest, RejectedTextureGivesSevenWithoutMessage) {
  settings_.UseTexture = 1;
  settings_.TextureName[0] = '\0';  // no file: the loader refuses it
  EXPECT_EQ(BuildTables(), 7);
  EXPECT_EQ(g_allocationCalls, 6);  // no wave buffer, no height map
  ExpectNoBlocks();
}

TEST_F(BuildTablesTest, FadeFileOfWrongSizeOrMissingGivesEightWithoutMessage) {
  const long sizes[] = {65535, 65537, -1};
  for (long size : sizes) {
    SCOPED_TRACE(size);
    const auto path = folder_.root / "TavelDat" / "fade.dat";
    std::filesystem::remove(path);
    if (size >= 0) WriteFileBytes(path, std::vector<unsigned char>(static_cast<std::size_t>(size), 3));
    g_allocationCalls = 0;
    EXPECT_EQ(BuildTables(), 8);
    EXPECT_EQ(g_allocationCalls, 6);
    ExpectNoBlocks();
  }
}

TEST_F(BuildTablesTest, SetCanBeBuiltAgainAfterFailureAndRelease) {
  g_failingCall = 5;
  EXPECT_EQ(BuildTables(), 5);
  g_failingCall = 0;
  EXPECT_EQ(BuildTables(), 0);
  engine_.Release();
  ExpectNoBlocks();
  EXPECT_EQ(BuildTables(), 0);
  EXPECT_TRUE(engine_.Built());
}
