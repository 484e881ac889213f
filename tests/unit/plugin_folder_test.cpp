// The plug-in's folder: the module file name, LocatePluginFolder and names placed after the folder.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "plugin/plugin_state.h"
#include "device/memory_display.h"
#include "plugin/plugin_folder.h"

namespace {

VisModule* Module() { return winampVisGetHeader()->getModule(0); }

std::unique_ptr<Plugin> g_plugin;
Plugin& state() { return *g_plugin; }

// Locates the folder for `moduleName` in a freshly reset state whose PluginPath is poisoned.
void LocateFor(const std::string& moduleName) {
  g_plugin = std::make_unique<Plugin>();
  std::memset(state().PluginPath, 'X', sizeof state().PluginPath);
  MemorySetModuleFileName(moduleName);
  LocatePluginFolder(state(), Module());
}

std::ptrdiff_t TailOffset() { return static_cast<std::ptrdiff_t>(std::strlen(state().PluginPath)); }

class PluginFolderName : public ::testing::Test {
 protected:
  void TearDown() override {
    MemorySetModuleFileName("");
    g_plugin.reset();
  }
};

TEST_F(PluginFolderName, FolderKeepsItsLastBackslash) {
  LocateFor("C:\\Program Files\\Winamp\\Plugins\\vis_tavelmir.dll");
  EXPECT_STREQ(state().PluginPath, "C:\\Program Files\\Winamp\\Plugins\\");
  EXPECT_EQ(TailOffset(), 32);
}

TEST_F(PluginFolderName, NameWithoutBackslashLeavesThePathEmpty) {
  LocateFor("vis_tavelmir.dll");
  EXPECT_STREQ(state().PluginPath, "");
  EXPECT_EQ(TailOffset(), 0);
}

TEST_F(PluginFolderName, EmptyNameLeavesThePathEmpty) {
  LocateFor("");
  EXPECT_STREQ(state().PluginPath, "");
  EXPECT_EQ(TailOffset(), 0);
}

TEST_F(PluginFolderName, NameEndingInABackslashKeepsAllOfIt) {
  LocateFor("C:\\dir\\");
  EXPECT_STREQ(state().PluginPath, "C:\\dir\\");
  EXPECT_EQ(TailOffset(), 7);
}

TEST_F(PluginFolderName, OverlongNameIsCutInsideThePath) {
  // 250 characters of folder, then a backslash, then a name running far beyond 260.
  std::string name = std::string(250, 'd') + "\\" + std::string(300, 'n');
  LocateFor(name);
  EXPECT_EQ(TailOffset(), 251);
  EXPECT_EQ(std::string(state().PluginPath), name.substr(0, 251));
}

TEST_F(PluginFolderName, OverlongNameWithoutBackslashInReachGivesAnEmptyPath) {
  LocateFor(std::string(400, 'n') + "\\vis.dll");
  EXPECT_EQ(TailOffset(), 0);
  EXPECT_STREQ(state().PluginPath, "");
}

TEST_F(PluginFolderName, FilePathsAreTheFolderAndTheNameAndLeaveTheFolderAlone) {
  LocateFor("C:\\p\\vis.dll");
  char path[kPluginPathBytes];
  ASSERT_TRUE(PluginFilePath(state(), "TavelDat\\refrence.pal", path));
  EXPECT_STREQ(path, "C:\\p\\TavelDat\\refrence.pal");
  ASSERT_TRUE(PluginFilePath(state(), "plugin.ini", path));
  EXPECT_STREQ(path, "C:\\p\\plugin.ini");
  EXPECT_STREQ(state().PluginPath, "C:\\p\\");
}

TEST_F(PluginFolderName, NameThatDoesNotFitIsRefusedWithAnEmptyPath) {
  std::string folder = std::string(249, 'd') + "\\";  // 250 characters, 9 left before the NUL
  LocateFor(folder + "vis.dll");
  char path[kPluginPathBytes];
  EXPECT_TRUE(PluginFilePath(state(), "123456789", path));
  EXPECT_EQ(std::strlen(path), 259u);
  EXPECT_FALSE(PluginFilePath(state(), "1234567890", path));
  EXPECT_STREQ(path, "");
  EXPECT_EQ(std::string(state().PluginPath), folder);
}

}  // namespace
