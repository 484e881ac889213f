// Odd contents of "TavelDat\": sizes, folders, unreadable files, many palettes, odd names, and Init over them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "plugin/render.h"
#include "data/plugin_data.h"
#include "plugin/plugin_state.h"
#include "plugin/lifecycle.h"
#include "support/plugin_folder_fixture.h"
#include "support/plugin_session.h"

namespace {

namespace fs = std::filesystem;

// `size` file bytes: the first two say which palette this is (6 bits each), the rest a 0..63 ramp.
std::vector<unsigned char> NumberedPalette(int number, std::size_t size = 768) {
  std::vector<unsigned char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i % 64);
  if (size > 0) bytes[0] = static_cast<unsigned char>(number & 63);
  if (size > 1) bytes[1] = static_cast<unsigned char>((number >> 6) & 63);
  return bytes;
}

// The palette number that NumberedPalette wrote into set entry 0 of palette p of the last read set.
PaletteSet g_set;
int NumberOf(int palette) {
  const std::uint8_t* e = g_set.Entries.data() + static_cast<std::size_t>(palette) * 1024;
  return (e[0] >> 2) | (e[1] >> 2) << 6;
}

class PaletteFolder : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = MakePluginFolder(true); }
  void TearDown() override {
    g_set = {};
    RemovePluginFolder(folder_);
  }
  int LoadPaletteSet() {
    g_set = ReadPaletteSet(folder_.root / "TavelDat");
    return g_set.Status;
  }

  fs::path Data(const std::string& name) const { return folder_.root / "TavelDat" / name; }
  void Palette(const std::string& name, int number, std::size_t size = 768) {
    WriteFileBytes(Data(name), NumberedPalette(number, size));
  }

  PluginFolder folder_;
};

TEST_F(PaletteFolder, OfFilesOf0To772BytesOnlyThe768ByteOneCounts) {
  const std::size_t sizes[] = {0, 767, 768, 769, 772};
  for (std::size_t size : sizes) Palette("s" + std::to_string(size) + ".pal", static_cast<int>(size), size);
  ASSERT_EQ(LoadPaletteSet(), 0);
  EXPECT_EQ(g_set.Count, 1);
  EXPECT_EQ(NumberOf(0), 768 & 4095);
  EXPECT_EQ(g_set.Entries[1023], 1);  // the last flags byte of a one-palette set (ASan watches 1024)
}

TEST_F(PaletteFolder, FoldersNamedLikePalettesAreSkipped) {
  fs::create_directories(Data("x.pal"));
  fs::create_directories(Data("y.pal"));
  Palette("y.pal/z.pal", 9);  // a palette inside a folder is not in the data folder
  EXPECT_EQ(LoadPaletteSet(), 1);
  Palette("b.pal", 2);
  ASSERT_EQ(LoadPaletteSet(), 0);
  EXPECT_EQ(g_set.Count, 1);
  EXPECT_EQ(NumberOf(0), 2);
}

TEST_F(PaletteFolder, FifteenHundredPalettesLoadInNameOrder) {
  // Written from the last name to the first, so neither creation order nor the listing's order can pass for sorting.
  constexpr int kCount = 1500;
  for (int p = kCount - 1; p >= 0; --p) {
    char name[16];
    std::snprintf(name, sizeof name, "p%04d.pal", p);
    Palette(name, p);
  }
  ASSERT_EQ(LoadPaletteSet(), 0);
  ASSERT_EQ(g_set.Count, kCount);
  for (int p = 0; p < kCount; ++p)
    if (NumberOf(p) != p) ADD_FAILURE() << "palette " << p << " holds file " << NumberOf(p);
  EXPECT_EQ(g_set.Entries[static_cast<std::size_t>(kCount) * 1024 - 1], 1);
}

TEST_F(PaletteFolder, OddNamesQualifyByTheirLastFourCharacters) {
  struct Case {
    const char* name;
    bool counts;
  } cases[] = {
      {"with spaces .pal", true}, {"UPPER.PAL", true}, {"Mixed.Pal", true}, {".pal", true},
      {"a.pal.bak", false},       {"a.pa", false},     {"a.pal ", false},   {"apal", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder_.root / "TavelDat");
    fs::create_directories(folder_.root / "TavelDat");
    Palette(c.name, 5);
    if (c.counts) {
      ASSERT_EQ(LoadPaletteSet(), 0);
      EXPECT_EQ(g_set.Count, 1);
      EXPECT_EQ(NumberOf(0), 5);
    } else {
      EXPECT_EQ(LoadPaletteSet(), 1);
    }
    g_set = {};
  }
}

TEST_F(PaletteFolder, NameTooLongForThePathBufferIsRefusedAtItsPosition) {
  // 250 characters: the folder, "TavelDat\" and the name cannot share the 256 bytes of a palette path.
  const std::string longName = std::string(246, 'b') + ".pal";
  ASSERT_GT(std::strlen(folder_.plugin->PluginPath) + 9 + longName.size(), 255u);
  Palette("a.pal", 1);
  Palette(longName, 2);
  Palette("c.pal", 3);
  EXPECT_EQ(LoadPaletteSet(), -3);  // "a.pal" is read, the long name is second in name order
  EXPECT_TRUE(g_set.Entries.empty());
}

// --- Reference palette ----------------------------------------------------------------------------------------------

class ReferenceFile : public PaletteFolder {
 protected:
  void SetUp() override {
    PaletteFolder::SetUp();
    std::memset(palette_, 0xEE, sizeof palette_);
  }
  bool Untouched() const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(palette_);
    for (std::size_t i = 0; i < sizeof palette_; ++i)
      if (bytes[i] != 0xEE) return false;
    return true;
  }

  VidColour palette_[256];
};

TEST_F(ReferenceFile, EveryLengthFrom0To773GivesItsStatus) {
  struct Case {
    std::size_t size;
    int status;
  } cases[] = {{0, 2}, {1, 2}, {767, 2}, {768, 0}, {769, 0}, {770, 0}, {771, 0}, {772, 0}, {773, 1}, {65536, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    std::memset(palette_, 0xEE, sizeof palette_);
    Palette("refrence.pal", 7, c.size);
    EXPECT_EQ(ReadReferencePalette(Data("refrence.pal"), reinterpret_cast<std::uint8_t(&)[1024]>(palette_)), c.status);
    if (c.status == 0) {
      EXPECT_EQ(palette_[0].red, 7 << 2);
      EXPECT_EQ(palette_[255].blue, 767 % 64 << 2);  // byte 767, whatever follows it
      EXPECT_EQ(palette_[255].flags, 1);
    } else {
      EXPECT_TRUE(Untouched());
    }
  }
}

TEST_F(ReferenceFile, FolderOfThatNameGivesTwo) {
  fs::create_directories(Data("refrence.pal"));
  EXPECT_EQ(ReadReferencePalette(Data("refrence.pal"), reinterpret_cast<std::uint8_t(&)[1024]>(palette_)), 2);
  EXPECT_TRUE(Untouched());
}

// --- Init over the palette folder -----------------------------------------------------------------------------------

class PaletteFolderInit : public PluginSession {
 protected:
  fs::path Data(const std::string& name) const { return folder_.root / "TavelDat" / name; }
  void RemovePalettes() {
    for (const auto& entry : fs::directory_iterator(folder_.root / "TavelDat"))
      if (entry.path().extension() == ".pal") fs::remove_all(entry.path());
  }
};

TEST_F(PaletteFolderInit, FifteenHundredPalettesInitialiseAndTheFirstFrameShowsPaletteZero) {
  RemovePalettes();
  for (int p = 1499; p >= 0; --p) {
    char name[16];
    std::snprintf(name, sizeof name, "p%04d.pal", p);
    WriteFileBytes(Data(name), NumberedPalette(p));
  }
  InitOrFail();
  ASSERT_EQ(state().Effect.PaletteCount(), 1500);
  ASSERT_EQ(Render(state(), module_), 0);  // the phase starts at 0: palette 0 unblended
  EXPECT_EQ(screen().DisplayPalette[0].red, 0);
  EXPECT_EQ(screen().DisplayPalette[0].green, 0);
  for (int i = 1; i < 256; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(screen().DisplayPalette[i].red, (3 * i) % 64 << 2);
  }
}

TEST_F(PaletteFolderInit, NoQualifyingFileStopsInitWithErrorOne) {
  RemovePalettes();
  WriteFileBytes(Data("short.pal"), NumberedPalette(1, 767));
  fs::create_directories(Data("folder.pal"));
  EXPECT_EQ(Init(state(), module_), 1);
  ASSERT_EQ(MemoryMessageBoxes().size(), 1u);
  EXPECT_EQ(MemoryMessageBoxes()[0].text, "Error loading palette (Error #1)");
  EXPECT_EQ(MemoryMessageBoxes()[0].caption, "PLUG-IN error");
  EXPECT_EQ(state().Effect.PaletteCount(), 0);
}

}  // namespace
