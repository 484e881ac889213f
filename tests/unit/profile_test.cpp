// "plugin.ini" as the system's profile functions read and write it: one tiny file per edge case of reading,
// and writes that keep the rest.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "data/file_replace.h"
#include "data/profile_file.h"
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
  ProfileFile Load() {
    ProfileFile profile;
    profile.Read(path_);
    return profile;
  }
  int Int(const char* section, const char* key, int defaultValue = -7) {
    return static_cast<int>(Load().Integer(section, key, defaultValue));
  }
  std::uint32_t Unsigned(const char* section, const char* key) { return Load().Integer(section, key, 0); }
  std::string Text(const char* section, const char* key, const char* defaultValue = "dflt",
                   std::size_t bufferBytes = 64) {
    return Load().Text(section, key, defaultValue, bufferBytes);
  }
  // As the data set writes a key: the file read (a file that cannot be read is not replaced), the key set, the
  // whole file replaced.
  bool Write(const char* section, const char* key, const char* value, const std::string& path) {
    ProfileFile profile;
    if (profile.Read(path) == ProfileFile::Load::Failed) return false;
    profile.Set(section, key, value);
    std::string error;
    return ReplaceFileContents(path, profile.Bytes(), error);
  }
  bool Write(const char* section, const char* key, const char* value) { return Write(section, key, value, path_); }
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
  EXPECT_EQ(Unsigned("Sec", "Minus"), 4294967254u);
  EXPECT_EQ(Int("Sec", "Plus"), 7);
}

TEST_F(Profile, HugeNumbersWrapModulo2To32) {
  Given("[Sec]\nA=4294967301\nB=99999999999999999999\nC=-2147483648\n");
  EXPECT_EQ(Int("Sec", "A"), 5);
  EXPECT_EQ(Unsigned("Sec", "B"), 1661992959u);
  EXPECT_EQ(Int("Sec", "C"), -2147483647 - 1);
}

TEST_F(Profile, HexadecimalPrefixIsUnderstood) {
  Given("[Sec]\nKey=0x1F\n");
  EXPECT_EQ(Int("Sec", "Key"), 31);
}

TEST_F(Profile, TextIsCutToTheBuffer) {
  Given("[Sec]\nKey=abcdef\n");
  EXPECT_EQ(Text("Sec", "Key", "", 4), "abc");
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
  EXPECT_FALSE(Write("Sec", "Key", "1"));
}

// --- Malformed files ----------------------------------------------------------------------------------------------

TEST_F(Profile, OfTwoLinesWithOneKeyTheEarlierIsReadAndWritten) {
  Given("[Sec]\nKey=1\nkey=2\n");
  EXPECT_EQ(Int("Sec", "Key"), 1);
  EXPECT_TRUE(Write("Sec", "Key", "9"));
  EXPECT_EQ(File(), "[Sec]\nKey=9\nkey=2\n");
}

TEST_F(Profile, WriteGoesToTheFirstOfTwoSectionsWithOneName) {
  Given("[Sec]\nA=1\n[SEC]\nB=2\n");
  EXPECT_TRUE(Write("Sec", "B", "3"));
  EXPECT_EQ(File(), "[Sec]\nA=1\nB=3\r\n[SEC]\nB=2\n");
  EXPECT_EQ(Int("Sec", "B"), 3);
}

TEST_F(Profile, LastLineWithoutNewlineIsRead) {
  Given("[Sec]\nKey=12");
  EXPECT_EQ(Int("Sec", "Key"), 12);
  Given("[Sec]\nName=last");
  EXPECT_EQ(Text("Sec", "Name"), "last");
}

TEST_F(Profile, CrLfLfAndMixedLineEndsReadAlike) {
  const char* files[] = {"[Sec]\r\nKey=5\r\n", "[Sec]\nKey=5\n", "[Sec]\r\nKey=5\n", "[Sec]\nKey=5\r\n",
                         "[Sec]\r\nKey=5"};
  for (const char* file : files) {
    SCOPED_TRACE(::testing::PrintToString(std::string(file)));
    Given(file);
    EXPECT_EQ(Int("Sec", "Key"), 5);
    EXPECT_EQ(Text("Sec", "Key"), "5");
  }
}

TEST_F(Profile, LoneCrDoesNotEndALine) {
  Given("[Sec]\nKey=5\rOther=6\n");
  EXPECT_EQ(Int("Sec", "Key"), 5);
  EXPECT_EQ(Int("Sec", "Other", 44), 44);
  EXPECT_EQ(Text("Sec", "Key"), "5\rOther=6");
}

TEST_F(Profile, NulByteEndsAValue) {
  Given(std::string("[Sec]\nKey=12\0 34\nName=ab\0cd\n", 27));
  EXPECT_EQ(Int("Sec", "Key"), 12);
  EXPECT_EQ(Text("Sec", "Name"), "ab");
}

TEST_F(Profile, NulByteInAKeyOrHeaderLineLeavesNoKeyOrSection) {
  Given(std::string("[Sec]\nKe\0y=1\n[Oth\0er]\nKey=2\n", 27));
  EXPECT_EQ(Int("Sec", "Key"), 2);  // "[Oth" is no header, so Key=2 still belongs to [Sec]
  EXPECT_EQ(Int("Sec", "Ke"), -7);
  EXPECT_EQ(Int("Oth", "Key"), -7);
}

TEST_F(Profile, WriteKeepsALineWithANulByteWhole) {
  const std::string file("[Sec]\nKe\0y=1\n", 13);
  Given(file);
  EXPECT_TRUE(Write("Sec", "Key", "2"));
  EXPECT_EQ(File(), file + "Key=2\r\n");
}

TEST_F(Profile, IntegerReadsOnlyTheFirst29CharactersOfAValue) {
  Given("[Sec]\nNines=" + std::string(10000, '9') + "\nEdge=" + std::string(28, '0') + "78\n");
  EXPECT_EQ(Unsigned("Sec", "Nines"), 2684354559u);  // 29 nines modulo 2^32
  EXPECT_EQ(Int("Sec", "Edge"), 7);
}

TEST_F(Profile, OverlongTextIsCutWithItsTerminatorInside) {
  Given("[Sec]\nName=" + std::string(100000, 'n') + "\n");
  EXPECT_EQ(Text("Sec", "Name", "", 260), std::string(259, 'n'));
}

TEST_F(Profile, HugeFileOfJunkIsReadThrough) {
  std::string junk(5 << 20, '\0');
  std::uint32_t x = 12345;
  for (char& c : junk) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  Given(junk + "\n[Sec]\nKey=4\n");
  EXPECT_EQ(Int("Sec", "Key"), 4);
  EXPECT_EQ(Int("Sec", "Missing", 3), 3);
}

TEST_F(Profile, PipeInPlaceOfTheFileIsNotOpened) {
  // Opening a pipe nobody writes to would block the caller for ever.
  ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
  EXPECT_EQ(Int("Sec", "Key", 8), 8);
  EXPECT_EQ(Text("Sec", "Key", "d"), "d");
  EXPECT_FALSE(Write("Sec", "Key", "1"));
}

TEST_F(Profile, ByteOrderMarkBelongsToTheFirstLine) {
  Given("\xEF\xBB\xBF[Sec]\nKey=1\n");
  EXPECT_EQ(Int("Sec", "Key"), -7);
  Given("\xEF\xBB\xBF\n[Sec]\nKey=1\n");
  EXPECT_EQ(Int("Sec", "Key"), 1);
}

TEST_F(Profile, UnclosedHeaderNeitherOpensNorEndsASection) {
  Given("[Sec]\n[Other\nKey=1\n");
  EXPECT_EQ(Int("Sec", "Key"), 1);
  EXPECT_EQ(Int("Other", "Key"), -7);
  EXPECT_EQ(Int("[Other", "Key"), -7);
}

TEST_F(Profile, ValueWithoutAKeyNameMatchesNoKey) {
  Given("[Sec]\n=5\nKey=6\n");
  EXPECT_EQ(Int("Sec", "Key"), 6);
  EXPECT_EQ(Int("Sec", "Missing"), -7);
}

TEST_F(Profile, NameWithoutEqualsSignIsNoKey) {
  Given("[Sec]\nKey\nName\n");
  EXPECT_EQ(Int("Sec", "Key"), -7);
  EXPECT_EQ(Text("Sec", "Name"), "dflt");
}

// --- Writing -------------------------------------------------------------------------------------------------------

TEST_F(Profile, WriteCreatesFileAndSection) {
  EXPECT_TRUE(Write("Sec", "Key", "1"));
  EXPECT_EQ(File(), "[Sec]\r\nKey=1\r\n");
}

TEST_F(Profile, WriteReplacesTheKeyInPlaceAndKeepsEverythingElse) {
  Given("; comment\n[A]\nk=1\n  Key = old  \nz=3\n\n[B]\nKey=b\n");
  EXPECT_TRUE(Write("A", "KEY", "new"));
  EXPECT_EQ(File(), "; comment\n[A]\nk=1\nKey=new\nz=3\n\n[B]\nKey=b\n");
}

TEST_F(Profile, WriteAddsAMissingKeyAtTheEndOfItsSection) {
  Given("[A]\r\nk=1\r\n\r\n[B]\r\nx=2\r\n");
  EXPECT_TRUE(Write("A", "n", "5"));
  EXPECT_EQ(File(), "[A]\r\nk=1\r\nn=5\r\n\r\n[B]\r\nx=2\r\n");
}

TEST_F(Profile, WriteAddsASectionAfterALastLineWithoutNewline) {
  Given("[A]\nk=1");
  EXPECT_TRUE(Write("B", "x", "2"));
  EXPECT_EQ(File(), "[A]\nk=1\r\n\r\n[B]\r\nx=2\r\n");
}

TEST_F(Profile, WriteThenReadGivesTheValueBack) {
  Given("[Sec]\nKey=1\n");
  ASSERT_TRUE(Write("Sec", "Key", "C:\\tex\\rock.bmp"));
  EXPECT_EQ(Text("Sec", "Key"), "C:\\tex\\rock.bmp");
}

TEST_F(Profile, WriteIntoAMissingFolderFails) {
  std::string path = (folder_.root / "absent" / "p.ini").string();
  EXPECT_FALSE(Write("Sec", "Key", "1", path));
}

}  // namespace
