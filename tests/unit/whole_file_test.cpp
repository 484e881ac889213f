// The whole-file routines FileSize, ReadWholeFile and WriteWholeFile.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/plugin_folder_fixture.h"
#include "tables/palette_files.h"

namespace {

class WholeFile : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = MakePluginFolder(false); }
  void TearDown() override {
    HeadlessSetOpenFailure({});
    RemovePluginFolder(folder_);
  }

  // The path in the Windows form the plug-in passes.
  std::string Path(const std::string& name) {
    std::string p = (folder_.root / name).string();
    for (char& c : p)
      if (c == '/') c = '\\';
    return p;
  }
  static std::vector<unsigned char> Pattern(std::size_t size, unsigned seed) {
    std::vector<unsigned char> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + seed);
    return bytes;
  }

  PluginFolder folder_;
};

TEST_F(WholeFile, SizeOfAMissingFileIsZero) { EXPECT_EQ(FileSize(Path("absent.dat").c_str()), 0); }

TEST_F(WholeFile, SizeIsTheFileLength) {
  WriteFileBytes(folder_.root / "f.dat", Pattern(1234, 0));
  EXPECT_EQ(FileSize(Path("f.dat").c_str()), 1234);
}

TEST_F(WholeFile, ReadingAMissingFileLeavesTheBufferUntouched) {
  std::vector<unsigned char> buffer(16, 0xAB);
  EXPECT_EQ(ReadWholeFile(Path("absent.dat").c_str(), buffer.data(), 16), 0);
  EXPECT_EQ(buffer, std::vector<unsigned char>(16, 0xAB));
}

TEST_F(WholeFile, ReadingAFolderGivesNothing) {
  std::filesystem::create_directories(folder_.root / "dir.dat");
  std::vector<unsigned char> buffer(16, 0xAB);
  EXPECT_EQ(ReadWholeFile(Path("dir.dat").c_str(), buffer.data(), 16), 0);
  EXPECT_EQ(buffer, std::vector<unsigned char>(16, 0xAB));
}

// Opening a named pipe waits for a writer; a hand-edited path naming one must not hang the plug-in.
TEST_F(WholeFile, ANamedPipeIsNotOpened) {
  ASSERT_EQ(mkfifo((folder_.root / "pipe.dat").c_str(), 0600), 0);
  std::vector<unsigned char> buffer(16, 0xAB);
  EXPECT_EQ(FileSize(Path("pipe.dat").c_str()), 0);
  EXPECT_EQ(ReadWholeFile(Path("pipe.dat").c_str(), buffer.data(), 16), 0);
  EXPECT_EQ(WriteWholeFile(Path("pipe.dat").c_str(), buffer.data(), 16), 0);
  EXPECT_EQ(buffer, std::vector<unsigned char>(16, 0xAB));
}

TEST_F(WholeFile, ReadGivesTheWholeFile) {
  auto bytes = Pattern(768, 3);
  WriteFileBytes(folder_.root / "f.dat", bytes);
  std::vector<unsigned char> buffer(772, 0xAB);
  EXPECT_EQ(ReadWholeFile(Path("f.dat").c_str(), buffer.data(), 772), 768);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), buffer.begin()));
  EXPECT_EQ(buffer[768], 0xAB);
}

TEST_F(WholeFile, ReadNeverGoesBeyondTheCapacity) {
  WriteFileBytes(folder_.root / "f.dat", Pattern(1000, 1));
  std::vector<unsigned char> buffer(800, 0xAB);
  EXPECT_EQ(ReadWholeFile(Path("f.dat").c_str(), buffer.data(), 768), 768);
  EXPECT_EQ(buffer[767], Pattern(1000, 1)[767]);
  EXPECT_EQ(buffer[768], 0xAB);
  EXPECT_EQ(ReadWholeFile(Path("f.dat").c_str(), buffer.data(), 0), 0);
  EXPECT_EQ(ReadWholeFile(Path("f.dat").c_str(), buffer.data(), -5), 0);
}

TEST_F(WholeFile, WriteOverALongerFileLeavesExactlyTheNewBytes) {
  WriteFileBytes(folder_.root / "fade.dat", Pattern(100000, 9));
  auto bytes = Pattern(65536, 5);
  EXPECT_EQ(WriteWholeFile(Path("fade.dat").c_str(), bytes.data(), 65536), 65536);
  EXPECT_EQ(ReadFileBytes(folder_.root / "fade.dat"), bytes);
}

TEST_F(WholeFile, WriteCreatesTheFile) {
  auto bytes = Pattern(10, 0);
  EXPECT_EQ(WriteWholeFile(Path("new.dat").c_str(), bytes.data(), 10), 10);
  EXPECT_EQ(ReadFileBytes(folder_.root / "new.dat"), bytes);
}

TEST_F(WholeFile, WriteIntoAMissingFolderWritesNothing) {
  auto bytes = Pattern(10, 0);
  EXPECT_EQ(WriteWholeFile(Path("absent\\new.dat").c_str(), bytes.data(), 10), 0);
  EXPECT_FALSE(std::filesystem::exists(folder_.root / "absent"));
}

TEST_F(WholeFile, AFileThatCannotBeOpenedHasNoSizeGivesNoBytesAndTakesNoWrite) {
  auto bytes = Pattern(100, 2);
  WriteFileBytes(folder_.root / "locked.dat", bytes);
  std::vector<std::string> asked;
  HeadlessSetOpenFailure([&](const std::string& path, const char* mode) {
    asked.push_back(std::string(mode) + " " + std::filesystem::path(path).filename().string());
    return true;
  });
  std::vector<unsigned char> buffer(100, 0xAB);
  EXPECT_EQ(FileSize(Path("locked.dat").c_str()), 0);
  EXPECT_EQ(ReadWholeFile(Path("locked.dat").c_str(), buffer.data(), 100), 0);
  EXPECT_EQ(buffer, std::vector<unsigned char>(100, 0xAB));
  EXPECT_EQ(WriteWholeFile(Path("locked.dat").c_str(), buffer.data(), 100), 0);
  EXPECT_EQ(ReadFileBytes(folder_.root / "locked.dat"), bytes);  // not emptied either
  EXPECT_EQ(asked, (std::vector<std::string>{"rb locked.dat", "rb locked.dat", "wb locked.dat"}));
}

TEST_F(WholeFile, AFolderHasNoSizeAndTakesNoWrite) {
  std::filesystem::create_directories(folder_.root / "dir.dat");
  EXPECT_EQ(FileSize(Path("dir.dat").c_str()), 0);
  auto bytes = Pattern(10, 0);
  EXPECT_EQ(WriteWholeFile(Path("dir.dat").c_str(), bytes.data(), 10), 0);
  EXPECT_TRUE(std::filesystem::is_directory(folder_.root / "dir.dat"));
}

}  // namespace
