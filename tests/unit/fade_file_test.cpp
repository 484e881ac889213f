// "TavelDat/fade.dat" of every wrong length and as a folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "data/plugin_data.h"
#include "support/plugin_folder_fixture.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kTable = 65536;
constexpr std::size_t kGuard = 16;  // behind the table: a read past it would show here
constexpr std::uint8_t kPoison = 0xAA;

class FadeFile : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = MakePluginFolder(true); }
  void TearDown() override { RemovePluginFolder(folder_); }
  fs::path Path() const { return folder_.root / "TavelDat" / "fade.dat"; }
  // 0 = the table was read into table_; 1 = refused, table_ untouched.
  int Load() {
    const std::vector<std::uint8_t> table = ReadFadeTable(Path());
    if (table.empty()) return 1;
    std::copy(table.begin(), table.end(), table_.begin());
    return 0;
  }
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
    const int status = Load();
    if (status != 1 && ++accepted <= 5) ADD_FAILURE() << size << " bytes gave " << status;
  }
  EXPECT_EQ(accepted, 0);
  EXPECT_TRUE(Untouched());
}

TEST_F(FadeFile, FolderOfThatNameIsRefused) {
  fs::create_directories(Path());
  EXPECT_EQ(Load(), 1);
  EXPECT_TRUE(Untouched());
}

}  // namespace
