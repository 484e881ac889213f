// The normal window's place in plugin.ini: all four keys or none, written only when the place changed, and the
// player's palette commands carried to the next frame.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/engine.h"

#include "plugin/plugin_state.h"
#include "plugin/display_events.h"
#include "plugin/window_home.h"
#include "support/plugin_folder_fixture.h"

namespace {

class WindowGeometryStore : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = MakePluginFolder(false); }
  void TearDown() override { RemovePluginFolder(folder_); }

  std::filesystem::path Ini() const { return folder_.root / "plugin.ini"; }
  Plugin& state() { return *folder_.plugin; }
  WindowHome& Home() { return state().Screen.Home; }

  PluginFolder folder_;
};

TEST_F(WindowGeometryStore, APlaceIsReadOnlyWhenTheFileHoldsAllOfItAndItIsAWindowsSize) {
  struct Row {
    const char* label;
    const char* keys;
    WindowPlace expected;
  };
  const Row rows[] = {
      {"all four",
       "WindowLeft=-1200\r\nWindowTop=40\r\nWindowWidth=500\r\nWindowHeight=360\r\n",
       {true, -1200, 40, 500, 360}},
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
    Home().Current = WindowPlace{true, 1, 2, 3, 4};
    LoadWindowGeometry(state(), folder_.module);
    EXPECT_EQ(Home().Stored, row.expected);
    // What this run noted belongs to this run only.
    EXPECT_FALSE(Home().Current.Known);
  }
}

TEST_F(WindowGeometryStore, ThePlaceIsWrittenOnlyWhenItChanged) {
  LoadWindowGeometry(state(), folder_.module);
  SaveWindowGeometryIfChanged(state(), folder_.module);
  EXPECT_FALSE(std::filesystem::exists(Ini())) << "nothing noted, nothing written";

  // The place first given without a file is what an untouched window is compared with.
  Home().Stored = WindowPlace{true, 192, 124, 640, 480};
  Home().Current = Home().Stored;
  SaveWindowGeometryIfChanged(state(), folder_.module);
  EXPECT_FALSE(std::filesystem::exists(Ini()));

  Home().Current = WindowPlace{true, 40, 60, 500, 360};
  SaveWindowGeometryIfChanged(state(), folder_.module);
  const std::string written = ReadFileText(Ini());
  for (const char* line : {"WindowLeft=40", "WindowTop=60", "WindowWidth=500", "WindowHeight=360"})
    EXPECT_NE(written.find(line), std::string::npos) << line << " in " << written;

  LoadWindowGeometry(state(), folder_.module);
  EXPECT_EQ(Home().Stored, (WindowPlace{true, 40, 60, 500, 360}));
  // The same place again, after a restart, leaves the file alone.
  WriteFileText(Ini(), written + "; untouched\r\n");
  Home().Current = Home().Stored;
  SaveWindowGeometryIfChanged(state(), folder_.module);
  EXPECT_EQ(ReadFileText(Ini()), written + "; untouched\r\n");
}

TEST_F(WindowGeometryStore, PaletteCommandsMoveToTheNextOrPreviousPaletteAtTheNextFrame) {
  EngineInputs inputs;
  inputs.PaletteCount = 4;
  for (int p = 0; p < 4; ++p)
    for (int k = 0; k < 256; ++k)
      inputs.Palettes.insert(
          inputs.Palettes.end(),
          {static_cast<std::uint8_t>(4 * k), static_cast<std::uint8_t>(60 * p), static_cast<std::uint8_t>(255 - k), 1});
  inputs.FadeTable.assign(65536, 0);
  const std::vector<std::uint8_t> palettes = inputs.Palettes;
  ASSERT_EQ(state().Effect.Build(std::move(inputs)), kBuildDone);
  std::uint8_t entries[256 * kPaletteEntryBytes] = {};
  FrameOutput out{nullptr, 0, 0, 0, entries};
  // The palette a frame shows after the commands given so far (the speed is 0: without commands, the first).
  auto shown = [&] {
    ApplyPaletteCommands(state());
    const float phase = state().Effect.Counters().PalettePhase;
    state().Effect.StepPalette(out);
    for (int p = 0; p < 4; ++p) {
      bool same = true;
      for (int k = 0; k < 256 && same; ++k)
        same = std::memcmp(&entries[k * kPaletteEntryBytes], &palettes[(p * 256 + k) * 4], 3) == 0;
      if (same) return p;
    }
    ADD_FAILURE() << "a blend of two palettes at phase " << phase;
    return -1;
  };
  EXPECT_EQ(shown(), 0);
  OnPaletteCommand(state(), 1);
  EXPECT_EQ(shown(), 1);
  EXPECT_EQ(Home().PaletteSkip, 0) << "a command moves once";
  EXPECT_EQ(shown(), 1);
  OnPaletteCommand(state(), 1);  // two "next" before a frame came
  OnPaletteCommand(state(), 1);
  EXPECT_EQ(shown(), 3);
  OnPaletteCommand(state(), -1);
  EXPECT_EQ(shown(), 2);
  state().Effect.Release();
}

}  // namespace
