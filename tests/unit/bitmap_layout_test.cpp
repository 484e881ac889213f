// The check asked before the system's bitmap loader: only files that hold all their headers, table and pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "support/bmp_writer.h"
#include "support/plugin_folder_fixture.h"
#include "formats/bitmap_layout.h"
#include "data/bitmap_file.h"

namespace {

std::vector<unsigned char> Texture() { return EncodeBmp(MakeTextureImage()); }

TEST(BitmapLayout, WholeTextureLiesWhereItsHeadersSay) {
  std::vector<unsigned char> file = Texture();
  BitmapLayout layout;
  std::memset(&layout, 0xA5, sizeof layout);
  ASSERT_TRUE(ReadBitmapLayout(file.data(), file.size(), file.size(), &layout));
  EXPECT_EQ(layout.infoBytes, 40u);
  EXPECT_EQ(layout.width, 256);
  EXPECT_EQ(layout.height, 256);
  EXPECT_EQ(layout.bits, 8u);
  EXPECT_EQ(layout.tableAt, 54u);
  EXPECT_EQ(layout.tableBytes, 1024u);
  EXPECT_EQ(layout.pixelsAt, 1078u);
  EXPECT_EQ(layout.stride, 256u);
  EXPECT_EQ(layout.pixelBytes, 65536u);
  EXPECT_EQ(file.size(), 1078u + 65536u);
}

TEST(BitmapLayout, OnlyTheHeadIsReadTheRestIsJudgedBySize) {
  std::vector<unsigned char> file = Texture();
  BitmapLayout layout;
  EXPECT_TRUE(ReadBitmapLayout(file.data(), kBitmapHeadBytes, file.size(), &layout));
  EXPECT_FALSE(ReadBitmapLayout(file.data(), kBitmapHeadBytes, file.size() - 1, &layout));
  // A head shorter than the info header it announces is no bitmap.
  EXPECT_FALSE(ReadBitmapLayout(file.data(), 14 + 39, file.size(), &layout));
}

// The files the system's loader reads beyond, and their neighbours that are whole.
TEST(BitmapLayout, CutOffAndInconsistentFilesAreRefused) {
  struct Case {
    const char* name;
    void (*change)(std::vector<unsigned char>&);
    bool whole;
  };
  const Case cases[] = {
      {"as written", [](std::vector<unsigned char>&) {}, true},
      {"empty", [](std::vector<unsigned char>& f) { f.clear(); }, false},
      {"file header cut", [](std::vector<unsigned char>& f) { f.resize(10); }, false},
      {"info header cut", [](std::vector<unsigned char>& f) { f.resize(14 + 20); }, false},
      {"colour table cut", [](std::vector<unsigned char>& f) { f.resize(54 + 512); }, false},
      {"pixels end midway", [](std::vector<unsigned char>& f) { f.resize(1078 + 30000); }, false},
      {"one pixel byte short", [](std::vector<unsigned char>& f) { f.pop_back(); }, false},
      {"one byte too many", [](std::vector<unsigned char>& f) { f.push_back(0); }, true},
      {"pixel offset past the end", [](std::vector<unsigned char>& f) { PutLe32(f, kBmpPixelOffsetAt, 70000); }, false},
      {"pixel offset 0xFFFFFFF0", [](std::vector<unsigned char>& f) { PutLe32(f, kBmpPixelOffsetAt, 0xFFFFFFF0u); },
       false},
      {"pixel offset inside the table", [](std::vector<unsigned char>& f) { PutLe32(f, kBmpPixelOffsetAt, 60); },
       false},
      {"pixel offset 0 means after the table", [](std::vector<unsigned char>& f) { PutLe32(f, kBmpPixelOffsetAt, 0); },
       true},
      {"width 2^31 - 1", [](std::vector<unsigned char>& f) { PutLe32(f, kBmpWidthAt, 0x7FFFFFFF); }, false},
      {"height -2^31", [](std::vector<unsigned char>& f) { PutLe32(f, kBmpHeightAt, 0x80000000u); }, false},
      {"height 0", [](std::vector<unsigned char>& f) { PutLe32(f, kBmpHeightAt, 0); }, false},
      {"top-down", [](std::vector<unsigned char>& f) { PutLe32(f, kBmpHeightAt, static_cast<std::uint32_t>(-256)); },
       true},
      {"300 colours used", [](std::vector<unsigned char>& f) { PutLe32(f, kBmpColoursUsedAt, 300); }, true},
      {"colours used 2^32 - 1", [](std::vector<unsigned char>& f) { PutLe32(f, kBmpColoursUsedAt, 0xFFFFFFFFu); },
       true},
      {"header size 2^32 - 1", [](std::vector<unsigned char>& f) { PutLe32(f, kBmpInfoSizeAt, 0xFFFFFFFFu); }, false},
      {"run-length 8 without its length",
       [](std::vector<unsigned char>& f) {
         PutLe32(f, kBmpCompressionAt, 1);
         PutLe32(f, kBmpImageSizeAt, 0);
       },
       false},
      {"run-length 8 longer than the file",
       [](std::vector<unsigned char>& f) {
         PutLe32(f, kBmpCompressionAt, 1);
         PutLe32(f, kBmpImageSizeAt, 65537);
       },
       false},
      {"run-length 8 inside the file",
       [](std::vector<unsigned char>& f) {
         PutLe32(f, kBmpCompressionAt, 1);
         PutLe32(f, kBmpImageSizeAt, 2);
       },
       true},
      {"JPEG compression", [](std::vector<unsigned char>& f) { PutLe32(f, kBmpCompressionAt, 4); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<unsigned char> file = Texture();
    c.change(file);
    BitmapLayout layout;
    EXPECT_EQ(ReadBitmapLayout(file.data(), file.size(), file.size(), &layout), c.whole);
  }
}

TEST(BitmapFileIsWhole, AsksTheFileOnDisk) {
  PluginFolder folder = MakePluginFolder(false);
  std::vector<unsigned char> file = Texture();
  WriteFileBytes(folder.root / "whole.bmp", file);
  file.resize(file.size() - 100);
  WriteFileBytes(folder.root / "cut.bmp", file);
  std::filesystem::create_directories(folder.root / "folder.bmp");
  const std::string root = folder.root.string() + "/";

  EXPECT_TRUE(BitmapFileIsWhole((root + "whole.bmp").c_str()));
  EXPECT_FALSE(BitmapFileIsWhole((root + "cut.bmp").c_str()));
  EXPECT_FALSE(BitmapFileIsWhole((root + "folder.bmp").c_str()));
  EXPECT_FALSE(BitmapFileIsWhole((root + "missing.bmp").c_str()));
  EXPECT_FALSE(BitmapFileIsWhole(""));
  RemovePluginFolder(folder);
}

}  // namespace
