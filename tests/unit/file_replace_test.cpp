// Writing a data file whole or not at all: the new bytes exactly, the old file kept on failure, nothing left over;
// and every reader of the data set refusing what is not a regular file, without blocking on a pipe.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "data/file_replace.h"
#include "data/plugin_data.h"
#include "support/plugin_folder_fixture.h"

namespace {

namespace fs = std::filesystem;

class FileReplace : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = MakePluginFolder(false); }
  void TearDown() override { RemovePluginFolder(folder_); }
  fs::path Path(const std::string& name) const { return folder_.root / name; }
  // Every name in the folder: a temporary file left behind would show here.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.root)) names.push_back(entry.path().filename().string());
    return names;
  }
  PluginFolder folder_;
};

TEST_F(FileReplace, WriteCreatesTheFile) {
  std::string error;
  ASSERT_TRUE(ReplaceFileContents(Path("new.dat"), "0123456789", error)) << error;
  EXPECT_EQ(ReadFileText(Path("new.dat")), "0123456789");
  EXPECT_EQ(Names(), std::vector<std::string>{"new.dat"});
}

TEST_F(FileReplace, WriteOverALongerFileLeavesExactlyTheNewBytes) {
  WriteFileBytes(Path("fade.dat"), std::vector<unsigned char>(100000, 7));
  std::string error;
  ASSERT_TRUE(ReplaceFileContents(Path("fade.dat"), std::string(65536, 'x'), error)) << error;
  EXPECT_EQ(ReadFileText(Path("fade.dat")), std::string(65536, 'x'));
  EXPECT_EQ(Names(), std::vector<std::string>{"fade.dat"});
}

TEST_F(FileReplace, AnEmptyContentEmptiesTheFile) {
  WriteFileText(Path("plugin.ini"), "[x]\r\n");
  std::string error;
  ASSERT_TRUE(ReplaceFileContents(Path("plugin.ini"), "", error)) << error;
  EXPECT_EQ(fs::file_size(Path("plugin.ini")), 0u);
}

TEST_F(FileReplace, FailuresNameTheFileAndLeaveNothingBehind) {
  fs::create_directories(Path("dir.dat"));
  WriteFileText(Path("dir.dat") / "inside", "kept");
  const fs::path targets[] = {Path("absent") / "new.dat", Path("dir.dat")};
  for (const fs::path& target : targets) {
    SCOPED_TRACE(target.string());
    std::string error;
    EXPECT_FALSE(ReplaceFileContents(target, "bytes", error));
    EXPECT_NE(error.find(target.string()), std::string::npos) << error;
  }
  EXPECT_EQ(Names(), std::vector<std::string>{"dir.dat"});
  EXPECT_EQ(ReadFileText(Path("dir.dat") / "inside"), "kept");
}

TEST_F(FileReplace, ANamedPipeIsWrittenAsSuch) {
  ASSERT_EQ(::mkfifo(Path("pipe.dat").c_str(), 0600), 0);
  std::string got;
  std::thread reader([&] { got = ReadFileText(Path("pipe.dat")); });
  std::string error;
  EXPECT_TRUE(ReplaceFileContents(Path("pipe.dat"), "through the pipe", error)) << error;
  reader.join();
  EXPECT_EQ(got, "through the pipe");
  EXPECT_TRUE(fs::is_fifo(Path("pipe.dat")));
}

// The file keeps what made it the user's: written through a link (the link stays), with its mode and group; a file
// nobody may write is refused and left as it was.
TEST_F(FileReplace, AFileKeepsItsLinkModeAndGroupAndAReadOnlyOneIsRefused) {
  fs::create_directories(Path("elsewhere"));
  const struct {
    const char* name;
    ::mode_t mode;
    const char* linkedFrom;  // the name written, a link to `name`; null: `name` itself
    bool written;
  } cases[] = {
      {"private.ini", 0600, nullptr, true},
      {"elsewhere/shared.ini", 0640, "plugin.ini", true},
      {"elsewhere/fade.dat", 0644, "fade.dat", true},
      {"readonly.ini", 0444, nullptr, false},
      {"elsewhere/readonly.dat", 0400, "linked-readonly.dat", false},
  };
  const bool root = ::geteuid() == 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileText(Path(c.name), "old");
    ASSERT_EQ(::chmod(Path(c.name).c_str(), c.mode), 0);
    // Another group than the user's own, which a new file would get.
    if (root) {
      ASSERT_EQ(::chown(Path(c.name).c_str(), 0, 4), 0);
    }
    fs::path written = Path(c.name);
    if (c.linkedFrom) {
      written = Path(c.linkedFrom);
      fs::create_symlink(fs::path(c.name), written);
    }
    std::string error;
    EXPECT_EQ(ReplaceFileContents(written, "new", error), c.written) << error;
    EXPECT_EQ(ReadFileText(Path(c.name)), c.written ? "new" : "old");
    if (!c.written) {
      EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    }
    EXPECT_EQ(fs::is_symlink(written), c.linkedFrom != nullptr);
    struct stat st {};
    ASSERT_EQ(::stat(Path(c.name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.mode);
    if (root) {
      EXPECT_EQ(st.st_gid, 4u);
    }
  }
  for (const auto& entry : fs::directory_iterator(Path("elsewhere")))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
}

// Folders made for a new file go again when it is not written, and only those: one that was there stays.
TEST_F(FileReplace, FoldersMadeForAFileGoUnlessKept) {
  std::string error;
  {
    MadeFolders folders;
    ASSERT_TRUE(folders.Make(Path("a") / "b" / "c", error)) << error;
    EXPECT_TRUE(fs::is_directory(Path("a") / "b" / "c"));
  }
  EXPECT_EQ(Names(), std::vector<std::string>{});
  fs::create_directories(Path("kept"));
  {
    MadeFolders folders;
    ASSERT_TRUE(folders.Make(Path("kept") / "new", error)) << error;
    folders.Keep();
  }
  EXPECT_TRUE(fs::is_directory(Path("kept") / "new"));
  WriteFileText(Path("file"), "x");
  MadeFolders folders;
  EXPECT_FALSE(folders.Make(Path("file") / "sub", error));
  EXPECT_NE(error.find((Path("file") / "sub").string()), std::string::npos) << error;
}

// A missing file, a folder and a named pipe in the place of each data file: refused (or read as absent), and a
// pipe nobody writes to never blocks the reader.
TEST_F(FileReplace, EveryReaderRefusesWhatIsNotARegularFile) {
  const fs::path data = Path("TavelDat");
  fs::create_directories(data);
  const struct {
    const char* name;
    std::function<bool(const fs::path&)> refused;
  } readers[] = {
      {"fade.dat", [](const fs::path& p) { return ReadFadeTable(p).empty(); }},
      {"refrence.pal",
       [](const fs::path& p) {
         std::uint8_t entries[1024];
         return ReadReferencePalette(p, entries) == 2;
       }},
      {"texture.bmp",
       [](const fs::path& p) {
         std::vector<std::uint8_t> texture;
         return ReadTexture(p, texture) == kTextureNotBitmap && texture.empty();
       }},
      {"plugin.ini",
       [](const fs::path& p) {
         EffectSettings settings;
         ReadSettings(p, settings);
         return settings.RadioIndex == EffectSettings{}.RadioIndex;
       }},
  };
  for (const auto& reader : readers) {
    const fs::path file = data / reader.name;
    for (const char* kind : {"missing", "folder", "pipe"}) {
      SCOPED_TRACE(std::string(reader.name) + " as " + kind);
      fs::remove_all(file);
      if (std::string(kind) == "folder") fs::create_directories(file);
      if (std::string(kind) == "pipe") {
        ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
      }
      EXPECT_TRUE(reader.refused(file));
    }
  }
  // A pipe named like a palette is no palette.
  fs::remove_all(data / "a.pal");
  ASSERT_EQ(::mkfifo((data / "a.pal").c_str(), 0600), 0);
  EXPECT_EQ(ReadPaletteSet(data).Status, 1);
}

}  // namespace
