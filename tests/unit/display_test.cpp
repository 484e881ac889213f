// The display that Init opens and Quit gives back: window, device, mode, surfaces, palette, geometry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "plugin/display.h"
#include "plugin/lifecycle.h"
#include "support/plugin_session.h"

namespace {

using DisplayTest = PluginSession;

long CallsNamed(const char* name) { return std::count(MemoryCalls().begin(), MemoryCalls().end(), name); }

TEST_F(DisplayTest, WindowIsATopMostPopUpOverTheDesktopAsItWasAndActive) {
  MemorySetDesktopSize(1280, 1024);
  InitOrFail();
  const MemoryWindow w = MemoryWindowState();
  EXPECT_TRUE(w.classRegistered);
  EXPECT_TRUE(w.exists);
  EXPECT_EQ(w.placement, VidPlacement::TopMost);
  EXPECT_EQ(w.outer, (VidRect{0, 0, 1280, 1024}));
  EXPECT_EQ(screen().WindowActive, 1);
}

TEST_F(DisplayTest, ExclusiveModeAtThreeHundredTwentyByTwoHundredInEightBitsWithItsGeometry) {
  MemorySetOffscreenPitch(384);
  screen().FramePixels = reinterpret_cast<std::uint8_t*>(&screen());  // poisoned
  InitOrFail();
  const MemoryMode mode = MemoryDisplayMode();
  EXPECT_EQ(mode.width, 320);
  EXPECT_EQ(mode.height, 200);
  EXPECT_EQ(mode.bitsPerPixel, 8);
  const MemoryLive live = MemoryLiveObjects();
  EXPECT_EQ(live.devices, 1);
  EXPECT_EQ(live.surfaces, 2);
  EXPECT_EQ(live.palettes, 1);
  EXPECT_EQ(MemoryScreenBytes().size(), 64000u);
  EXPECT_EQ(screen().LastDisplayResult, kVidOk);
  EXPECT_EQ(screen().DisplayKind, kDisplayExclusive);
  EXPECT_EQ(screen().FrameWidth, 320);
  EXPECT_EQ(screen().FrameHeight, 200);
  EXPECT_EQ(screen().FramePitch, 384);
  EXPECT_EQ(screen().FramePixels, nullptr);  // a description, not a lock, gives no address
  const MemorySurfaceState offscreen = MemoryOffscreen();
  EXPECT_FALSE(offscreen.systemMemory);
  EXPECT_FALSE(offscreen.locked);
  EXPECT_EQ(screen().SystemMemorySurface, 0);
}

// The first run's palette is all black; a later one starts from the colours the last run left.
TEST_F(DisplayTest, PaletteIsAttachedToTheScreenWithTheColoursTheLastRunLeft) {
  InitOrFail();
  VidColour entries[256];
  std::memset(entries, 0x5A, sizeof entries);
  ASSERT_TRUE(MemoryScreenPalette(entries));
  for (const VidColour& e : entries) EXPECT_EQ(e, (VidColour{0, 0, 0, 0}));
  Quit(state(), module_);
  screen().DisplayPalette[7] = {10, 20, 30, 0};
  screen().DisplayPalette[255] = {255, 128, 1, 0};
  InitOrFail();
  ASSERT_TRUE(MemoryScreenPalette(entries));
  EXPECT_EQ(std::memcmp(entries, screen().DisplayPalette, sizeof entries), 0);
  EXPECT_EQ(entries[7].green, 20);
}

// Once video memory has run out, the off-screen surface is asked for in system memory from then on.
TEST_F(DisplayTest, OffscreenGoesToSystemMemoryWhenVideoMemoryRunsOutAndStaysThere) {
  MemoryFail(MemoryCall::CreateOffscreen, kVidOutOfVideoMemory);
  InitOrFail();
  EXPECT_EQ(screen().SystemMemorySurface, 1);
  EXPECT_TRUE(MemoryOffscreen().systemMemory);
  EXPECT_EQ(MemoryLiveObjects().surfaces, 2);
  Quit(state(), module_);
  MemoryClearRecords();
  InitOrFail();
  EXPECT_TRUE(MemoryOffscreen().systemMemory);
  Quit(state(), module_);
  MemoryClearRecords();
  ASSERT_EQ(Init(state(), module_), 0);
  EXPECT_EQ(CallsNamed("CreateOffscreen"), 1);  // video memory is not asked for again
}

TEST_F(DisplayTest, QuitGivesTheDisplayBack) {
  InitOrFail();
  VidWindow* window = screen().Window;
  Quit(state(), module_);
  const MemoryLive live = MemoryLiveObjects();
  EXPECT_EQ(live.devices + live.surfaces + live.palettes + live.canvases, 0);
  EXPECT_EQ(MemoryDisplayMode().width, 1024);
  EXPECT_EQ(MemoryDisplayMode().height, 768);
  EXPECT_EQ(screen().Device, nullptr);
  EXPECT_EQ(screen().PrimarySurface, nullptr);
  EXPECT_EQ(screen().OffscreenSurface, nullptr);
  EXPECT_EQ(screen().Palette, nullptr);
  EXPECT_EQ(screen().Window, window);  // kept; only the window is gone
  EXPECT_FALSE(MemoryWindowState().exists);
  EXPECT_FALSE(MemoryWindowState().classRegistered);
  // Each object once, the device's children first: a system that keeps them alive would keep the mode too.
  std::vector<std::string> releases;
  for (const std::string& call : MemoryCalls())
    if (call.rfind("Release", 0) == 0) releases.push_back(call);
  EXPECT_EQ(releases,
            (std::vector<std::string>{"ReleaseSurface", "ReleaseSurface", "ReleasePalette", "ReleaseDevice"}));
  EXPECT_EQ(MemoryCallsOnReleasedObjects(), 0);
}

TEST_F(DisplayTest, QuitAfterEscapeStillUnregistersTheClass) {
  InitOrFail();
  MemoryCloseWindow();
  Quit(state(), module_);
  EXPECT_FALSE(MemoryWindowState().classRegistered);
  EXPECT_EQ(MemoryLiveObjects().devices, 0);
}

TEST_F(DisplayTest, DisplayObjectsSurviveDeactivation) {
  InitOrFail();
  MemorySetApplicationActive(false);
  EXPECT_EQ(screen().WindowActive, 0);
  EXPECT_TRUE(MemoryWindowState().exists);
  EXPECT_EQ(MemoryLiveObjects().surfaces, 2);
  MemorySetApplicationActive(true);
  EXPECT_EQ(screen().WindowActive, 1);
}

}  // namespace
