// The normal window's place in plugin.ini: all four keys or none, written only when the place changed, and the
// player's palette commands carried to the next frame.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "plugin/effect_state.h"
#include "plugin/window_home.h"
#include "support/plugin_folder_fixture.h"

namespace {

class WindowGeometryStore : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = MakePluginFolder(false); }
  void TearDown() override { RemovePluginFolder(folder_); }

  std::filesystem::path Ini() const { return folder_.root / "plugin.ini"; }
  WindowHome& Home() { return g_state.Screen.Home; }

  PluginFolder folder_;
};

TEST_F(WindowGeometryStore, APlaceIsReadOnlyWhenTheFileHoldsAllOfItAndItIsAWindowsSize) {
  struct Row {
    const char* label;
    const char* keys;
    WindowGeometry expected;
  };
  const Row rows[] = {
      {"all four", "WindowLeft=-1200\r\nWindowTop=40\r\nWindowWidth=500\r\nWindowHeight=360\r\n",
       {1, -1200, 40, 500, 360}},
      {"no height", "WindowLeft=10\r\nWindowTop=40\r\nWindowWidth=500\r\n", {}},
      {"no left", "WindowTop=40\r\nWindowWidth=500\r\nWindowHeight=360\r\n", {}},
      {"empty size", "WindowLeft=10\r\nWindowTop=40\r\nWindowWidth=0\r\nWindowHeight=360\r\n", {}},
      {"negative size", "WindowLeft=10\r\nWindowTop=40\r\nWindowWidth=500\r\nWindowHeight=-3\r\n", {}},
      {"beyond any screen", "WindowLeft=10\r\nWindowTop=40\r\nWindowWidth=99999\r\nWindowHeight=360\r\n", {}},
      {"no keys", "FadePower=192\r\n", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    WriteFileText(Ini(), std::string("[Ombrelo Tunnel]\r\n") + row.keys);
    Home().Current = WindowGeometry{1, 1, 2, 3, 4};
    LoadWindowGeometry(folder_.module);
    EXPECT_EQ(Home().Stored, row.expected);
    // What this run noted belongs to this run only.
    EXPECT_EQ(Home().Current.Known, 0);
  }
}

TEST_F(WindowGeometryStore, ThePlaceIsWrittenOnlyWhenItChanged) {
  LoadWindowGeometry(folder_.module);
  SaveWindowGeometryIfChanged(folder_.module);
  EXPECT_FALSE(std::filesystem::exists(Ini())) << "nothing noted, nothing written";

  // The place first given without a file is what an untouched window is compared with.
  Home().Stored = WindowGeometry{1, 192, 124, 640, 480};
  Home().Current = Home().Stored;
  SaveWindowGeometryIfChanged(folder_.module);
  EXPECT_FALSE(std::filesystem::exists(Ini()));

  Home().Current = WindowGeometry{1, 40, 60, 500, 360};
  SaveWindowGeometryIfChanged(folder_.module);
  const std::string written = ReadFileText(Ini());
  for (const char* line : {"WindowLeft=40", "WindowTop=60", "WindowWidth=500", "WindowHeight=360"})
    EXPECT_NE(written.find(line), std::string::npos) << line << " in " << written;

  LoadWindowGeometry(folder_.module);
  EXPECT_EQ(Home().Stored, (WindowGeometry{1, 40, 60, 500, 360}));
  // The same place again, after a restart, leaves the file alone.
  WriteFileText(Ini(), written + "; untouched\r\n");
  Home().Current = Home().Stored;
  SaveWindowGeometryIfChanged(folder_.module);
  EXPECT_EQ(ReadFileText(Ini()), written + "; untouched\r\n");
}

TEST_F(WindowGeometryStore, PaletteCommandsMoveByWholePalettesAtTheNextFrame) {
  g_state.PaletteCount = 4;
  g_state.Counters.PalettePhase = 0;
  ApplyPaletteCommands();
  EXPECT_EQ(g_state.Counters.PalettePhase, 0.0f) << "no command, no move";
  Home().PaletteSkip = 1;
  ApplyPaletteCommands();
  EXPECT_EQ(g_state.Counters.PalettePhase, 0.25f);
  EXPECT_EQ(Home().PaletteSkip, 0) << "a command moves once";
  Home().PaletteSkip = -1;
  ApplyPaletteCommands();
  EXPECT_EQ(g_state.Counters.PalettePhase, 0.0f);
  g_state.PaletteCount = 0;
  Home().PaletteSkip = 3;
  ApplyPaletteCommands();
  EXPECT_EQ(g_state.Counters.PalettePhase, 0.0f) << "without palettes there is nothing to move";
}

}  // namespace
