// The display dialog's choices: what the settings show as chosen, what can be chosen in a player with and
// without frames, and what goes back into the settings.
#include <gtest/gtest.h>

#include "data/window_place.h"
#include "plugin/display_choices.h"
#include "support/plugin_folder_fixture.h"

namespace {

TEST(DisplayChoices, StoredValuesShowAsTheDisplayTakesThem) {
  struct Row {
    std::int32_t mode, picture;
    std::int32_t shownMode, shownPicture;
  };
  const Row rows[] = {{0, 0, 0, 0},
                      {1, 1, 1, 1},
                      {2, 0, 2, 0},
                      {3, 1, 3, 1},
                      {4, 2, 0, 0},
                      {-1, -1, 0, 0},
                      {INT32_MIN, INT32_MAX, 0, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.mode << "/" << row.picture);
    EffectSettings settings;
    settings.DisplayMode = row.mode;
    settings.Picture = row.picture;
    const DisplayChoices shown = DisplayChoicesOf(settings);
    EXPECT_EQ(shown.Mode, row.shownMode);
    EXPECT_EQ(shown.Picture, row.shownPicture);
    EXPECT_FALSE(shown.ForgetWindowPlace);
    ApplyDisplayChoices(shown, settings);
    EXPECT_EQ(settings.DisplayMode, row.shownMode);
    EXPECT_EQ(settings.Picture, row.shownPicture);
  }
}

TEST(DisplayChoices, DockingIsChosenOnlyWhereThePlayerOffersFrames) {
  for (bool offered : {false, true}) {
    SCOPED_TRACE(offered ? "frames" : "no frames");
    DisplayChoices choices;
    for (std::int32_t mode : {kDisplayModeWindow, kDisplayModeEffectOnly, kDisplayModeChain}) {
      EXPECT_TRUE(ChooseDisplayMode(choices, mode, offered));
      EXPECT_EQ(choices.Mode, mode);
    }
    EXPECT_EQ(ChooseDisplayMode(choices, kDisplayModeDocked, offered), offered);
    EXPECT_EQ(choices.Mode, offered ? kDisplayModeDocked : kDisplayModeChain);
    EXPECT_FALSE(ChooseDisplayMode(choices, 4, offered));
    EXPECT_FALSE(ChooseDisplayMode(choices, -1, offered));
    EXPECT_EQ(choices.Mode, offered ? kDisplayModeDocked : kDisplayModeChain);
  }
  // A docked choice stored for another player stays as it is; only choosing it anew needs frames.
  EffectSettings settings;
  settings.DisplayMode = kDisplayModeDocked;
  EXPECT_EQ(DisplayChoicesOf(settings).Mode, kDisplayModeDocked);
}

TEST(DisplayChoices, ForgettingThePlaceRemovesItsFourKeysAlone) {
  const PluginFolder folder = MakePluginFolder(false);
  const auto ini = folder.root / "plugin.ini";
  const std::string other = "[Other]\r\nWindowLeft=1\r\n";
  WriteFileText(ini, other +
                         "[Ombrelo Tunnel]\r\nwindowleft=7\r\nFadePower=9\r\nWindowTop=8\r\nWindowWidth=9\r\n"
                         "WindowHeight=10\r\nWindowLeft=11\r\n\r\n[Next]\r\nX=1\r\n");
  std::string error;
  ASSERT_TRUE(ForgetWindowPlace(ini, error)) << error;
  EXPECT_EQ(ReadFileText(ini), other + "[Ombrelo Tunnel]\r\nFadePower=9\r\n\r\n[Next]\r\nX=1\r\n");
  EXPECT_FALSE(ReadWindowPlace(ini).Known);
  RemovePluginFolder(folder);
}

}  // namespace
