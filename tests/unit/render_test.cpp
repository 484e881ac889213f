// Render: the copy of the previous picture, the lock, the drawing, the palette step, and the failure texts.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "plugin/render.h"
#include "plugin/effect_state.h"
#include "plugin/lifecycle.h"
#include "support/plugin_session.h"

namespace {

class RenderTest : public PluginSession {
 protected:
  void SetUp() override {
    PluginSession::SetUp();
    // Some sound, so that frames differ from each other.
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < 576; ++i) module_->waveformData[c][i] = static_cast<unsigned char>((i * (c + 3)) & 0xFF);
  }
};

// The text lines drawn since the last clear, checked for the colours, position and a released drawing context.
std::vector<std::string> DrawnTexts() {
  std::vector<std::string> lines;
  for (const RecordedText& t : HeadlessTexts()) {
    EXPECT_EQ(t.x, 0);
    EXPECT_EQ(t.y, 0);
    EXPECT_EQ(t.background, 0x00FF0000u);
    EXPECT_EQ(t.foreground, 0x0000FFFFu);
    lines.push_back(t.text);
  }
  EXPECT_EQ(HeadlessLiveDirectDrawObjects().surfaceDCs, 0);
  return lines;
}

TEST_F(RenderTest, FrameRunsCopyLockUnlockThenPalette) {
  InitOrFail();
  EXPECT_EQ(Render(module_), 0);
  std::vector<std::string> calls = EventNames("IDirectDraw");
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0], "IDirectDrawSurface::BltFast");
  EXPECT_EQ(calls[1], "IDirectDrawSurface::Lock");
  EXPECT_EQ(calls[2], "IDirectDrawSurface::Unlock");
  for (std::size_t i = 3; i < calls.size(); ++i) EXPECT_EQ(calls[i], "IDirectDrawPalette::SetEntries");
  EXPECT_EQ(HeadlessEvents()[0].detail, static_cast<unsigned long>(DDBLTFAST_WAIT));
  EXPECT_EQ(HeadlessEvents()[1].detail, static_cast<unsigned long>(DDLOCK_WAIT));
  EXPECT_FALSE(HeadlessOffscreen().locked);
  EXPECT_EQ(g_state.Screen.LastDisplayResult, DD_OK);
  EXPECT_TRUE(HeadlessTexts().empty());
}

TEST_F(RenderTest, SystemMemorySurfaceIsCopiedWithBlt) {
  HeadlessSetVideoMemoryExhausted(true);
  InitOrFail();
  ASSERT_EQ(g_state.Screen.SystemMemorySurface, 1);
  EXPECT_EQ(Render(module_), 0);
  ASSERT_FALSE(HeadlessEvents().empty());
  EXPECT_EQ(HeadlessEvents()[0].call, "IDirectDrawSurface::Blt");
  EXPECT_EQ(HeadlessEvents()[0].detail, static_cast<unsigned long>(DDBLT_WAIT));
  EXPECT_TRUE(EventNames("IDirectDrawSurface::BltFast").empty());
}

TEST_F(RenderTest, FirstFrameShowsTheOffscreenSurfaceAsItWas) {
  HeadlessSetOffscreenPitch(352);
  InitOrFail();
  HeadlessSurfaceView offscreen = HeadlessOffscreen();
  for (int y = 0; y < offscreen.height; ++y)
    for (int x = 0; x < offscreen.pitch; ++x)
      offscreen.pixels[y * offscreen.pitch + x] = static_cast<std::uint8_t>(x ^ y);
  std::vector<std::uint8_t> before = HeadlessOffscreenBytes();
  EXPECT_EQ(Render(module_), 0);
  EXPECT_EQ(HeadlessScreenBytes(), before);
  EXPECT_EQ(g_state.Screen.FramePitch, 352);
}

TEST_F(RenderTest, PictureOfOneCallIsOnScreenFromTheStartOfTheNext) {
  HeadlessSetOffscreenPitch(336);
  InitOrFail();
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    ASSERT_EQ(Render(module_), 0);
    std::vector<std::uint8_t> drawn = HeadlessOffscreenBytes();
    std::vector<std::uint8_t> shown = HeadlessScreenBytes();
    // The next call's copy (and its failure, so that nothing else is drawn) shows this call's picture.
    HeadlessInjectDirectDrawResult(HeadlessDdCall::Lock, DDERR_GENERIC);
    HeadlessInjectDirectDrawResult(HeadlessDdCall::Unlock, DDERR_GENERIC);
    ASSERT_EQ(Render(module_), 1);
    EXPECT_EQ(HeadlessScreenBytes(), drawn);
    if (n > 1) {
      EXPECT_NE(shown, drawn);
    }
  }
}

TEST_F(RenderTest, InactiveWindowChangesNothing) {
  InitOrFail();
  ASSERT_EQ(Render(module_), 0);
  HeadlessSetApplicationActive(false);
  HeadlessClearEvents();
  const std::uint32_t frames = g_state.Effect.Counters().FrameCounter, scroll = g_state.Effect.Counters().TextureScroll;
  const float phase = g_state.Effect.Counters().PalettePhase;
  PALETTEENTRY palette[256];
  std::memcpy(palette, g_state.Screen.DisplayPalette, sizeof palette);
  std::vector<std::uint8_t> screen = HeadlessScreenBytes(), offscreen = HeadlessOffscreenBytes();
  EXPECT_EQ(Render(module_), 0);
  EXPECT_EQ(Render(module_), 0);
  EXPECT_TRUE(HeadlessEvents().empty());
  EXPECT_EQ(g_state.Effect.Counters().FrameCounter, frames);
  EXPECT_EQ(g_state.Effect.Counters().TextureScroll, scroll);
  EXPECT_EQ(g_state.Effect.Counters().PalettePhase, phase);
  EXPECT_EQ(std::memcmp(palette, g_state.Screen.DisplayPalette, sizeof palette), 0);
  EXPECT_EQ(HeadlessScreenBytes(), screen);
  EXPECT_EQ(HeadlessOffscreenBytes(), offscreen);
}

struct FailureCase {
  const char* name;
  bool systemMemory;
  std::vector<std::pair<HeadlessDdCall, HRESULT>> injected;
  std::vector<std::string> texts;
  HRESULT lastResult;
  bool drewFrame;  // the pipeline ran (the counters moved)
};

TEST_F(RenderTest, EveryFailureStopsWithItsText) {
  const HRESULT kLockBusy = DDERR_SURFACEBUSY, kGeneric = DDERR_GENERIC;
  const FailureCase cases[] = {
      {"blt", true, {{HeadlessDdCall::Blt, kGeneric}}, {"BlitError = 080004005h"}, kGeneric, false},
      {"blt fast", false, {{HeadlessDdCall::BltFast, kGeneric}}, {"BlitFastError = 080004005h"}, kGeneric, false},
      {"lost, not restored",
       false,
       {{HeadlessDdCall::BltFast, DDERR_SURFACELOST}, {HeadlessDdCall::Restore, DDERR_WRONGMODE}},
       {"BlitFastError = 0887601C2h"},
       DDERR_WRONGMODE,
       false},
      {"lost, blt, off-screen not restored",
       true,
       {{HeadlessDdCall::Blt, DDERR_SURFACELOST},
        {HeadlessDdCall::Restore, DD_OK},
        {HeadlessDdCall::Restore, DDERR_GENERIC}},
       {"BlitError = 0887601C2h"},
       kGeneric,
       false},
      {"lock lost, not restored",
       false,
       {{HeadlessDdCall::Lock, DDERR_SURFACELOST},
        {HeadlessDdCall::Restore, kGeneric},
        {HeadlessDdCall::Unlock, DD_OK}},
       {"LockError = 0887601C2h"},
       DD_OK,
       false},
      {"no context",
       false,
       {{HeadlessDdCall::BltFast, kGeneric}, {HeadlessDdCall::GetDC, DDERR_CANTCREATEDC}},
       {},
       kGeneric,
       false},
      {"lock, unlock fails",
       false,
       {{HeadlessDdCall::Lock, kLockBusy}, {HeadlessDdCall::Unlock, kGeneric}},
       {},
       kGeneric,
       false},
      {"lock, unlock succeeds",
       false,
       {{HeadlessDdCall::Lock, kLockBusy}, {HeadlessDdCall::Unlock, DD_OK}},
       {"LockError = 0887601AEh"},
       DD_OK,
       false},
      {"lock, nothing to unlock", false, {{HeadlessDdCall::Lock, kLockBusy}}, {}, DDERR_NOTLOCKED, false},
      {"unlock after drawing", false, {{HeadlessDdCall::Unlock, kGeneric}}, {}, kGeneric, true},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    HeadlessSetVideoMemoryExhausted(c.systemMemory);
    InitOrFail();
    for (const auto& [call, result] : c.injected) HeadlessInjectDirectDrawResult(call, result);
    const std::uint32_t frames = g_state.Effect.Counters().FrameCounter;
    PALETTEENTRY palette[256];
    std::memcpy(palette, g_state.Screen.DisplayPalette, sizeof palette);
    HeadlessClearTexts();
    HeadlessClearEvents();
    EXPECT_EQ(Render(module_), 1);
    EXPECT_EQ(DrawnTexts(), c.texts);
    EXPECT_EQ(g_state.Screen.LastDisplayResult, c.lastResult);
    EXPECT_TRUE(EventNames("IDirectDrawPalette::SetEntries").empty());  // no palette step
    EXPECT_EQ(std::memcmp(palette, g_state.Screen.DisplayPalette, sizeof palette), 0);
    EXPECT_EQ(g_state.Effect.Counters().FrameCounter != frames, c.drewFrame);
    if (!c.drewFrame) {
      EXPECT_FALSE(HeadlessOffscreen().locked);
    }
    EXPECT_EQ(HeadlessLiveGdiObjects(), 0);
  }
}

TEST_F(RenderTest, FailedPipelineLeavesTheSurfaceUnlockedAndThePaletteStill) {
  InitOrFail();
  ASSERT_EQ(Render(module_), 0);
  // Without its height map the pipeline declines to draw.
  TableSet& tables = const_cast<TableSet&>(g_state.Effect.Tables());
  std::uint8_t* heightMap = std::exchange(tables.HeightMap, nullptr);
  PALETTEENTRY palette[256];
  std::memcpy(palette, g_state.Screen.DisplayPalette, sizeof palette);
  HeadlessClearEvents();
  EXPECT_EQ(Render(module_), 1);
  tables.HeightMap = heightMap;
  EXPECT_EQ(EventNames("IDirectDraw"),
            (std::vector<std::string>{"IDirectDrawSurface::BltFast", "IDirectDrawSurface::Lock",
                                      "IDirectDrawSurface::Unlock"}));
  EXPECT_FALSE(HeadlessOffscreen().locked);
  EXPECT_EQ(std::memcmp(palette, g_state.Screen.DisplayPalette, sizeof palette), 0);
  EXPECT_TRUE(HeadlessTexts().empty());
  EXPECT_EQ(Render(module_), 0);  // nothing was left in the way of the next frame
}

TEST_F(RenderTest, FailedCopyStopsBeforeTheLock) {
  InitOrFail();
  HeadlessInjectDirectDrawResult(HeadlessDdCall::BltFast, DDERR_GENERIC);
  EXPECT_EQ(Render(module_), 1);
  EXPECT_TRUE(EventNames("IDirectDrawSurface::Lock").empty());
  EXPECT_EQ(EventNames("IDirectDrawSurface::GetDC").size(), 1u);
  EXPECT_EQ(EventNames("IDirectDrawSurface::ReleaseDC").size(), 1u);
}

// After Alt+Tab away and back both surfaces are lost: the frame restores them, attaches the palette again and
// draws on; the picture it draws is on screen at the next call, and nothing is lost of the effect's course.
TEST_F(RenderTest, LostSurfacesAreRestoredAndTheEffectGoesOn) {
  for (bool systemMemory : {false, true}) {
    SCOPED_TRACE(systemMemory);
    TearDown();
    SetUp();
    HeadlessSetVideoMemoryExhausted(systemMemory);
    InitOrFail();
    ASSERT_EQ(Render(module_), 0);
    HeadlessLoseSurfaces();
    const std::uint32_t frames = g_state.Effect.Counters().FrameCounter;
    HeadlessClearEvents();
    EXPECT_EQ(Render(module_), 0);
    const char* copy = systemMemory ? "IDirectDrawSurface::Blt" : "IDirectDrawSurface::BltFast";
    std::vector<std::string> calls = EventNames("IDirectDraw");
    ASSERT_GE(calls.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 6),
              (std::vector<std::string>{copy, "IDirectDrawSurface::Restore", "IDirectDrawSurface::Restore",
                                        "IDirectDrawSurface::SetPalette", "IDirectDrawSurface::Lock",
                                        "IDirectDrawSurface::Unlock"}));
    EXPECT_EQ(g_state.Effect.Counters().FrameCounter, frames + 1);
    EXPECT_TRUE(HeadlessTexts().empty());
    std::vector<std::uint8_t> drawn = HeadlessOffscreenBytes();
    PALETTEENTRY attached[256];
    ASSERT_TRUE(HeadlessScreenPalette(attached));
    EXPECT_EQ(std::memcmp(attached, g_state.Screen.DisplayPalette, sizeof attached), 0);
    EXPECT_EQ(Render(module_), 0);
    EXPECT_EQ(HeadlessScreenBytes(), drawn);
  }
}

TEST_F(RenderTest, LostSurfacesThatCannotBeRestoredStopTheEffect) {
  InitOrFail();
  HeadlessLoseSurfaces();
  HeadlessInjectDirectDrawResult(HeadlessDdCall::Restore, DDERR_WRONGMODE);
  EXPECT_EQ(Render(module_), 1);
  EXPECT_EQ(g_state.Screen.LastDisplayResult, DDERR_WRONGMODE);
  EXPECT_TRUE(HeadlessTexts().empty());  // a lost screen gives no drawing context
  EXPECT_TRUE(EventNames("IDirectDrawSurface::Lock").empty());
  // Restoring may succeed at a later frame.
  EXPECT_EQ(Render(module_), 0);
}

// While the window is inactive nothing is restored or drawn; the first frame after it is active again is.
TEST_F(RenderTest, SurfacesLostWhileInactiveAreRestoredOnceActiveAgain) {
  InitOrFail();
  HeadlessSetApplicationActive(false);
  HeadlessLoseSurfaces();
  const std::uint32_t frames = g_state.Effect.Counters().FrameCounter;
  HeadlessClearEvents();
  EXPECT_EQ(Render(module_), 0);
  EXPECT_TRUE(HeadlessEvents().empty());
  HeadlessSetApplicationActive(true);
  EXPECT_EQ(Render(module_), 0);
  EXPECT_EQ(EventNames("IDirectDrawSurface::Restore").size(), 2u);
  EXPECT_EQ(g_state.Effect.Counters().FrameCounter, frames + 1);
}

TEST_F(RenderTest, ManyFramesLeaveNothingBehind) {
  InitOrFail();
  for (int i = 0; i < 20; ++i) ASSERT_EQ(Render(module_), 0);
  Quit(module_);
  HeadlessDirectDrawCounts live = HeadlessLiveDirectDrawObjects();
  EXPECT_EQ(live.directDraws + live.surfaces + live.palettes + live.surfaceDCs, 0);
  EXPECT_EQ(HeadlessLiveGdiObjects(), 0);
  EXPECT_EQ(HeadlessCallsOnReleasedObjects(), 0);
}

// The palette step hands all 256 entries to the palette object; a refused SetEntries is ignored, and the phase
// still moves on.
TEST_F(RenderTest, PaletteStepHandsAll256EntriesToThePaletteObject) {
  InitOrFail();
  ASSERT_NE(g_state.Screen.Palette, nullptr);
  EffectSettings settings = g_state.Effect.Settings();
  settings.PaletteAnimationSpeed = 100;
  g_state.Effect.ApplySettings(settings);
  FrameOutput out = StateFrameOutput();
  HeadlessClearEvents();
  EXPECT_TRUE(AnimateDisplayPalette(out));
  PALETTEENTRY shown[256];
  ASSERT_TRUE(HeadlessNewestPalette(shown));
  EXPECT_EQ(0, std::memcmp(shown, g_state.Screen.DisplayPalette, sizeof shown));

  HeadlessInjectDirectDrawResult(HeadlessDdCall::SetEntries, DDERR_GENERIC);
  const float phase = g_state.Effect.Counters().PalettePhase;
  EXPECT_TRUE(AnimateDisplayPalette(out));  // not a failure of the frame: the effect goes on
  EXPECT_EQ(g_state.Effect.Counters().PalettePhase, phase + g_state.Effect.Params().PaletteStep);
}

}  // namespace
