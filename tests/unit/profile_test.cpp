// The headless profile (INI) calls: one tiny file per edge case of reading, and writes that keep the rest.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "support/plugin_folder_fixture.h"

namespace {

class Profile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakePluginFolder(false);
    path_ = (folder_.root / "p.ini").string();
  }
  void TearDown() override { RemovePluginFolder(folder_); }

  void Given(const std::string& text) { WriteFileText(path_, text); }
  int Int(const char* section, const char* key, int defaultValue = -7) {
    return static_cast<int>(GetPrivateProfileIntA(section, key, defaultValue, path_.c_str()));
  }
  std::string Text(const char* section, const char* key, const char* defaultValue = "dflt") {
    char buffer[64];
    std::memset(buffer, 'X', sizeof buffer);
    DWORD n = GetPrivateProfileStringA(section, key, defaultValue, buffer, sizeof buffer, path_.c_str());
    EXPECT_EQ(n, std::strlen(buffer));
    return buffer;
  }
  std::string File() { return ReadFileText(path_); }

  PluginFolder folder_;
  std::string path_;
};

// --- Reading -------------------------------------------------------------------------------------------------------

TEST_F(Profile, SectionAndKeyNamesIgnoreCase) {
  Given("[ombrelo TUNNEL]\nfadepower=7\n");
  EXPECT_EQ(Int("Ombrelo Tunnel", "FadePower"), 7);
}

TEST_F(Profile, BlanksAroundNamesAndValuesAreIgnored) {
  Given("  [  Sec  ]  \r\n \t Key   =  12 \t\r\n Name =  two words  \r\n");
  EXPECT_EQ(Int("Sec", "Key"), 12);
  EXPECT_EQ(Text("Sec", "Name"), "two words");
}

TEST_F(Profile, MissingFileGivesTheDefault) {
  EXPECT_EQ(Int("Sec", "Key", -5), -5);
  EXPECT_EQ(Text("Sec", "Key", "fallback"), "fallback");
}

TEST_F(Profile, MissingSectionGivesTheDefault) {
  Given("[Other]\nKey=1\n");
  EXPECT_EQ(Int("Sec", "Key", 33), 33);
}

TEST_F(Profile, MissingKeyGivesTheDefault) {
  Given("[Sec]\nOther=1\n");
  EXPECT_EQ(Int("Sec", "Key", 33), 33);
  EXPECT_EQ(Text("Sec", "Key"), "dflt");
}

TEST_F(Profile, AnotherSectionsKeysAreIgnored) {
  Given("[Other]\nKey=1\n[Sec]\nX=2\n[Third]\nKey=3\n");
  EXPECT_EQ(Int("Sec", "Key", 44), 44);
  EXPECT_EQ(Int("Sec", "X"), 2);
}

TEST_F(Profile, KeysBeforeTheFirstSectionBelongToNone) {
  Given("Key=1\n[Sec]\n");
  EXPECT_EQ(Int("Sec", "Key", 44), 44);
}

TEST_F(Profile, FirstOfTwoSectionsWithOneNameIsRead) {
  Given("[Sec]\nKey=1\n[Sec]\nKey=2\nOnlySecond=3\n");
  EXPECT_EQ(Int("Sec", "Key"), 1);
  EXPECT_EQ(Int("Sec", "OnlySecond", 44), 44);
}

TEST_F(Profile, IntegerTakesLeadingDigitsOnly) {
  Given("[Sec]\nKey=12abc\n");
  EXPECT_EQ(Int("Sec", "Key"), 12);
}

TEST_F(Profile, TextWithoutDigitsReadsAsZero) {
  Given("[Sec]\nKey=abc\n");
  EXPECT_EQ(Int("Sec", "Key"), 0);
}

TEST_F(Profile, EmptyValueGivesTheDefaultForIntegersAndEmptyText) {
  Given("[Sec]\nKey=\n");
  EXPECT_EQ(Int("Sec", "Key", 9), 9);
  EXPECT_EQ(Text("Sec", "Key"), "");
}

TEST_F(Profile, NegativeNumbersKeepTheirSign) {
  Given("[Sec]\nMinus=-42\nPlus=+7\n");
  EXPECT_EQ(Int("Sec", "Minus"), -42);
  EXPECT_EQ(GetPrivateProfileIntA("Sec", "Minus", 0, path_.c_str()), 4294967254u);
  EXPECT_EQ(Int("Sec", "Plus"), 7);
}

TEST_F(Profile, HugeNumbersWrapModulo2To32) {
  Given("[Sec]\nA=4294967301\nB=99999999999999999999\nC=-2147483648\n");
  EXPECT_EQ(Int("Sec", "A"), 5);
  EXPECT_EQ(GetPrivateProfileIntA("Sec", "B", 0, path_.c_str()), 1661992959u);
  EXPECT_EQ(Int("Sec", "C"), -2147483647 - 1);
}

TEST_F(Profile, HexadecimalPrefixIsUnderstood) {
  Given("[Sec]\nKey=0x1F\n");
  EXPECT_EQ(Int("Sec", "Key"), 31);
}

TEST_F(Profile, TextIsCutToTheBuffer) {
  Given("[Sec]\nKey=abcdef\n");
  char buffer[8];
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(GetPrivateProfileStringA("Sec", "Key", "", buffer, 4, path_.c_str()), 3u);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(buffer[4], 'X');
}

TEST_F(Profile, QuotesAroundAValueAreDropped) {
  Given("[Sec]\nKey=\" spaced \"\nOdd=\"half\n");
  EXPECT_EQ(Text("Sec", "Key"), " spaced ");
  EXPECT_EQ(Text("Sec", "Odd"), "\"half");
}

TEST_F(Profile, DefaultLosesItsTrailingBlanks) { EXPECT_EQ(Text("Sec", "Key", "value  "), "value"); }

TEST_F(Profile, GarbageLinesAreSkipped) {
  std::string garbage = "\x01\x02\xff no equals here\n[unclosed\n=no name\n;Key=5\n";
  garbage += std::string(100000, 'z') + "\n";
  garbage += std::string("nul\0byte=1\n", 11);
  Given("[Sec]\n" + garbage + "Key=6\n");
  EXPECT_EQ(Int("Sec", "Key"), 6);
  EXPECT_EQ(Int("Sec", "Missing", 3), 3);
}

TEST_F(Profile, AFolderInPlaceOfTheFileGivesTheDefault) {
  std::filesystem::create_directories(path_);
  EXPECT_EQ(Int("Sec", "Key", 8), 8);
  EXPECT_FALSE(WritePrivateProfileStringA("Sec", "Key", "1", path_.c_str()));
}

TEST_F(Profile, NullNamesListSectionsOrKeysCutToTheBuffer) {
  Given("[A]\nk=1\nlong=2\n[B]\n");
  char buffer[16];
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, path_.c_str()), 4u);
  EXPECT_EQ(std::string(buffer, 5), std::string("A\0B\0\0", 5));
  EXPECT_EQ(GetPrivateProfileStringA("a", nullptr, "", buffer, sizeof buffer, path_.c_str()), 7u);
  EXPECT_EQ(std::string(buffer, 8), std::string("k\0long\0\0", 8));
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(GetPrivateProfileStringA("A", nullptr, "", buffer, 5, path_.c_str()), 3u);
  EXPECT_EQ(std::string(buffer, 5), std::string("k\0l\0\0", 5));
  EXPECT_EQ(buffer[5], 'X');
}

TEST_F(Profile, NameListFillingTheBufferExactlyStaysInside) {
  Given("[ABC]\n[D]\n");
  char buffer[8];
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", buffer, 5, path_.c_str()), 3u);
  EXPECT_EQ(std::string(buffer, 5), std::string("ABC\0\0", 5));
  EXPECT_EQ(buffer[5], 'X');
}

// --- Writing -------------------------------------------------------------------------------------------------------

TEST_F(Profile, WriteCreatesFileAndSection) {
  EXPECT_TRUE(WritePrivateProfileStringA("Sec", "Key", "1", path_.c_str()));
  EXPECT_EQ(File(), "[Sec]\r\nKey=1\r\n");
}

TEST_F(Profile, WriteReplacesTheKeyInPlaceAndKeepsEverythingElse) {
  Given("; comment\n[A]\nk=1\n  Key = old  \nz=3\n\n[B]\nKey=b\n");
  EXPECT_TRUE(WritePrivateProfileStringA("A", "KEY", "new", path_.c_str()));
  EXPECT_EQ(File(), "; comment\n[A]\nk=1\nKey=new\nz=3\n\n[B]\nKey=b\n");
}

TEST_F(Profile, WriteAddsAMissingKeyAtTheEndOfItsSection) {
  Given("[A]\r\nk=1\r\n\r\n[B]\r\nx=2\r\n");
  EXPECT_TRUE(WritePrivateProfileStringA("A", "n", "5", path_.c_str()));
  EXPECT_EQ(File(), "[A]\r\nk=1\r\nn=5\r\n\r\n[B]\r\nx=2\r\n");
}

TEST_F(Profile, WriteAddsASectionAfterALastLineWithoutNewline) {
  Given("[A]\nk=1");
  EXPECT_TRUE(WritePrivateProfileStringA("B", "x", "2", path_.c_str()));
  EXPECT_EQ(File(), "[A]\nk=1\r\n\r\n[B]\r\nx=2\r\n");
}

TEST_F(Profile, WriteThenReadGivesTheValueBack) {
  Given("[Sec]\nKey=1\n");
  ASSERT_TRUE(WritePrivateProfileStringA("Sec", "Key", "C:\\tex\\rock.bmp", path_.c_str()));
  EXPECT_EQ(Text("Sec", "Key"), "C:\\tex\\rock.bmp");
}

TEST_F(Profile, NullValueRemovesTheKeyAndNullKeyTheSection) {
  Given("[A]\nk=1\nj=2\n[B]\nx=2\n[C]\ny=3\n");
  EXPECT_TRUE(WritePrivateProfileStringA("A", "k", nullptr, path_.c_str()));
  EXPECT_TRUE(WritePrivateProfileStringA("b", nullptr, nullptr, path_.c_str()));
  EXPECT_EQ(File(), "[A]\nj=2\n[C]\ny=3\n");
}

TEST_F(Profile, WriteIntoAMissingFolderFails) {
  std::string path = (folder_.root / "absent" / "p.ini").string();
  EXPECT_FALSE(WritePrivateProfileStringA("Sec", "Key", "1", path.c_str()));
}

}  // namespace
