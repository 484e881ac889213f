// The bitmap decoder the texture loader reads through: each depth's pixels and row layout, run-length unpacking.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "formats/bitmap_decode.h"
#include "support/bmp_writer.h"

namespace {

// Decodes the file's bytes; false when it does not load.
bool Load(const BmpImage& image, DecodedBitmap* out) {
  const std::vector<unsigned char> bytes = EncodeBmp(image);
  return DecodeBmpFile(bytes.data(), bytes.size(), out);
}

// One row of four pixels, top row first, at every depth: what the description says and which colour each pixel has.
TEST(BitmapLoader, EachDepthReadsItsPixels) {
  struct Case {
    const char* name;
    int bits;
    std::vector<std::uint32_t> masks, pixels;
    std::size_t widthBytes;  // 255 pixels wide, rows padded to four bytes
    BitmapColour expected[4];
  };
  const Case cases[] = {
      {"1 bit", 1, {}, {1, 0, 1, 1}, 32, {0xFFFFFF, 0, 0xFFFFFF, 0xFFFFFF}},
      {"4 bits", 4, {}, {15, 1, 0, 14}, 128, {0xFFFFFF, 0x111111, 0, 0xEEEEEE}},
      {"8 bits", 8, {}, {255, 1, 0, 128}, 256, {0xFFFFFF, 0x010101, 0, 0x808080}},
      // 5 bits a channel, each widened by repeating its top bits: 1 -> 8, 31 -> 255.
      {"16 bits", 16, {}, {0x7C00, 0x03E0, 0x001F, 0x0421}, 512, {0x0000FF, 0x00FF00, 0xFF0000, 0x080808}},
      {"16 bits 5-6-5",
       16,
       {0xF800, 0x07E0, 0x001F},
       {0xF800, 0x07E0, 0x0020, 0x0821},
       512,
       {0x0000FF, 0x00FF00, 0x000400, 0x080408}},
      {"24 bits", 24, {}, {0x123456, 0xFFFFFF, 0, 0x800000}, 768, {0x563412, 0xFFFFFF, 0, 0x000080}},
      {"32 bits, top byte ignored",
       32,
       {},
       {0xFF123456, 0x00FFFFFF, 0x80000000, 0x800000},
       1020,
       {0x563412, 0xFFFFFF, 0, 0x000080}},
      // 10-bit fields keep their top 8 bits; a zero mask reads as 0.
      {"32 bits, wide masks",
       32,
       {0xFFC00000, 0x003FF000, 0x00000FFC},
       {0xFFE00004, 0x003FF000, 0x00000FFC, 0},
       1020,
       {0x0080FF, 0x00FF00, 0xFF0000, 0}},
      {"32 bits, zero masks", 32, {0, 0, 0}, {0xFFFFFFFF, 1, 2, 3}, 1020, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    for (bool topDown : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.name << (topDown ? " top-down" : " bottom-up"));
      BmpImage image = MakeDepthImage(c.bits);
      image.width = 255;
      image.height = 3;
      image.topDown = topDown;
      image.masks = c.masks;
      image.pixels.assign(255 * 3, 0);
      for (int x = 0; x < 4; ++x) image.pixels[static_cast<std::size_t>(255 + 251 + x)] = c.pixels[x];  // row 1
      DecodedBitmap d;
      ASSERT_TRUE(Load(image, &d));
      EXPECT_EQ(d.width, 255);
      EXPECT_EQ(d.height, 3);
      EXPECT_EQ(d.bitsPerPixel, c.bits);
      EXPECT_EQ(d.stride, c.widthBytes);
      for (int x = 0; x < 4; ++x) EXPECT_EQ(DecodedPixel(d, 251 + x, 1), c.expected[x]) << "x " << 251 + x;
      // Value 0 everywhere else is black: the row order is right and neighbours are not read.
      for (auto [x, y] : {std::pair{250, 1}, std::pair{251, 0}, std::pair{251, 2}})
        EXPECT_EQ(DecodedPixel(d, x, y), 0u);
    }
  }
}

// Run-length data on a 16 x 3 grey-ramp image; rows named from the bottom (stored order), as the data runs.
TEST(BitmapLoader, RunLengthDataUnpacks) {
  struct Case {
    const char* name;
    int bits;
    std::vector<unsigned char> data;
    std::vector<std::pair<int, int>> at;  // column, row from the bottom
    std::vector<BitmapColour> expected;
  };
  const Case cases[] = {
      {"run cut at the row's end",
       8,
       {20, 7, 0, 0, 1, 9, 0, 1},
       {{0, 0}, {15, 0}, {0, 1}, {1, 1}},
       {0x070707, 0x070707, 0x090909, 0}},
      {"odd absolute stretch is padded",
       8,
       {0, 3, 1, 2, 3, 0, 2, 4, 0, 1},
       {{0, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}},
       {0x010101, 0x030303, 0x040404, 0x040404, 0}},
      {"absolute stretch cut at the row's end",
       8,
       {14, 5, 0, 4, 1, 2, 3, 4, 0, 1},
       {{13, 0}, {14, 0}, {15, 0}, {0, 1}},
       {0x050505, 0x010101, 0x020202, 0}},
      {"move right and up",
       8,
       {1, 6, 0, 2, 3, 2, 1, 8, 0, 1},
       {{0, 0}, {1, 0}, {4, 2}, {5, 2}},
       {0x060606, 0, 0x080808, 0}},
      {"end of bitmap stops", 8, {0, 1, 4, 9}, {{0, 0}}, {0}},
      {"data ends without its end code", 8, {2, 9, 0}, {{0, 0}, {1, 0}, {2, 0}}, {0x090909, 0x090909, 0}},
      {"line ends past the top stop", 8, {0, 0, 0, 0, 0, 0, 0, 0, 4, 9}, {{0, 2}}, {0}},
      {"4 bits: nibbles alternate, high first",
       4,
       {5, 0x1F, 0, 3, 0x23, 0x40, 0, 1},
       {{0, 0}, {1, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}},
       {0x111111, 0xFFFFFF, 0x111111, 0x222222, 0x333333, 0x444444, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BmpImage image = MakeDepthImage(c.bits);
    image.width = 16;
    image.height = 3;
    image.runLength = c.data;
    DecodedBitmap d;
    ASSERT_TRUE(Load(image, &d));
    for (std::size_t i = 0; i < c.at.size(); ++i) {
      EXPECT_EQ(DecodedPixel(d, c.at[i].first, 2 - c.at[i].second), c.expected[i])
          << "column " << c.at[i].first << ", row " << c.at[i].second << " from the bottom";
    }
  }
}

// The decoder keeps the stored size, so the texture loader's size test sees it.
TEST(BitmapLoader, StoredSizeIsKept) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{128, 128}, std::pair{512, 3}}) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    BmpImage image = MakeTextureImage();
    image.width = w;
    image.height = h;
    image.pixels.assign(static_cast<std::size_t>(w * h), 9);
    DecodedBitmap d;
    ASSERT_TRUE(Load(image, &d));
    EXPECT_EQ(d.width, w);
    EXPECT_EQ(d.height, h);
    EXPECT_EQ(DecodedPixel(d, w - 1, h - 1), 0x090909u);
  }
}

}  // namespace
