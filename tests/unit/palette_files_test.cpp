// The palette set from "TavelDat\*.pal" and the reference palette "TavelDat\refrence.pal".
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "data/plugin_data.h"
#include "plugin/plugin_state.h"
#include "support/plugin_folder_fixture.h"

namespace {

namespace fs = std::filesystem;

// 768 file bytes whose first byte is `first` and the rest a repeating 0..63 ramp.
std::vector<unsigned char> PaletteBytes(unsigned char first, std::size_t size = 768) {
  std::vector<unsigned char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i % 64);
  if (size > 0) bytes[0] = first;
  return bytes;
}

class PaletteSetLoad : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = MakePluginFolder(true); }
  void TearDown() override { RemovePluginFolder(folder_); }

  fs::path Data(const std::string& name) const { return folder_.root / "TavelDat" / name; }
  void Palette(const std::string& name, unsigned char first, std::size_t size = 768) {
    WriteFileBytes(Data(name), PaletteBytes(first, size));
  }
  int Load() {
    set_ = ReadPaletteSet(folder_.root / "TavelDat");
    return set_.Status;
  }
  const std::uint8_t* Entry(int palette, int index) const { return set_.Entries.data() + palette * 1024 + index * 4; }

  PluginFolder folder_;
  PaletteSet set_;
};

TEST_F(PaletteSetLoad, OnlyFilesOfExactly768BytesCount) {
  Palette("a.pal", 1);
  Palette("b.pal", 2);
  Palette("c.pal", 3);
  Palette("d.pal", 4, 767);
  Palette("e.pal", 5, 772);
  Palette("f.txt", 6);
  Palette("g.palette", 7);
  fs::create_directories(Data("h.pal"));
  ASSERT_EQ(Load(), 0);
  EXPECT_EQ(set_.Count, 3);
  EXPECT_EQ(Entry(2, 0)[0], 3 << 2);  // the third palette is the last one there (ASan checks the 3072 bytes)
  EXPECT_EQ(Entry(2, 255)[3], 1);
}

TEST_F(PaletteSetLoad, EntriesAreShiftedFileBytesWithFlagsOne) {
  std::vector<unsigned char> bytes(768, 0);
  bytes[0] = 63;
  bytes[1] = 0x41;
  bytes[2] = 0xFF;
  bytes[765] = 1;
  bytes[766] = 32;
  bytes[767] = 62;
  WriteFileBytes(Data("x.pal"), bytes);
  ASSERT_EQ(Load(), 0);
  ASSERT_EQ(set_.Count, 1);
  EXPECT_EQ(Entry(0, 0)[0], 252);
  EXPECT_EQ(Entry(0, 0)[1], 4);
  EXPECT_EQ(Entry(0, 0)[2], 252);
  EXPECT_EQ(Entry(0, 255)[0], 4);
  EXPECT_EQ(Entry(0, 255)[1], 128);
  EXPECT_EQ(Entry(0, 255)[2], 248);
  for (int i = 0; i < 256; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Entry(0, i)[3], 1);
  }
}

TEST_F(PaletteSetLoad, PalettesComeInByteOrderOfTheirNames) {
  Palette("b.pal", 2);
  Palette("a.pal", 1);
  Palette("C.pal", 3);  // 'C' sorts before 'a'
  ASSERT_EQ(Load(), 0);
  ASSERT_EQ(set_.Count, 3);
  EXPECT_EQ(Entry(0, 0)[0], 3 << 2);
  EXPECT_EQ(Entry(1, 0)[0], 1 << 2);
  EXPECT_EQ(Entry(2, 0)[0], 2 << 2);
}

TEST_F(PaletteSetLoad, NothingQualifyingGivesOne) {
  Palette("a.pal", 1, 767);
  EXPECT_EQ(Load(), 1);
  EXPECT_TRUE(set_.Entries.empty());
}

TEST_F(PaletteSetLoad, MissingDataFolderGivesOne) {
  fs::remove_all(folder_.root / "TavelDat");
  EXPECT_EQ(Load(), 1);
}

TEST_F(PaletteSetLoad, ASecondReadSeesTheFilesAddedSince) {
  Palette("a.pal", 1);
  ASSERT_EQ(Load(), 0);
  Palette("b.pal", 2);
  ASSERT_EQ(Load(), 0);
  EXPECT_EQ(set_.Count, 2);
}

// --- Long paths ----------------------------------------------------------------------------------------------------

TEST(PaletteSetLongPath, FileWhosePathDoesNotFitThePathBufferIsRefused) {
  // 240 characters of folder: "TavelDat\*.pal" fits PluginPath (254), but folder, "TavelDat\" and "a.pal"
  // need 254 + 1 bytes of the 256 of a palette path and "abcdefgh.pal" does not fit.
  PluginFolder folder = MakeLongPluginFolder(240);
  ASSERT_EQ(std::strlen(folder.plugin->PluginPath), 240u);
  WriteFileBytes(folder.root / "TavelDat" / "a.pal", PaletteBytes(1));
  WriteFileBytes(folder.root / "TavelDat" / "abcdefgh.pal", PaletteBytes(2));
  const PaletteSet set = ReadPaletteSet(folder.root / "TavelDat");
  EXPECT_EQ(set.Status, -3);
  EXPECT_TRUE(set.Entries.empty());
  RemovePluginFolder(folder);
}

TEST(PaletteSetLongPath, FolderTooLongForThePatternGivesOne) {
  PluginFolder folder = MakeLongPluginFolder(250);  // 250 + "TavelDat\*.pal" (14) does not fit 260
  ASSERT_EQ(std::strlen(folder.plugin->PluginPath), 250u);
  WriteFileBytes(folder.root / "TavelDat" / "a.pal", PaletteBytes(1));
  const PaletteSet set = ReadPaletteSet(folder.root / "TavelDat");
  EXPECT_EQ(set.Status, 1);
  EXPECT_TRUE(set.Entries.empty());
  RemovePluginFolder(folder);
}

TEST(PaletteSetLongPath, ReferencePaletteThatDoesNotFitIsRefused) {
  PluginFolder folder = MakeLongPluginFolder(240);  // 240 + "TavelDat\refrence.pal" (21) needs 262 bytes
  ASSERT_EQ(std::strlen(folder.plugin->PluginPath), 240u);
  WriteFileBytes(folder.root / "TavelDat" / "refrence.pal", PaletteBytes(1));
  std::uint8_t palette[1024];
  EXPECT_EQ(ReadReferencePalette(folder.root / "TavelDat" / "refrence.pal", palette), 2);
  RemovePluginFolder(folder);
}

// --- Reference palette ---------------------------------------------------------------------------------------------

class ReferencePalette : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakePluginFolder(true);
    std::memset(palette_, 0xEE, sizeof palette_);
  }
  void TearDown() override { RemovePluginFolder(folder_); }
  void Given(std::vector<unsigned char> bytes) { WriteFileBytes(folder_.root / "TavelDat" / "refrence.pal", bytes); }
  bool Untouched() const {
    for (const VidColour& e : palette_)
      if (e.red != 0xEE || e.green != 0xEE || e.blue != 0xEE || e.flags != 0xEE) return false;
    return true;
  }

  int Read() {
    return ReadReferencePalette(folder_.root / "TavelDat" / "refrence.pal",
                                reinterpret_cast<std::uint8_t(&)[1024]>(palette_));
  }

  PluginFolder folder_;
  VidColour palette_[256];
};

TEST_F(ReferencePalette, UpTo772BytesLoadTheFirst768) {
  std::vector<unsigned char> bytes = PaletteBytes(63, 772);
  bytes[767] = 0x41;
  Given(bytes);
  EXPECT_EQ(Read(), 0);
  EXPECT_EQ(palette_[0].red, 252);
  EXPECT_EQ(palette_[0].green, 4);
  EXPECT_EQ(palette_[255].blue, 4);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(palette_[i].flags, 1) << i;
}

TEST_F(ReferencePalette, Exactly768BytesLoad) {
  Given(PaletteBytes(5));
  EXPECT_EQ(Read(), 0);
  EXPECT_EQ(palette_[0].red, 20);
}

TEST_F(ReferencePalette, LongerThan772GivesOne) {
  Given(PaletteBytes(1, 773));
  EXPECT_EQ(Read(), 1);
  EXPECT_TRUE(Untouched());
}

TEST_F(ReferencePalette, MissingOrShortGivesTwo) {
  struct Case {
    const char* label;
    int size;  // -1: no file
  } cases[] = {{"missing", -1}, {"empty", 0}, {"767 bytes", 767}, {"1 byte", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove(folder_.root / "TavelDat" / "refrence.pal");
    if (c.size >= 0) Given(PaletteBytes(1, static_cast<std::size_t>(c.size)));
    EXPECT_EQ(Read(), 2);
    EXPECT_TRUE(Untouched());
  }
}

}  // namespace
