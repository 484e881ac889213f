// The normal window's remembered place: kept where a caption can still be taken, otherwise back on the host's
// monitor; sizes between the base resolution and a monitor's.
#include <gtest/gtest.h>

#include <vector>

#include "plugin/window_placement.h"

namespace {

constexpr ScreenRect kLeftWork{0, 0, 1920, 1040};      // a 1920 x 1080 monitor less its task bar
constexpr ScreenRect kRightWork{1920, 0, 3200, 1024};  // a 1280 x 1024 one to its right
constexpr ScreenRect kWindow{100, 100, 756, 619};      // a 640 x 480 client area with its frame

TEST(WindowPlacementTest, RememberedPlaceIsKeptOnlyWhileItsCaptionCanBeTaken) {
  struct Row {
    const char* label;
    ScreenRect window;
    std::vector<ScreenRect> monitors;
    ScreenRect expected;
  };
  const ScreenRect centredLeft = CentreIn(kLeftWork, kWindow.Width(), kWindow.Height());
  const Row rows[] = {
      {"inside the first monitor", kWindow, {kLeftWork}, kWindow},
      {"on the second monitor", {2000, 50, 2656, 569}, {kLeftWork, kRightWork}, {2000, 50, 2656, 569}},
      {"second monitor gone", {2000, 50, 2656, 569}, {kLeftWork}, centredLeft},
      {"across both monitors", {1700, 10, 2356, 529}, {kLeftWork, kRightWork}, {1700, 10, 2356, 529}},
      {"mostly off the left edge, caption's end still there", {-600, 10, 56, 529}, {kLeftWork}, {-600, 10, 56, 529}},
      {"off the left edge but for a sliver", {-640, 10, 16, 529}, {kLeftWork}, centredLeft},
      {"caption above the screen", {100, -30, 756, 489}, {kLeftWork}, centredLeft},
      {"caption under the task bar", {100, 1036, 756, 1555}, {kLeftWork}, centredLeft},
      {"far away, as a hand-edited file may say", {30000, 30000, 30656, 30519}, {kLeftWork, kRightWork}, centredLeft},
      {"no monitors listed", kWindow, {}, centredLeft},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const ScreenRect placed = KeepReachable(row.window, row.monitors, kLeftWork);
    EXPECT_EQ(placed, row.expected) << placed.left << "," << placed.top << " " << placed.Width() << "x"
                                    << placed.Height();
    EXPECT_TRUE(CaptionReachable(placed, std::vector<ScreenRect>{kLeftWork}) || placed == row.window);
  }
}

TEST(WindowPlacementTest, CentringNeverMakesTheWindowLargerThanTheWorkArea) {
  EXPECT_EQ(CentreIn(kLeftWork, 656, 519), (ScreenRect{632, 260, 1288, 779}));
  EXPECT_EQ(CentreIn({0, 0, 800, 560}, 1000, 700), (ScreenRect{0, 0, 800, 560}));
  EXPECT_EQ(CentreIn({-1280, 0, 0, 1024}, 656, 519), (ScreenRect{-968, 252, -312, 771}));
}

TEST(WindowPlacementTest, SizesFollowTheMonitorsDotsPerInch) {
  struct Row {
    int length, dpi, scaled;
  };
  const Row rows[] = {{640, 96, 640},  {640, 120, 800}, {640, 144, 960}, {480, 192, 960},
                      {333, 120, 416}, {1, 144, 2},     {640, 0, 640},   {640, -5, 640}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.length << " at " << row.dpi);
    EXPECT_EQ(ScaleToDpi(row.length, row.dpi), row.scaled);
    // What is stored comes back the same after a round trip through any monitor.
    EXPECT_EQ(UnscaleFromDpi(ScaleToDpi(row.length, row.dpi), row.dpi), row.length);
  }
}

}  // namespace
