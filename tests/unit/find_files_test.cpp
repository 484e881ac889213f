// The headless directory search: wildcard matching, sizes and flags, invalid patterns, handle bookkeeping.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/plugin_folder_fixture.h"

namespace {

namespace fs = std::filesystem;

class FindFiles : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = MakePluginFolder(false); }
  void TearDown() override {
    EXPECT_EQ(HeadlessOpenSearchCount(), 0u);  // every search closed again
    RemovePluginFolder(folder_);
  }

  // The pattern as the plug-in writes it: the folder in Windows form, then the name pattern.
  std::string Pattern(const std::string& name) {
    std::string p = folder_.root.string() + "\\" + name;
    for (char& c : p)
      if (c == '/') c = '\\';
    return p;
  }
  void File(const std::string& name, std::size_t size) {
    WriteFileBytes(folder_.root / name, std::vector<unsigned char>(size, 1));
  }
  std::vector<WIN32_FIND_DATAA> List(const std::string& name) {
    std::vector<WIN32_FIND_DATAA> found;
    WIN32_FIND_DATAA data;
    std::memset(&data, 0xCD, sizeof data);
    HANDLE h = FindFirstFileA(Pattern(name).c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return found;
    do found.push_back(data);
    while (FindNextFileA(h, &data));
    EXPECT_TRUE(FindClose(h));
    return found;
  }
  std::vector<std::string> Names(const std::string& name) {
    std::vector<std::string> names;
    for (const auto& d : List(name)) names.emplace_back(d.cFileName);
    return names;
  }

  PluginFolder folder_;
};

TEST_F(FindFiles, StarMatchesWithoutCaseAndReportsSizesAndFolders) {
  File("a.pal", 768);
  File("B.PAL", 10);
  File("c.txt", 768);
  fs::create_directories(folder_.root / "d.pal");
  auto found = List("*.pal");
  ASSERT_EQ(found.size(), 3u);  // in descending byte order of the names
  EXPECT_STREQ(found[0].cFileName, "d.pal");
  EXPECT_EQ(found[0].dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_STREQ(found[1].cFileName, "a.pal");
  EXPECT_EQ(found[1].nFileSizeLow, 768u);
  EXPECT_EQ(found[1].nFileSizeHigh, 0u);
  EXPECT_EQ(found[1].dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_STREQ(found[2].cFileName, "B.PAL");
  EXPECT_EQ(found[2].nFileSizeLow, 10u);
}

TEST_F(FindFiles, QuestionMarkMatchesExactlyOneCharacter) {
  File("x.pal", 1);
  File("x1.pal", 1);
  File("x12.pal", 1);
  EXPECT_EQ(Names("x?.pal"), std::vector<std::string>{"x1.pal"});
}

TEST_F(FindFiles, StarMatchesAnEmptyRunAndTheWholeName) {
  File(".pal", 1);
  File("pal", 1);
  File("x.pal.bak", 1);
  EXPECT_EQ(Names("*.pal"), std::vector<std::string>{".pal"});
  EXPECT_EQ(Names("pal"), std::vector<std::string>{"pal"});
}

TEST_F(FindFiles, StarDotStarListsEverythingWithDotEntries) {
  File("plain", 1);
  EXPECT_EQ(Names("*.*"), (std::vector<std::string>{".", "..", "plain"}));
}

TEST_F(FindFiles, SizesBeyond32BitsAreSplit) {
  std::error_code ec;
  {
    std::FILE* f = std::fopen((folder_.root / "big.pal").c_str(), "wb");
    std::fclose(f);
  }
  fs::resize_file(folder_.root / "big.pal", (std::uintmax_t{1} << 32) + 3, ec);
  if (ec) GTEST_SKIP() << "no sparse files here: " << ec.message();
  auto found = List("big.pal");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].nFileSizeHigh, 1u);
  EXPECT_EQ(found[0].nFileSizeLow, 3u);
}

TEST_F(FindFiles, InvalidPatternsGiveAnInvalidHandle) {
  WIN32_FIND_DATAA data;
  File("a.pal", 1);
  struct Case {
    const char* label;
    std::string pattern;
  } cases[] = {
      {"no match", Pattern("*.bmp")},
      {"missing folder", Pattern("absent\\*.pal")},
      {"empty name", Pattern("")},
      {"wildcard in the folder", Pattern("*\\a.pal")},
      {"a file as folder", Pattern("a.pal\\*")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(FindFirstFileA(c.pattern.c_str(), &data), INVALID_HANDLE_VALUE);
  }
}

TEST_F(FindFiles, NextAfterTheLastEntryAndStaleHandlesFail) {
  File("a.pal", 1);
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(Pattern("*.pal").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FindNextFileA(h, &data));
  EXPECT_TRUE(FindClose(h));
  EXPECT_FALSE(FindNextFileA(h, &data));
  EXPECT_FALSE(FindClose(h));
  EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &data));
}

TEST_F(FindFiles, ListingIsTakenAtTheFirstCall) {
  File("a.pal", 1);
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(Pattern("*.pal").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  File("b.pal", 1);
  EXPECT_FALSE(FindNextFileA(h, &data));
  FindClose(h);
}

TEST_F(FindFiles, HookRunsAfterTheListing) {
  File("a.pal", 768);
  int calls = 0;
  HeadlessSetFindHook([&](const std::string& pattern) {
    ++calls;
    EXPECT_EQ(pattern, Pattern("*.pal"));
    fs::remove(folder_.root / "a.pal");
  });
  auto found = List("*.pal");
  HeadlessSetFindHook(nullptr);
  EXPECT_EQ(calls, 1);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].nFileSizeLow, 768u);
}

// --- Formatting --------------------------------------------------------------------------------------------------

TEST(Format, ConversionsTheCodeUses) {
  struct Case {
    const char* label;
    std::string expected;
    std::string actual;
  };
  auto fmt = [](const char* format, auto... args) {
    char buffer[1100];
    std::memset(buffer, 'X', sizeof buffer);
    int n = wsprintfA(buffer, format, args...);
    EXPECT_EQ(n, static_cast<int>(std::strlen(buffer)));
    return std::string(buffer);
  };
  Case cases[] = {
      {"signed", "Error #-3", fmt("Error #%d", -3)},
      {"int min", "-2147483648", fmt("%d", -2147483647 - 1)},
      {"unsigned", "4294967295", fmt("%u", 0xFFFFFFFFu)},
      {"hex padded", "0000BEEF", fmt("%08X", 0xBEEFu)},
      {"hex lower", "beef", fmt("%x", 0xBEEFu)},
      {"long is 32 bits", "-5 7", fmt("%ld %lu", -5, 7u)},
      {"char", "[A]", fmt("[%c]", 'A')},
      {"strings", "C:\\dir\\a.pal", fmt("%s%s", "C:\\dir\\", "a.pal")},
      {"null string", "(null)", fmt("%s", static_cast<const char*>(nullptr))},
      {"left aligned", "ab   |", fmt("%-5s|", "ab")},
      {"precision", "abc", fmt("%.3s", "abcdef")},
      {"percent", "100%", fmt("100%%")},
      {"unknown type", "q", fmt("%q")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.actual, c.expected);
  }
}

TEST(Format, OutputStopsAt1023Characters) {
  std::string longText(2000, 'a');
  char buffer[1100];
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(wsprintfA(buffer, "%s%d", longText.c_str(), 5), 1023);
  EXPECT_EQ(buffer[1022], 'a');
  EXPECT_EQ(buffer[1023], '\0');
  EXPECT_EQ(buffer[1024], 'X');
}

TEST(Format, HugeWidthIsCutToTheLimit) {
  char buffer[1100];
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(wsprintfA(buffer, "%5000d", 1), 1023);
  EXPECT_EQ(buffer[1023], '\0');
  EXPECT_EQ(buffer[1024], 'X');
}

}  // namespace
