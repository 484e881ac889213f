// Render: the copy of the previous picture, the lock, the drawing, the palette step, and the failure texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "plugin/lifecycle.h"
#include "plugin/render.h"
#include "support/plugin_session.h"

namespace {

constexpr VidResult kWrongMode = static_cast<VidResult>(0x8876024Bu);

class RenderTest : public PluginSession {
 protected:
  void SetUp() override {
    PluginSession::SetUp();
    // Some sound, so that frames differ from each other.
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < 576; ++i) module_->waveformData[c][i] = static_cast<unsigned char>((i * (c + 3)) & 0xFF);
  }
  int RenderFrame() { return Render(state(), module_); }
};

long CallsNamed(const char* name) { return std::count(MemoryCalls().begin(), MemoryCalls().end(), name); }

// The copy of the previous picture comes before the lock of the next one; the palette step after the unlock.
TEST_F(RenderTest, FrameCopiesLocksUnlocksThenStepsThePalette) {
  InitOrFail();
  EXPECT_EQ(RenderFrame(), 0);
  const std::vector<std::string>& calls = MemoryCalls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 3),
            (std::vector<std::string>{"CopyFast", "Lock", "Unlock"}));
  for (std::size_t i = 3; i < calls.size(); ++i) EXPECT_EQ(calls[i], "SetEntries");
  EXPECT_FALSE(MemoryOffscreen().locked);
  EXPECT_EQ(screen().LastDisplayResult, kVidOk);
  EXPECT_TRUE(MemoryErrorTexts().empty());
}

TEST_F(RenderTest, SystemMemorySurfaceIsCopiedTheSlowWay) {
  MemorySetVideoMemoryExhausted(true);
  InitOrFail();
  ASSERT_EQ(screen().SystemMemorySurface, 1);
  EXPECT_EQ(RenderFrame(), 0);
  ASSERT_FALSE(MemoryCalls().empty());
  EXPECT_EQ(MemoryCalls()[0], "Copy");
  EXPECT_EQ(CallsNamed("CopyFast"), 0);
}

TEST_F(RenderTest, FirstFrameShowsTheOffscreenSurfaceAsItWas) {
  MemorySetOffscreenPitch(352);
  InitOrFail();
  MemorySurfaceState offscreen = MemoryOffscreen();
  for (int y = 0; y < offscreen.height; ++y)
    for (int x = 0; x < offscreen.pitch; ++x)
      offscreen.pixels[y * offscreen.pitch + x] = static_cast<std::uint8_t>(x ^ y);
  std::vector<std::uint8_t> before = MemoryOffscreenBytes();
  EXPECT_EQ(RenderFrame(), 0);
  EXPECT_EQ(MemoryScreenBytes(), before);
  EXPECT_EQ(screen().FramePitch, 352);
}

TEST_F(RenderTest, PictureOfOneCallIsOnScreenFromTheStartOfTheNext) {
  MemorySetOffscreenPitch(336);
  InitOrFail();
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    ASSERT_EQ(RenderFrame(), 0);
    std::vector<std::uint8_t> drawn = MemoryOffscreenBytes();
    std::vector<std::uint8_t> shown = MemoryScreenBytes();
    // The next call's copy (and its failure, so that nothing else is drawn) shows this call's picture.
    MemoryFail(MemoryCall::Lock);
    MemoryFail(MemoryCall::Unlock);
    ASSERT_EQ(RenderFrame(), 1);
    EXPECT_EQ(MemoryScreenBytes(), drawn);
    if (n > 1) {
      EXPECT_NE(shown, drawn);
    }
  }
}

TEST_F(RenderTest, InactiveWindowChangesNothing) {
  InitOrFail();
  ASSERT_EQ(RenderFrame(), 0);
  MemorySetApplicationActive(false);
  MemoryClearRecords();
  const FrameCounters counters = state().Effect.Counters();
  VidColour palette[256];
  std::memcpy(palette, screen().DisplayPalette, sizeof palette);
  std::vector<std::uint8_t> shown = MemoryScreenBytes(), offscreen = MemoryOffscreenBytes();
  EXPECT_EQ(RenderFrame(), 0);
  EXPECT_EQ(RenderFrame(), 0);
  EXPECT_TRUE(MemoryCalls().empty());
  EXPECT_EQ(state().Effect.Counters().FrameCounter, counters.FrameCounter);
  EXPECT_EQ(state().Effect.Counters().TextureScroll, counters.TextureScroll);
  EXPECT_EQ(state().Effect.Counters().PalettePhase, counters.PalettePhase);
  EXPECT_EQ(std::memcmp(palette, screen().DisplayPalette, sizeof palette), 0);
  EXPECT_EQ(MemoryScreenBytes(), shown);
  EXPECT_EQ(MemoryOffscreenBytes(), offscreen);
}

struct FailureCase {
  const char* name;
  bool systemMemory;
  std::vector<std::pair<MemoryCall, VidResult>> injected;
  std::vector<std::string> texts;
  VidResult lastResult;
  bool drewFrame;  // the pipeline ran (the counters moved)
};

TEST_F(RenderTest, EveryFailureStopsWithItsText) {
  const VidResult kBusy = kMemorySurfaceBusy, kGeneric = kMemoryGeneric;
  const FailureCase cases[] = {
      {"copy", true, {{MemoryCall::Copy, kGeneric}}, {"BlitError = 080004005h"}, kGeneric, false},
      {"fast copy", false, {{MemoryCall::CopyFast, kGeneric}}, {"BlitFastError = 080004005h"}, kGeneric, false},
      {"lost, not restored",
       false,
       {{MemoryCall::CopyFast, kVidSurfaceLost}, {MemoryCall::Restore, kWrongMode}},
       {"BlitFastError = 0887601C2h"},
       kWrongMode,
       false},
      {"lost, copy, off-screen not restored",
       true,
       {{MemoryCall::Copy, kVidSurfaceLost}, {MemoryCall::Restore, kVidOk}, {MemoryCall::Restore, kGeneric}},
       {"BlitError = 0887601C2h"},
       kGeneric,
       false},
      {"lock lost, not restored",
       false,
       {{MemoryCall::Lock, kVidSurfaceLost}, {MemoryCall::Restore, kGeneric}, {MemoryCall::Unlock, kVidOk}},
       {"LockError = 0887601C2h"},
       kVidOk,
       false},
      {"no drawing context",
       false,
       {{MemoryCall::CopyFast, kGeneric}, {MemoryCall::ErrorText, kGeneric}},
       {},
       kGeneric,
       false},
      {"lock, unlock fails", false, {{MemoryCall::Lock, kBusy}, {MemoryCall::Unlock, kGeneric}}, {}, kGeneric, false},
      {"lock, unlock succeeds",
       false,
       {{MemoryCall::Lock, kBusy}, {MemoryCall::Unlock, kVidOk}},
       {"LockError = 0887601AEh"},
       kVidOk,
       false},
      {"lock, nothing to unlock", false, {{MemoryCall::Lock, kBusy}}, {}, kMemoryNotLocked, false},
      {"unlock after drawing", false, {{MemoryCall::Unlock, kGeneric}}, {}, kGeneric, true},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    MemorySetVideoMemoryExhausted(c.systemMemory);
    InitOrFail();
    for (const auto& [call, result] : c.injected) MemoryFail(call, result);
    const std::uint32_t frames = state().Effect.Counters().FrameCounter;
    VidColour palette[256];
    std::memcpy(palette, screen().DisplayPalette, sizeof palette);
    EXPECT_EQ(RenderFrame(), 1);
    EXPECT_EQ(MemoryErrorTexts(), c.texts);
    EXPECT_EQ(screen().LastDisplayResult, c.lastResult);
    EXPECT_EQ(CallsNamed("SetEntries"), 0);  // no palette step
    EXPECT_EQ(std::memcmp(palette, screen().DisplayPalette, sizeof palette), 0);
    EXPECT_EQ(state().Effect.Counters().FrameCounter != frames, c.drewFrame);
    if (!c.drewFrame) {
      EXPECT_FALSE(MemoryOffscreen().locked);
    }
  }
}

TEST_F(RenderTest, FailedPipelineLeavesTheSurfaceUnlockedAndThePaletteStill) {
  InitOrFail();
  ASSERT_EQ(RenderFrame(), 0);
  // Without its height map the pipeline declines to draw.
  TableSet& tables = const_cast<TableSet&>(state().Effect.Tables());
  std::uint8_t* heightMap = std::exchange(tables.HeightMap, nullptr);
  VidColour palette[256];
  std::memcpy(palette, screen().DisplayPalette, sizeof palette);
  MemoryClearRecords();
  EXPECT_EQ(RenderFrame(), 1);
  tables.HeightMap = heightMap;
  EXPECT_EQ(MemoryCalls(), (std::vector<std::string>{"CopyFast", "Lock", "Unlock"}));
  EXPECT_FALSE(MemoryOffscreen().locked);
  EXPECT_EQ(std::memcmp(palette, screen().DisplayPalette, sizeof palette), 0);
  EXPECT_TRUE(MemoryErrorTexts().empty());
  EXPECT_EQ(RenderFrame(), 0);  // nothing was left in the way of the next frame
}

TEST_F(RenderTest, FailedCopyStopsBeforeTheLock) {
  InitOrFail();
  MemoryFail(MemoryCall::CopyFast);
  EXPECT_EQ(RenderFrame(), 1);
  EXPECT_EQ(CallsNamed("Lock"), 0);
  EXPECT_EQ(MemoryErrorTexts().size(), 1u);
}

// After Alt+Tab away and back both surfaces are lost: the frame restores them, attaches the palette again and
// draws on; the picture it draws is on screen at the next call, and nothing is lost of the effect's course.
TEST_F(RenderTest, LostSurfacesAreRestoredAndTheEffectGoesOn) {
  for (bool systemMemory : {false, true}) {
    SCOPED_TRACE(systemMemory);
    TearDown();
    SetUp();
    MemorySetVideoMemoryExhausted(systemMemory);
    InitOrFail();
    ASSERT_EQ(RenderFrame(), 0);
    MemoryLoseSurfaces();
    const std::uint32_t frames = state().Effect.Counters().FrameCounter;
    MemoryClearRecords();
    EXPECT_EQ(RenderFrame(), 0);
    const std::vector<std::string>& calls = MemoryCalls();
    ASSERT_GE(calls.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 6),
              (std::vector<std::string>{systemMemory ? "Copy" : "CopyFast", "Restore", "Restore", "AttachPalette",
                                        "Lock", "Unlock"}));
    EXPECT_EQ(state().Effect.Counters().FrameCounter, frames + 1);
    EXPECT_TRUE(MemoryErrorTexts().empty());
    std::vector<std::uint8_t> drawn = MemoryOffscreenBytes();
    VidColour attached[256];
    ASSERT_TRUE(MemoryScreenPalette(attached));
    EXPECT_EQ(std::memcmp(attached, screen().DisplayPalette, sizeof attached), 0);
    EXPECT_EQ(RenderFrame(), 0);
    EXPECT_EQ(MemoryScreenBytes(), drawn);
  }
}

TEST_F(RenderTest, LostSurfacesThatCannotBeRestoredStopTheEffectUntilTheyCan) {
  InitOrFail();
  MemoryLoseSurfaces();
  MemoryFail(MemoryCall::Restore, kWrongMode);
  EXPECT_EQ(RenderFrame(), 1);
  EXPECT_EQ(screen().LastDisplayResult, kWrongMode);
  EXPECT_TRUE(MemoryErrorTexts().empty());  // a lost screen gives no drawing context
  EXPECT_EQ(CallsNamed("Lock"), 0);
  EXPECT_EQ(RenderFrame(), 0);
}

// While the window is inactive nothing is restored or drawn; the first frame after it is active again is.
TEST_F(RenderTest, SurfacesLostWhileInactiveAreRestoredOnceActiveAgain) {
  InitOrFail();
  MemorySetApplicationActive(false);
  MemoryLoseSurfaces();
  const std::uint32_t frames = state().Effect.Counters().FrameCounter;
  EXPECT_EQ(RenderFrame(), 0);
  EXPECT_TRUE(MemoryCalls().empty());
  MemorySetApplicationActive(true);
  EXPECT_EQ(RenderFrame(), 0);
  EXPECT_EQ(CallsNamed("Restore"), 2);
  EXPECT_EQ(state().Effect.Counters().FrameCounter, frames + 1);
}

TEST_F(RenderTest, ManyFramesLeaveNothingBehind) {
  InitOrFail();
  for (int i = 0; i < 20; ++i) ASSERT_EQ(RenderFrame(), 0);
  Quit(state(), module_);
  const MemoryLive live = MemoryLiveObjects();
  EXPECT_EQ(live.devices + live.surfaces + live.palettes + live.canvases, 0);
  EXPECT_EQ(MemoryCallsOnReleasedObjects(), 0);
}

// The palette step hands all 256 entries to the palette; a refused one is ignored, and the phase still moves on.
TEST_F(RenderTest, PaletteStepHandsAll256EntriesToThePalette) {
  InitOrFail();
  EffectSettings settings = state().Effect.Settings();
  settings.PaletteAnimationSpeed = 100;
  state().Effect.ApplySettings(settings);
  EXPECT_EQ(RenderFrame(), 0);
  VidColour shown[256];
  ASSERT_TRUE(MemoryScreenPalette(shown));
  EXPECT_EQ(0, std::memcmp(shown, screen().DisplayPalette, sizeof shown));

  MemoryFail(MemoryCall::SetEntries);
  const float phase = state().Effect.Counters().PalettePhase;
  EXPECT_EQ(RenderFrame(), 0);  // not a failure of the frame: the effect goes on
  EXPECT_EQ(state().Effect.Counters().PalettePhase, phase + state().Effect.Params().PaletteStep);
  EXPECT_NE(0, std::memcmp(shown, screen().DisplayPalette, sizeof shown));
  ASSERT_TRUE(MemoryScreenPalette(shown));
  EXPECT_NE(0, std::memcmp(shown, screen().DisplayPalette, sizeof shown));  // the refused entries
}

}  // namespace
