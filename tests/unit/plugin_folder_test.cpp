// The plug-in's folder: the module file name, LocatePluginFolder and names placed after the folder.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/effect_state.h"
#include "plugin/plugin_folder.h"
#include "platform/platform.h"

namespace {

VisModule* Module() { return winampVisGetHeader()->getModule(0); }

// Locates the folder for `moduleName` in a freshly reset state whose PluginPath is poisoned.
void LocateFor(const std::string& moduleName) {
  ResetEffectState();
  std::memset(g_state.PluginPath, 'X', sizeof g_state.PluginPath);
  HeadlessSetModuleFileName(moduleName);
  LocatePluginFolder(Module());
}

std::ptrdiff_t TailOffset() { return static_cast<std::ptrdiff_t>(std::strlen(g_state.PluginPath)); }

class PluginFolderName : public ::testing::Test {
 protected:
  void TearDown() override {
    HeadlessSetModuleFileName("");
    ResetEffectState();
  }
};

TEST_F(PluginFolderName, ModuleFileNameIsCutToTheBufferLikeTheSystem) {
  HeadlessSetModuleFileName("abcdef");
  struct Case {
    DWORD size;
    DWORD result;
    const char* text;
  } cases[] = {{7, 6, "abcdef"}, {6, 6, "abcde"}, {4, 4, "abc"}, {1, 1, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    char buffer[16];
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, c.size), c.result);
    EXPECT_STREQ(buffer, c.text);
    EXPECT_EQ(buffer[c.size], 'X');
  }
}

TEST_F(PluginFolderName, FolderKeepsItsLastBackslash) {
  LocateFor("C:\\Program Files\\Winamp\\Plugins\\vis_tavelmir.dll");
  EXPECT_STREQ(g_state.PluginPath, "C:\\Program Files\\Winamp\\Plugins\\");
  EXPECT_EQ(TailOffset(), 32);
}

TEST_F(PluginFolderName, NameWithoutBackslashLeavesThePathEmpty) {
  LocateFor("vis_tavelmir.dll");
  EXPECT_STREQ(g_state.PluginPath, "");
  EXPECT_EQ(TailOffset(), 0);
}

TEST_F(PluginFolderName, EmptyNameLeavesThePathEmpty) {
  LocateFor("");
  EXPECT_STREQ(g_state.PluginPath, "");
  EXPECT_EQ(TailOffset(), 0);
}

TEST_F(PluginFolderName, NameEndingInABackslashKeepsAllOfIt) {
  LocateFor("C:\\dir\\");
  EXPECT_STREQ(g_state.PluginPath, "C:\\dir\\");
  EXPECT_EQ(TailOffset(), 7);
}

TEST_F(PluginFolderName, OverlongNameIsCutInsideThePath) {
  // 250 characters of folder, then a backslash, then a name running far beyond 260.
  std::string name = std::string(250, 'd') + "\\" + std::string(300, 'n');
  LocateFor(name);
  EXPECT_EQ(TailOffset(), 251);
  EXPECT_EQ(std::string(g_state.PluginPath), name.substr(0, 251));
}

TEST_F(PluginFolderName, OverlongNameWithoutBackslashInReachGivesAnEmptyPath) {
  LocateFor(std::string(400, 'n') + "\\vis.dll");
  EXPECT_EQ(TailOffset(), 0);
  EXPECT_STREQ(g_state.PluginPath, "");
}

TEST_F(PluginFolderName, FilePathsAreTheFolderAndTheNameAndLeaveTheFolderAlone) {
  LocateFor("C:\\p\\vis.dll");
  char path[kPluginPathBytes];
  ASSERT_TRUE(PluginFilePath("TavelDat\\refrence.pal", path));
  EXPECT_STREQ(path, "C:\\p\\TavelDat\\refrence.pal");
  ASSERT_TRUE(PluginFilePath("plugin.ini", path));
  EXPECT_STREQ(path, "C:\\p\\plugin.ini");
  EXPECT_STREQ(g_state.PluginPath, "C:\\p\\");
}

TEST_F(PluginFolderName, NameThatDoesNotFitIsRefusedWithAnEmptyPath) {
  std::string folder = std::string(249, 'd') + "\\";  // 250 characters, 9 left before the NUL
  LocateFor(folder + "vis.dll");
  char path[kPluginPathBytes];
  EXPECT_TRUE(PluginFilePath("123456789", path));
  EXPECT_EQ(std::strlen(path), 259u);
  EXPECT_FALSE(PluginFilePath("1234567890", path));
  EXPECT_STREQ(path, "");
  EXPECT_EQ(std::string(g_state.PluginPath), folder);
}

}  // namespace
