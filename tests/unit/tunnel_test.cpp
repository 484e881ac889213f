// The tunnel mapper: known pixels of the real table, pitch padding, and the literal mapper on random input; the
// tunnel at other picture sizes: the 320 x 200 anchor, symmetry, the blend.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/stage_record.h"
#include "support/frame_oracle.h"
#include "core/hd_tunnel.h"

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

// The tunnel at a picture's own size.
namespace {

std::vector<std::uint32_t> RandomColours(unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint32_t> colours(256);
  for (std::uint32_t& c : colours) c = static_cast<std::uint32_t>(random());
  return colours;
}

std::vector<std::uint8_t> RandomLandscape(unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> image(65536);
  for (std::uint8_t& v : image) v = static_cast<std::uint8_t>(random());
  return image;
}

std::vector<std::uint32_t> HdMap(int width, int height, HdSampling sampling) {
  std::vector<std::uint32_t> map(static_cast<std::size_t>(width) * height);
  FillHdTunnelMap(map.data(), width, height, CentredHdView(width, height, 1, false), sampling);
  return map;
}

// At 320 x 200 with nearest sampling every pixel is the 320 x 200 frame's, in its colour, in either pixel size;
// the bytes past each row up to the pitch stay as they were.
TEST(HdTunnelTest, NearestAt320x200IsTheClassicFrame) {
  const std::vector<std::uint8_t> image = RandomLandscape(5);
  const std::vector<std::uint32_t> colours = RandomColours(6);
  std::vector<std::uint16_t> table(320 * 200);
  FillLiteralTunnelTable(table.data(), 320, 200);
  HdTunnel hd;
  ASSERT_TRUE(hd.Prepare(320, 200, CentredHdView(320, 200, 1, false), HdSampling::Nearest));
  for (const int bytes : {3, 4}) {
    SCOPED_TRACE(bytes);
    const int pitch = 320 * bytes + 5;
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(pitch) * 200, 0xCD);
    hd.Draw(image.data(), colours.data(), picture.data(), pitch, bytes);
    for (int y = 0; y < 200; ++y) {
      for (int x = 0; x < 320; ++x) {
        const std::uint32_t want = colours[image[table[y * 320 + x]]];
        ASSERT_EQ(0, std::memcmp(&picture[y * pitch + x * bytes], &want, bytes)) << x << "," << y;
      }
      for (int k = 320 * bytes; k < pitch; ++k) ASSERT_EQ(picture[y * pitch + k], 0xCD) << y;
    }
  }
}

// At an even size the tunnel's centre (that of frame pixel 160, 100) falls on a pixel corner, so the picture is
// mirrored about it: the same distance, the angle reflected (to within the weights' rounding).
TEST(HdTunnelTest, MappingIsSymmetricAboutTheCentreAtAnEvenSize) {
  for (const HdSampling sampling : {HdSampling::Bilinear, HdSampling::Sharp}) {
    SCOPED_TRACE(static_cast<int>(sampling));
    const std::vector<std::uint32_t> map = HdMap(640, 400, sampling);
    const auto at = [&](int x, int y) { return map[y * 640 + x]; };
    const auto rowOf = [](std::uint32_t e) { return (e & 0xFF) * 128 + HdEntryRowWeight(e); };
    const auto columnOf = [](std::uint32_t e) {
      return static_cast<int>(e >> 8 & 0xFF) * 128 + HdEntryColumnWeight(e);
    };
    const auto sameAngle = [](int a, int b) {
      const int d = ((a - b) % 32768 + 32768) % 32768;
      return d <= 1 || d >= 32767;
    };
    for (int y = 2; y < 400; ++y) {
      for (int x = 2; x < 640; ++x) {
        const std::uint32_t e = at(x, y), across = at(641 - x, y), down = at(x, 401 - y);
        ASSERT_EQ(rowOf(e), rowOf(across)) << x << "," << y;
        ASSERT_EQ(rowOf(e), rowOf(down)) << x << "," << y;
        // Left-right reflects angle a to 128 - a, up-down to -a; texel c's centre is at angle c - 0.5.
        ASSERT_TRUE(sameAngle(columnOf(across), 129 * 128 - columnOf(e))) << x << "," << y;
        ASSERT_TRUE(sameAngle(columnOf(down), 128 - columnOf(e))) << x << "," << y;
      }
    }
  }
}

// Every pixel is the four texels its entry names, weighted by it, channel by channel, at an odd size with the
// columns wrapping round and rows reaching the last one; with the widest vectors and with SSE2, in 4-byte pixels
// and in 3-byte ones (which leave the row's padding alone).
TEST(HdTunnelTest, BlendsTheFourTexelsItsEntryNames) {
  const std::vector<std::uint8_t> image = RandomLandscape(7);
  const std::vector<std::uint32_t> colours = RandomColours(8);
  const int width = 643, height = 401;
  const std::vector<std::uint32_t> map = HdMap(width, height, HdSampling::Bilinear);
  bool wrapped = false, lastRow = false;
  HdTunnel widest, sse2;
  sse2.KeepToSse2();
  for (HdTunnel* hd : {&widest, &sse2}) {
    ASSERT_TRUE(hd->Prepare(width, height, CentredHdView(width, height, 1, false), HdSampling::Bilinear));
  }
  std::vector<std::uint8_t> picture(static_cast<std::size_t>(width) * height * 4);
  widest.Draw(image.data(), colours.data(), picture.data(), width * 4, 4);
  for (HdTunnel* hd : {&widest, &sse2}) {
    SCOPED_TRACE(hd->KernelName());
    const int pitch = width * 3 + 2;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(pitch) * height, 0xCD);
    hd->Draw(image.data(), colours.data(), rgb.data(), pitch, 3);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x)
        ASSERT_EQ(0, std::memcmp(&rgb[y * pitch + 3 * x], &picture[(y * width + x) * 4], 3)) << x << "," << y;
      ASSERT_EQ(rgb[y * pitch + pitch - 2], 0xCD);
      ASSERT_EQ(rgb[y * pitch + pitch - 1], 0xCD);
    }
  }
  for (int i = 0; i < width * height; ++i) {
    const std::uint32_t e = map[i], index = e & 0xFFFF, next = (index + 256) & 0xFFFF;
    const int down = HdEntryRowWeight(e), across = HdEntryColumnWeight(e);
    wrapped = wrapped || (index >> 8 == 255 && across > 0);
    lastRow = lastRow || ((index & 0xFF) == 254 && down == 128);
    const std::uint32_t texel[4] = {colours[image[index]], colours[image[index + 1]], colours[image[next]],
                                    colours[image[next + 1]]};
    const int weight[4] = {(128 - across) * (128 - down), (128 - across) * down, across * (128 - down), across * down};
    for (int channel = 0; channel < 4; ++channel) {
      int sum = 0;
      for (int k = 0; k < 4; ++k) sum += static_cast<int>(texel[k] >> (8 * channel) & 0xFF) * weight[k];
      ASSERT_EQ(picture[i * 4 + channel], (sum + 8192) >> 14) << i << " channel " << channel;
    }
  }
  EXPECT_TRUE(wrapped);
  EXPECT_TRUE(lastRow);
}

// The 320 x 200 frame (its pixels 1.2 times as tall on a 4:3 screen) sits centred: whole, touching two edges of
// the picture, or filling it, cut at two edges.
TEST(HdTunnelTest, CentredViewShowsTheWholeFrameOrFillsThePictureWithIt) {
  struct Case {
    int width, height;
    double aspect;
    bool cover, acrossExact;  // the frame's width spans the picture's exactly (else its height does)
  };
  for (const Case c :
       {Case{1920, 1080, 1.2, false, false}, Case{1920, 1080, 1, false, false}, Case{1920, 1080, 1, true, true},
        Case{640, 1000, 1.2, false, true}, Case{640, 1000, 1.2, true, false}, Case{320, 200, 1, false, true}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + (c.cover ? " cover" : ""));
    const HdView v = CentredHdView(c.width, c.height, c.aspect, c.cover);
    EXPECT_DOUBLE_EQ(v.stepY / v.stepX, 1 / c.aspect);
    EXPECT_DOUBLE_EQ(v.originX + c.width / 2.0 * v.stepX, 160);
    EXPECT_DOUBLE_EQ(v.originY + c.height / 2.0 * v.stepY, 100);
    const double across = c.width * v.stepX, down = c.height * v.stepY;
    if (c.acrossExact) {
      EXPECT_DOUBLE_EQ(across, 320);
      EXPECT_TRUE(c.cover ? down <= 200 : down >= 200) << down;
    } else {
      EXPECT_DOUBLE_EQ(down, 200);
      EXPECT_TRUE(c.cover ? across <= 320 : across >= 320) << across;
    }
  }
}

TEST(HdTunnelTest, RefusesSizesItCannotMake) {
  HdTunnel hd;
  for (const auto& [width, height] : {std::pair{0, 10}, {10, 0}, {-4, 10}, {7681, 100}, {100, 4321}}) {
    EXPECT_FALSE(hd.Prepare(width, height, HdView{}, HdSampling::Bilinear)) << width << "x" << height;
    EXPECT_EQ(hd.Width(), 0);
  }
  EXPECT_TRUE(hd.Prepare(1, 1, CentredHdView(1, 1, 1, false), HdSampling::Sharp));
}

}  // namespace
