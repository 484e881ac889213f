// The display that Init opens and Quit gives back: class, window, DirectDraw objects, geometry, fall-back.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/display.h"
#include "plugin/effect_state.h"
#include "plugin/lifecycle.h"
#include "support/plugin_session.h"

namespace {

using DisplayTest = PluginSession;

std::vector<unsigned long> OffscreenRequests() {
  std::vector<unsigned long> caps;
  for (const HeadlessEvent& e : HeadlessEvents())
    if (e.call == "IDirectDraw::CreateSurface" && (e.detail & DDSCAPS_PRIMARYSURFACE) == 0) caps.push_back(e.detail);
  return caps;
}

TEST_F(DisplayTest, ClassIsRegisteredAsDocumented) {
  InitOrFail();
  WNDCLASSA cls{};
  ASSERT_TRUE(HeadlessFindClass("MainWndClass", &cls));
  EXPECT_EQ(cls.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(cls.lpfnWndProc, DisplayWindowProc);
  EXPECT_EQ(cls.cbClsExtra, 0);
  EXPECT_EQ(cls.cbWndExtra, 0);
  EXPECT_EQ(cls.hInstance, module_->instance);
  EXPECT_EQ(cls.hIcon, nullptr);  // the library has no icon of its own
  EXPECT_EQ(cls.hCursor, LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(cls.hbrBackground, nullptr);
}

TEST_F(DisplayTest, WindowIsATopMostPopUpOverTheDesktopAsItWas) {
  HeadlessSetDesktopSize(1280, 1024);
  InitOrFail();
  HeadlessWindowInfo w = HeadlessWindowDetails(g_state.Screen.Window);
  EXPECT_TRUE(w.exists);
  EXPECT_TRUE(w.visible);
  EXPECT_EQ(w.className, "MainWndClass");
  EXPECT_EQ(w.title, "Ombrelo Tunnel");
  EXPECT_EQ(w.exStyle, static_cast<DWORD>(WS_EX_TOPMOST));
  EXPECT_EQ(w.style, static_cast<DWORD>(WS_POPUP));
  EXPECT_EQ(w.x, 0);
  EXPECT_EQ(w.y, 0);
  EXPECT_EQ(w.width, 1280);
  EXPECT_EQ(w.height, 1024);
  EXPECT_EQ(w.parent, HeadlessHostWindow());
  EXPECT_EQ(w.instance, module_->instance);
  EXPECT_EQ(w.userData, reinterpret_cast<LONG_PTR>(module_));
  EXPECT_EQ(w.createMessages, 1);
  EXPECT_EQ(g_state.Screen.WindowActive, 1);
}

TEST_F(DisplayTest, ExclusiveModeAtThreeHundredTwentyByTwoHundredInEightBits) {
  InitOrFail();
  EXPECT_EQ(HeadlessCooperativeWindow(), g_state.Screen.Window);
  EXPECT_EQ(HeadlessCooperativeFlags(), 0x11u);
  HeadlessDisplayModeInfo mode = HeadlessDisplayMode();
  EXPECT_EQ(mode.width, 320);
  EXPECT_EQ(mode.height, 200);
  EXPECT_EQ(mode.bitsPerPixel, 8);
  HeadlessDirectDrawCounts live = HeadlessLiveDirectDrawObjects();
  EXPECT_EQ(live.directDraws, 1);
  EXPECT_EQ(live.surfaces, 2);
  EXPECT_EQ(live.palettes, 1);
  EXPECT_EQ(HeadlessScreen().width, 320);
  EXPECT_EQ(HeadlessScreen().height, 200);
  EXPECT_EQ(g_state.Screen.LastDisplayResult, DD_OK);
}

TEST_F(DisplayTest, GeometryComesFromTheOffscreenSurfaceWithItsPitch) {
  HeadlessSetOffscreenPitch(384);
  g_state.Screen.FramePixels = reinterpret_cast<std::uint8_t*>(&g_state);  // poisoned
  InitOrFail();
  EXPECT_EQ(g_state.Screen.FrameWidth, 320);
  EXPECT_EQ(g_state.Screen.FrameHeight, 200);
  EXPECT_EQ(g_state.Screen.FramePitch, 384);
  EXPECT_EQ(g_state.Screen.FramePixels, nullptr);  // a description, not a lock, gives no address
  EXPECT_EQ(g_state.Screen.SurfaceDesc.dwSize, 108u);
  HeadlessSurfaceView offscreen = HeadlessOffscreen();
  EXPECT_FALSE(offscreen.systemMemory);
  EXPECT_FALSE(offscreen.locked);
  EXPECT_EQ(g_state.Screen.SystemMemorySurface, 0);
}

TEST_F(DisplayTest, PaletteIsAllBlackAtTheFirstInitAndAttachedToTheScreen) {
  InitOrFail();
  PALETTEENTRY entries[256];
  std::memset(entries, 0x5A, sizeof entries);
  ASSERT_TRUE(HeadlessScreenPalette(entries));
  for (int i = 0; i < 256; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(entries[i].peRed | entries[i].peGreen | entries[i].peBlue | entries[i].peFlags, 0);
  }
}

TEST_F(DisplayTest, PaletteIsCreatedFromTheColoursTheLastRunLeft) {
  InitOrFail();
  Quit(module_);
  g_state.Screen.DisplayPalette[7] = {10, 20, 30, 0};
  g_state.Screen.DisplayPalette[255] = {255, 128, 1, 0};
  InitOrFail();
  PALETTEENTRY entries[256];
  ASSERT_TRUE(HeadlessScreenPalette(entries));
  EXPECT_EQ(std::memcmp(entries, g_state.Screen.DisplayPalette, sizeof entries), 0);
  EXPECT_EQ(entries[7].peGreen, 20);
  EXPECT_EQ(entries[255].peRed, 255);
}

TEST_F(DisplayTest, OffscreenFallsBackToSystemMemoryWhenVideoMemoryIsExhausted) {
  HeadlessInjectDirectDrawResult(HeadlessDdCall::CreateOffscreenSurface, DDERR_OUTOFVIDEOMEMORY);
  HeadlessClearEvents();
  ASSERT_EQ(Init(module_), 0);
  EXPECT_TRUE(HeadlessMessageBoxes().empty());
  EXPECT_EQ(OffscreenRequests(), (std::vector<unsigned long>{0x40, 0x840}));
  EXPECT_EQ(g_state.Screen.SystemMemorySurface, 1);
  EXPECT_TRUE(HeadlessOffscreen().systemMemory);
  EXPECT_EQ(HeadlessLiveDirectDrawObjects().surfaces, 2);
}

TEST_F(DisplayTest, SystemMemoryPlacementPersistsAcrossInit) {
  HeadlessSetVideoMemoryExhausted(true);
  InitOrFail();
  Quit(module_);
  HeadlessSetVideoMemoryExhausted(false);
  HeadlessClearEvents();
  ASSERT_EQ(Init(module_), 0);
  // Video memory is not asked for again, even though it would be available now.
  EXPECT_EQ(OffscreenRequests(), (std::vector<unsigned long>{0x840}));
  EXPECT_EQ(g_state.Screen.SystemMemorySurface, 1);
  EXPECT_TRUE(HeadlessOffscreen().systemMemory);
}

TEST_F(DisplayTest, QuitGivesTheDisplayBack) {
  InitOrFail();
  HWND window = g_state.Screen.Window;
  HeadlessClearEvents();
  Quit(module_);
  HeadlessDirectDrawCounts live = HeadlessLiveDirectDrawObjects();
  EXPECT_EQ(live.directDraws + live.surfaces + live.palettes, 0);
  HeadlessDisplayModeInfo mode = HeadlessDisplayMode();
  EXPECT_EQ(mode.width, 1024);
  EXPECT_EQ(mode.height, 768);
  EXPECT_EQ(g_state.Screen.DirectDraw, nullptr);
  EXPECT_EQ(g_state.Screen.PrimarySurface, nullptr);
  EXPECT_EQ(g_state.Screen.Window, window);  // kept; only the window is gone
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(HeadlessFindClass("MainWndClass", nullptr));
  // Each object is released once, children before the DirectDraw object.
  EXPECT_EQ(EventNames("IDirectDraw"),
            (std::vector<std::string>{"IDirectDrawSurface::Release", "IDirectDrawSurface::Release",
                                      "IDirectDrawPalette::Release", "IDirectDraw::Release"}));
  EXPECT_EQ(g_state.Screen.OffscreenSurface, nullptr);
  EXPECT_EQ(g_state.Screen.Palette, nullptr);
  EXPECT_EQ(HeadlessCallsOnReleasedObjects(), 0);
  // The window's destruction posts the quit message.
  ASSERT_FALSE(HeadlessPostedMessages().empty());
  EXPECT_EQ(HeadlessPostedMessages().back().message, static_cast<UINT>(WM_QUIT));
}

TEST_F(DisplayTest, QuitAfterEscapeStillUnregistersTheClass) {
  InitOrFail();
  HeadlessDeliver(g_state.Screen.Window, WM_KEYDOWN, VK_ESCAPE, 0);
  HeadlessPumpMessages();
  ASSERT_FALSE(IsWindow(g_state.Screen.Window));
  Quit(module_);
  EXPECT_FALSE(HeadlessFindClass("MainWndClass", nullptr));
  EXPECT_EQ(HeadlessLiveWindows(), 0);
  EXPECT_EQ(HeadlessLiveDirectDrawObjects().directDraws, 0);
}

TEST_F(DisplayTest, DisplayObjectsSurviveDeactivation) {
  InitOrFail();
  HeadlessSetApplicationActive(false);
  EXPECT_EQ(g_state.Screen.WindowActive, 0);
  EXPECT_TRUE(IsWindow(g_state.Screen.Window));
  EXPECT_EQ(HeadlessLiveDirectDrawObjects().surfaces, 2);
}

}  // namespace
