// "TavelDat\fade.dat" of every wrong length, as a folder, unreadable, and changed between its size and its read.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/plugin_folder_fixture.h"
#include "tables/fade_table.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kTable = 65536;
constexpr std::size_t kGuard = 16;  // behind the table: a read past it would show here
constexpr std::uint8_t kPoison = 0xAA;

class FadeFile : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = MakePluginFolder(true); }
  void TearDown() override {
    HeadlessSetOpenFailure({});
    RemovePluginFolder(folder_);
  }
  fs::path Path() const { return folder_.root / "TavelDat" / "fade.dat"; }
  bool Untouched() const { return table_ == std::vector<std::uint8_t>(kTable + kGuard, kPoison); }

  PluginFolder folder_;
  std::vector<std::uint8_t> table_ = std::vector<std::uint8_t>(kTable + kGuard, kPoison);
};

TEST_F(FadeFile, EveryOtherLengthIsRefusedWithoutTouchingTheTable) {
  // The file holds zeros at every length, so a single read into the table would leave a mark in it.
  WriteFileBytes(Path(), {});
  std::vector<std::uintmax_t> sizes;
  for (std::uintmax_t size = 0; size <= kTable + 1; ++size)
    if (size != kTable) sizes.push_back(size);
  sizes.insert(sizes.end(), {2 * kTable, 1u << 20});
  int accepted = 0;
  for (std::uintmax_t size : sizes) {
    fs::resize_file(Path(), size);
    const int status = LoadFadeTable(table_.data());
    if (status != 1 && ++accepted <= 5) ADD_FAILURE() << size << " bytes gave " << status;
  }
  EXPECT_EQ(accepted, 0);
  EXPECT_TRUE(Untouched());
}

TEST_F(FadeFile, FolderOfThatNameIsRefused) {
  fs::create_directories(Path());
  EXPECT_EQ(LoadFadeTable(table_.data()), 1);
  EXPECT_TRUE(Untouched());
}

TEST_F(FadeFile, UnreadableFileIsRefused) {
  WriteFileBytes(Path(), std::vector<unsigned char>(kTable, 3));
  HeadlessSetOpenFailure([](const std::string& path, const char*) { return fs::path(path).filename() == "fade.dat"; });
  EXPECT_EQ(LoadFadeTable(table_.data()), 1);
  EXPECT_TRUE(Untouched());
}

TEST_F(FadeFile, FileShortenedAfterItsSizeWasTakenIsRefused) {
  WriteFileBytes(Path(), std::vector<unsigned char>(kTable, 3));
  HeadlessSetOpenFailure([&, opens = 0](const std::string&, const char*) mutable {
    if (++opens == 2) fs::resize_file(Path(), kTable - 1);
    return false;
  });
  EXPECT_EQ(LoadFadeTable(table_.data()), 1);
  for (std::size_t i = kTable; i < table_.size(); ++i) ASSERT_EQ(table_[i], kPoison) << i;
}

TEST_F(FadeFile, FileGrownAfterItsSizeWasTakenFillsTheTableAndNoMore) {
  // Its first 65536 bytes are taken, as the file held them when its size was checked.
  WriteFileBytes(Path(), std::vector<unsigned char>(kTable, 3));
  HeadlessSetOpenFailure([&, opens = 0](const std::string&, const char*) mutable {
    if (++opens == 2) WriteFileBytes(Path(), std::vector<unsigned char>(kTable + 4096, 4));
    return false;
  });
  EXPECT_EQ(LoadFadeTable(table_.data()), 0);
  EXPECT_EQ(std::vector<std::uint8_t>(table_.begin(), table_.begin() + kTable), std::vector<std::uint8_t>(kTable, 4));
  EXPECT_EQ(std::vector<std::uint8_t>(table_.begin() + kTable, table_.end()),
            std::vector<std::uint8_t>(kGuard, kPoison));
}

}  // namespace
