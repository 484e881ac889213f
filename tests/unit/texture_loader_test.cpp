// The texture loader: column layout, brightness, odd and damaged bitmaps, and the refusals of all but 256 x 256 x 8.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "data/plugin_data.h"
#include "support/bmp_writer.h"
#include "support/plugin_folder_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint8_t kPoison = 0xA5;

class TextureLoaderTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakePluginFolder(false);
    output_.assign(65536, kPoison);
  }
  void TearDown() override { RemovePluginFolder(folder_); }
  // The settings' texture read as the plug-in reads it: the stored (Windows) name, turned into this system's.
  int LoadTexture() { return ReadTexture(StoredPath(settings_.TextureName), output_); }
  // Writes the file and names it in the settings, as the dialog would (a Windows path).
  void UseFile(const std::vector<unsigned char>& bytes, const char* name = "texture.bmp") {
    WriteFileBytes(folder_.root / name, bytes);
    std::string path = (folder_.root / name).string();
    for (char& c : path)
      if (c == '/') c = '\\';
    std::snprintf(settings_.TextureName, sizeof settings_.TextureName, "%s", path.c_str());
  }
  bool Untouched() const {
    for (std::uint8_t b : output_)
      if (b != kPoison) return false;
    return true;
  }
  PluginFolder folder_{};
  EffectSettings settings_{};
  std::vector<std::uint8_t> output_;
};

TEST_F(TextureLoaderTest, TopLeftWhitePixelLandsAtByte255) {
  BmpImage image = MakeTextureImage();
  image.colours[0] = 0x000000;
  image.colours[1] = 0xFFFFFF;
  image.pixels[0] = 1;
  UseFile(EncodeBmp(image));
  ASSERT_EQ(LoadTexture(), 0);
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
    ASSERT_EQ(LoadTexture(), 0);
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
  ASSERT_EQ(LoadTexture(), 0);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(testing::Message() << std::hex << cases[i].rgb);
    EXPECT_EQ(output_[i * 256 + 255], cases[i].luma);
  }
}

TEST_F(TextureLoaderTest, TwentyFourBitBitmapIsRefusedByItsDepth) {
  BmpImage image;
  image.width = image.height = 256;
  image.bitsPerPixel = 24;
  image.pixels.assign(256 * 256, 0xFFFFFF);
  UseFile(EncodeBmp(image));
  EXPECT_EQ(LoadTexture(), 2);
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
    EXPECT_EQ(LoadTexture(), 2);
    EXPECT_TRUE(Untouched());
  }
}

TEST_F(TextureLoaderTest, EmptyMissingOrFolderNameDoesNotLoad) {
  settings_.TextureName[0] = '\0';
  EXPECT_EQ(LoadTexture(), 1);
  for (const fs::path& path : {folder_.root / "absent.bmp", folder_.root}) {
    SCOPED_TRACE(path.string());
    std::snprintf(settings_.TextureName, sizeof settings_.TextureName, "%s", path.string().c_str());
    EXPECT_EQ(LoadTexture(), 1);
  }
  EXPECT_TRUE(Untouched());
}

// The odd files below are built from one good texture: 8 bits, a 256-entry grey table, its top-left pixel white.
std::vector<unsigned char> WhiteCornerFile() {
  BmpImage image = MakeTextureImage();
  image.pixels[0] = 255;
  return EncodeBmp(image);
}

// The good file with its header grown to `infoBytes` (the later header versions), pixels moved along.
std::vector<unsigned char> WithLongerHeader(std::vector<unsigned char> b, std::uint32_t infoBytes) {
  b.insert(b.begin() + kBmpTableAt, infoBytes - 40, 0);
  PutLe32(b, kBmpInfoSizeAt, infoBytes);
  PutLe32(b, kBmpPixelOffsetAt, 54 + (infoBytes - 40) + 1024);
  return b;
}

// 8-bit run-length data on a black-and-white table: bottom row x 0..2 white (a run); next row white, black,
// white (an absolute stretch, padded), then a move to x 13 of the row above, where one white pixel ends the data.
BmpImage RunLengthTexture() {
  BmpImage image;
  image.width = image.height = 256;
  image.colours = {0x000000, 0xFFFFFF};
  image.runLength = {3, 1, 0, 0, 0, 3, 1, 0, 1, 0, 0, 2, 10, 1, 1, 1, 0, 1};
  return image;
}

struct OddFile {
  const char* name;
  std::function<std::vector<unsigned char>()> make;
  int status;
};

TEST_F(TextureLoaderTest, ReadableEightBitVariantsLoad) {
  const OddFile cases[] = {
      {"old 12-byte header",
       [] {
         BmpImage image = MakeTextureImage();
         image.coreHeader = true;
         image.pixels[0] = 255;
         return EncodeBmp(image);
       },
       0},
      {"108-byte header", [] { return WithLongerHeader(WhiteCornerFile(), 108); }, 0},
      {"124-byte header", [] { return WithLongerHeader(WhiteCornerFile(), 124); }, 0},
      {"pixel offset 0: after the table",
       [] {
         auto b = WhiteCornerFile();
         PutLe32(b, kBmpPixelOffsetAt, 0);
         return b;
       },
       0},
      {"two planes",
       [] {
         auto b = WhiteCornerFile();
         b[kBmpPlanesAt] = 2;
         return b;
       },
       0},
      {"image size too small",
       [] {
         auto b = WhiteCornerFile();
         PutLe32(b, kBmpImageSizeAt, 100);
         return b;
       },
       0},
      {"image size huge",
       [] {
         auto b = WhiteCornerFile();
         PutLe32(b, kBmpImageSizeAt, 0xFFFFFFFFu);
         return b;
       },
       0},
      {"300 colours used: 256 read",
       [] {
         auto b = WhiteCornerFile();
         PutLe32(b, kBmpColoursUsedAt, 300);
         return b;
       },
       0},
      {"16 colours, values up to 255",
       [] {
         BmpImage image = MakeTextureImage();
         image.colours.assign(16, 0xFFFFFF);  // every index from 16 on is past the table: black
         image.pixels.assign(256 * 256, 200);
         image.pixels[0] = 15;
         return EncodeBmp(image);
       },
       0},
  };
  for (const OddFile& c : cases) {
    SCOPED_TRACE(c.name);
    output_.assign(65536, kPoison);
    UseFile(c.make());
    ASSERT_EQ(LoadTexture(), 0);
    EXPECT_EQ(output_[255], 255);
    EXPECT_EQ(std::count(output_.begin(), output_.end(), 0), 65535);
  }
}

TEST_F(TextureLoaderTest, RunLengthTextureIsUnpacked) {
  UseFile(EncodeBmp(RunLengthTexture()));
  ASSERT_EQ(LoadTexture(), 0);
  // Column x, stored row r (0 at the bottom) lands at x * 256 + r.
  const std::size_t white[] = {0, 256, 512, 1, 513, 13 * 256 + 2};
  for (std::size_t i = 0; i < output_.size(); ++i) {
    const bool expectWhite = std::find(std::begin(white), std::end(white), i) != std::end(white);
    ASSERT_EQ(output_[i], expectWhite ? 255 : 0) << "byte " << i;
  }
}

TEST_F(TextureLoaderTest, OtherDepthsLoadAndAreRefusedByDepth) {
  auto depth = [](int bits, std::vector<std::uint32_t> masks = {}, bool topDown = false) {
    return [=] {
      BmpImage image = MakeDepthImage(bits);
      image.masks = masks;
      image.topDown = topDown;
      return EncodeBmp(image);
    };
  };
  const OddFile cases[] = {
      {"1 bit", depth(1), 2},
      {"4 bits", depth(4), 2},
      {"16 bits", depth(16), 2},
      {"16 bits, 5-6-5 masks", depth(16, {0xF800, 0x07E0, 0x001F}), 2},
      {"24 bits top-down", depth(24, {}, true), 2},
      {"32 bits", depth(32), 2},
      {"32 bits, masks", depth(32, {0xFF, 0xFF00, 0xFF0000}), 2},
      {"4-bit run-length",
       [] {
         BmpImage image = MakeDepthImage(4);
         image.runLength = {255, 0x12, 0, 1};
         return EncodeBmp(image);
       },
       2},
      {"old header, 24 bits",
       [] {
         BmpImage image = MakeDepthImage(24);
         image.coreHeader = true;
         return EncodeBmp(image);
       },
       2},
  };
  for (const OddFile& c : cases) {
    SCOPED_TRACE(c.name);
    output_.assign(65536, kPoison);
    UseFile(c.make());
    EXPECT_EQ(LoadTexture(), c.status);
    EXPECT_TRUE(Untouched());
  }
}

TEST_F(TextureLoaderTest, DamagedFilesDoNotLoad) {
  const std::vector<unsigned char> good = WhiteCornerFile();
  const std::size_t pixelsAt = 54 + 1024;
  struct Case {
    const char* name;
    std::function<void(std::vector<unsigned char>&)> damage;
  };
  auto put = [](std::size_t at, std::uint32_t value) {
    return [=](std::vector<unsigned char>& b) { PutLe32(b, at, value); };
  };
  auto cut = [](std::size_t size) { return [=](std::vector<unsigned char>& b) { b.resize(size); }; };
  auto runLength = [](std::function<void(std::vector<unsigned char>&)> damage) {
    return [=](std::vector<unsigned char>& b) {
      b = EncodeBmp(RunLengthTexture());
      damage(b);
    };
  };
  const Case cases[] = {
      {"empty", cut(0)},
      {"file header cut", cut(10)},
      {"info header cut", cut(14 + 20)},
      {"colour table cut", cut(54 + 100)},
      {"ends in the middle of the pixels", cut(pixelsAt + 30000)},
      {"one byte short", cut(65536 + pixelsAt - 1)},
      {"not a bitmap", [](auto& b) { b[0] = 'P'; }},
      {"type BA", [](auto& b) { b[1] = 'A'; }},
      {"zero height", put(kBmpHeightAt, 0)},
      {"zero width", put(kBmpWidthAt, 0)},
      {"negative width", put(kBmpWidthAt, static_cast<std::uint32_t>(-256))},
      {"lowest height", put(kBmpHeightAt, 0x80000000u)},
      {"absurd width", put(kBmpWidthAt, 0x7FFFFFFF)},
      {"height past 16384", put(kBmpHeightAt, 16385)},
      {"top-down height past 16384", put(kBmpHeightAt, static_cast<std::uint32_t>(-16385))},
      {"0 bits", [](auto& b) { b[kBmpBitCountAt] = 0; }},
      {"2 bits", [](auto& b) { b[kBmpBitCountAt] = 2; }},
      {"7 bits", [](auto& b) { b[kBmpBitCountAt] = 7; }},
      {"8 bits with masks", put(kBmpCompressionAt, 3)},
      {"jpeg compression", put(kBmpCompressionAt, 4)},
      {"compression 9", put(kBmpCompressionAt, 9)},
      {"32 bits, run-length",
       [](auto& b) {
         b[kBmpBitCountAt] = 32;
         PutLe32(b, kBmpCompressionAt, 1);
       }},
      {"header size 20", put(kBmpInfoSizeAt, 20)},
      {"header size 52", put(kBmpInfoSizeAt, 52)},
      {"header size 64", put(kBmpInfoSizeAt, 64)},
      {"header size huge", put(kBmpInfoSizeAt, 0xFFFFFF00u)},
      {"pixels inside the header", put(kBmpPixelOffsetAt, 20)},
      {"pixels inside the colour table", put(kBmpPixelOffsetAt, 54 + 64)},
      {"pixels past the end", put(kBmpPixelOffsetAt, 65536 + pixelsAt + 10)},
      {"pixel offset near 2^32", put(kBmpPixelOffsetAt, 0xFFFFFFF0u)},
      {"pixel offset 2^32 - 1", put(kBmpPixelOffsetAt, 0xFFFFFFFFu)},
      {"255 wide, rows not padded",
       [](auto& b) {
         BmpImage image = MakeTextureImage();
         image.width = 255;
         image.pixels.assign(255 * 256, 0);
         b = EncodeBmp(image);
         b.resize(pixelsAt + 255 * 256);
       }},
      {"top-down run-length", runLength([](auto& b) { PutLe32(b, kBmpHeightAt, static_cast<std::uint32_t>(-256)); })},
      {"run-length without its size", runLength([](auto& b) { PutLe32(b, kBmpImageSizeAt, 0); })},
      {"run-length size past the end", runLength([](auto& b) { PutLe32(b, kBmpImageSizeAt, 0xFFFFFFF0u); })},
      {"run-length unpacking past 4 MiB", runLength([](auto& b) {
         PutLe32(b, kBmpWidthAt, 16384);
         PutLe32(b, kBmpHeightAt, 257);
       })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<unsigned char> bytes = good;
    c.damage(bytes);
    UseFile(bytes);
    output_.assign(65536, kPoison);
    EXPECT_EQ(LoadTexture(), 1);
    EXPECT_TRUE(Untouched());
  }
}

// A path that fills TextureName to its last byte: 259 characters and the terminating zero.
TEST_F(TextureLoaderTest, PathOf259CharactersIsUsedWhole) {
  PluginFolder deep = MakeLongPluginFolder(254, false);
  const std::string name = "t.bmp";
  WriteFileBytes(deep.root / name, WhiteCornerFile());
  std::string path = (deep.root / name).string();
  for (char& c : path)
    if (c == '/') c = '\\';
  ASSERT_EQ(path.size(), 259u);
  std::memcpy(settings_.TextureName, path.c_str(), 260);
  EXPECT_EQ(LoadTexture(), 0);
  EXPECT_EQ(output_[255], 255);

  settings_.TextureName[258] = 'x';  // the same length, naming nothing
  output_.assign(65536, kPoison);
  EXPECT_EQ(LoadTexture(), 1);
  EXPECT_TRUE(Untouched());
  RemovePluginFolder(deep);
}

}  // namespace
