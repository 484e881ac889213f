// The texture loader: layout of the columns, brightness, and the refusals of everything but 256 x 256 x 8.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "host/effect_state.h"
#include "support/bmp_writer.h"
#include "support/headless_reset.h"
#include "support/plugin_folder_fixture.h"
#include "tables/texture_loader.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint8_t kPoison = 0xA5;

class TextureLoaderTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetHeadlessPlatform();
    folder_ = MakePluginFolder(false);
    output_.assign(65536, kPoison);
  }
  void TearDown() override {
    EXPECT_EQ(HeadlessLiveGdiObjects(), 0);  // bitmap and context released on every path
    RemovePluginFolder(folder_);
    ResetHeadlessPlatform();
    ResetEffectState();
  }
  // Writes the file and names it in the settings, as the dialog would (a Windows path).
  void UseFile(const std::vector<unsigned char>& bytes, const char* name = "texture.bmp") {
    WriteFileBytes(folder_.root / name, bytes);
    std::string path = (folder_.root / name).string();
    for (char& c : path)
      if (c == '/') c = '\\';
    std::snprintf(g_state.Settings.TextureName, sizeof g_state.Settings.TextureName, "%s", path.c_str());
  }
  bool Untouched() const {
    for (std::uint8_t b : output_)
      if (b != kPoison) return false;
    return true;
  }
  PluginFolder folder_{};
  std::vector<std::uint8_t> output_;
};

TEST_F(TextureLoaderTest, TopLeftWhitePixelLandsAtByte255) {
  BmpImage image = MakeTextureImage();
  image.colours[0] = 0x000000;
  image.colours[1] = 0xFFFFFF;
  image.pixels[0] = 1;
  UseFile(EncodeBmp(image));
  ASSERT_EQ(LoadTexture(output_.data()), 0);
  for (std::size_t i = 0; i < output_.size(); ++i) {
    if (output_[i] != (i == 255 ? 255 : 0)) {
      ADD_FAILURE() << "byte " << i << " is " << int(output_[i]);
      break;
    }
  }
}

TEST_F(TextureLoaderTest, ColumnsRunFromTheBottomRowUp) {
  struct Corner {
    const char* name;
    int x, y;
    std::size_t byte;
  };
  const Corner corners[] = {
      {"top-left", 0, 0, 255},      {"bottom-left", 0, 255, 0},       {"bottom-right", 255, 255, 65280},
      {"top-right", 255, 0, 65535}, {"inside", 3, 10, 3 * 256 + 245},
  };
  for (bool topDown : {false, true}) {
    BmpImage image = MakeTextureImage();  // entry i is grey i
    image.topDown = topDown;
    for (int i = 0; i < 5; ++i)
      image.pixels[corners[i].y * 256 + corners[i].x] = static_cast<std::uint32_t>(10 * (i + 1));
    UseFile(EncodeBmp(image));
    ASSERT_EQ(LoadTexture(output_.data()), 0);
    for (int i = 0; i < 5; ++i) {
      SCOPED_TRACE(testing::Message() << corners[i].name << (topDown ? " top-down" : " bottom-up"));
      EXPECT_EQ(output_[corners[i].byte], 10 * (i + 1));
    }
  }
}

TEST_F(TextureLoaderTest, BrightnessIsLumaCutTowardZero) {
  struct Case {
    std::uint32_t rgb;
    int luma;
  };
  const Case cases[] = {
      {0xFFFFFF, 255},
      {0xFF0000, 76},
      {0x00FF00, 149},
      {0x0000FF, 29},
      {0x000000, 0},
      {0x0AC81E, 123},  // 2.99 + 117.4 + 3.42 = 123.81
      // Greys fall just short of their value in double arithmetic, and the cut keeps that.
      {0x808080, 127},
      {0x010101, 0},
      {0x646464, 100},
  };
  BmpImage image = MakeTextureImage();
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    image.colours[i] = cases[i].rgb;
    image.pixels[i] = static_cast<std::uint32_t>(i);  // row 0, column i
  }
  UseFile(EncodeBmp(image));
  ASSERT_EQ(LoadTexture(output_.data()), 0);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(testing::Message() << std::hex << cases[i].rgb);
    EXPECT_EQ(output_[i * 256 + 255], cases[i].luma);
  }
}

TEST_F(TextureLoaderTest, EveryPixelIsReadOnce) {
  UseFile(EncodeBmp(MakeTextureImage()));
  ASSERT_EQ(LoadTexture(output_.data()), 0);
  EXPECT_EQ(HeadlessGetPixelCalls(), 65536);
}

TEST_F(TextureLoaderTest, TwentyFourBitBitmapIsRefusedByItsDepth) {
  BmpImage image;
  image.width = image.height = 256;
  image.bitsPerPixel = 24;
  image.pixels.assign(256 * 256, 0xFFFFFF);
  UseFile(EncodeBmp(image));
  EXPECT_EQ(LoadTexture(output_.data()), 2);
  EXPECT_TRUE(Untouched());
}

TEST_F(TextureLoaderTest, WrongSizeIsRefused) {
  for (auto [w, h] : {std::pair{128, 128}, std::pair{256, 255}, std::pair{257, 256}}) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    BmpImage image = MakeTextureImage();
    image.width = w;
    image.height = h;
    image.pixels.assign(static_cast<std::size_t>(w * h), 1);
    UseFile(EncodeBmp(image));
    EXPECT_EQ(LoadTexture(output_.data()), 2);
    EXPECT_TRUE(Untouched());
  }
}

TEST_F(TextureLoaderTest, EmptyOrMissingNameDoesNotLoad) {
  g_state.Settings.TextureName[0] = '\0';
  EXPECT_EQ(LoadTexture(output_.data()), 1);
  std::snprintf(g_state.Settings.TextureName, sizeof g_state.Settings.TextureName, "%s",
                (folder_.root / "absent.bmp").string().c_str());
  EXPECT_EQ(LoadTexture(output_.data()), 1);
  EXPECT_TRUE(Untouched());
}

TEST_F(TextureLoaderTest, DamagedFilesDoNotLoad) {
  const std::vector<unsigned char> good = EncodeBmp(MakeTextureImage());
  struct Case {
    const char* name;
    std::function<void(std::vector<unsigned char>&)> damage;
  };
  const Case cases[] = {
      {"truncated pixels", [](auto& b) { b.resize(b.size() - 1); }},
      {"header only", [](auto& b) { b.resize(30); }},
      {"empty", [](auto& b) { b.clear(); }},
      {"not a bitmap", [](auto& b) { b[0] = 'P'; }},
      {"run-length compressed", [](auto& b) { PutLe32(b, kBmpCompressionAt, 1); }},
      {"four bits", [](auto& b) { b[kBmpBitCountAt] = 4; }},
      {"absurd width", [](auto& b) { PutLe32(b, kBmpWidthAt, 0x7FFFFFFF); }},
      {"absurd height", [](auto& b) { PutLe32(b, kBmpHeightAt, 0x80000000u); }},
      {"zero height", [](auto& b) { PutLe32(b, kBmpHeightAt, 0); }},
      {"pixels past the end", [](auto& b) { PutLe32(b, kBmpPixelOffsetAt, 0xFFFFFFF0u); }},
      {"colour table too long", [](auto& b) { PutLe32(b, kBmpColoursUsedAt, 100000); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<unsigned char> bytes = good;
    c.damage(bytes);
    UseFile(bytes);
    EXPECT_EQ(LoadTexture(output_.data()), 1);
    EXPECT_TRUE(Untouched());
  }
}

TEST_F(TextureLoaderTest, NoDrawingContextLeavesTheOutputAlone) {
  UseFile(EncodeBmp(MakeTextureImage()));
  HeadlessFailNextCreateCompatibleDC();
  EXPECT_EQ(LoadTexture(output_.data()), 3);
  EXPECT_TRUE(Untouched());
}

}  // namespace
