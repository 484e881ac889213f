// The display's fall-backs: a failure at each step of each choice leads to the next, the last one to a message.
#include <gtest/gtest.h>

#include <string>

#include "core/hd_tunnel.h"
#include "plugin/display.h"
#include "plugin/render.h"
#include "plugin/plugin_state.h"
#include "plugin/lifecycle.h"
#include "support/plugin_session.h"

namespace fs = std::filesystem;

namespace {

using DisplayFallbackTest = PluginSession;

void WriteDisplayMode(const fs::path& root, int mode) {
  WriteFileText(root / "plugin.ini", "[Ombrelo Tunnel]\r\nDisplayMode=" + std::to_string(mode) + "\r\n");
}

// The DirectDraw steps of one attempt at an exclusive mode, in their order; the clear only where the picture is
// enlarged.
struct Step {
  const char* name;
  MemoryCall call;
};
constexpr Step kExclusiveSteps[] = {
    {"device", MemoryCall::CreateDevice},   {"co-operation", MemoryCall::SetExclusive},
    {"mode", MemoryCall::SetMode},          {"palette", MemoryCall::CreatePalette},
    {"primary", MemoryCall::CreatePrimary}, {"off-screen", MemoryCall::CreateOffscreen},
    {"geometry", MemoryCall::Describe},     {"attach", MemoryCall::AttachPalette},
    {"clear", MemoryCall::Clear},
};

// Makes attempt `attempt` (0 = 320 x 200, 1 = 640 x 400, 2 = 640 x 480) fail at `step`, the attempts before it at
// their mode. Each attempt makes the calls up to its mode once, so the calls before that must first succeed.
void FailAttemptAt(int attempt, MemoryCall step) {
  for (int earlier = 0; earlier < attempt; ++earlier) {
    if (step == MemoryCall::CreateDevice || step == MemoryCall::SetExclusive) MemoryFail(step, kVidOk);
    MemoryFail(MemoryCall::SetMode, kMemoryUnsupported);
  }
  MemoryFail(step);
}

struct Outcome {
  DisplayKind kind;
  int width, height;  // the screen's mode
  VidRect picture;    // where the frame lies on an exclusive screen
};
const Outcome kChoices[] = {
    {kDisplayExclusiveScaled, 640, 400, {0, 0, 640, 400}},
    {kDisplayExclusiveScaled, 640, 480, {0, 40, 640, 440}},
    {kDisplayBorderless, 1024, 768, {}},
};

void ExpectOutcome(const Screen& screen, const Outcome& expected) {
  EXPECT_EQ(screen.DisplayKind, expected.kind);
  const MemoryMode mode = MemoryDisplayMode();
  EXPECT_EQ(mode.width, expected.width);
  EXPECT_EQ(mode.height, expected.height);
  EXPECT_EQ(mode.bitsPerPixel, expected.kind == kDisplayBorderless ? 32 : 8);
  const MemoryLive live = MemoryLiveObjects();
  if (expected.kind == kDisplayBorderless) {
    EXPECT_EQ(live.devices + live.surfaces + live.palettes, 0);  // the failed attempts left nothing behind
  } else {
    EXPECT_EQ(live.devices, 1);
    EXPECT_EQ(live.surfaces, 2);
    EXPECT_EQ(screen.PictureRect, expected.picture);
  }
  EXPECT_EQ(screen.FrameWidth, 320);
  EXPECT_EQ(screen.FrameHeight, 200);
}

TEST_F(DisplayFallbackTest, AFailureAtEveryStepOfEachChoiceLeadsToTheNext) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    for (const Step& step : kExclusiveSteps) {
      if (attempt == 0 && step.call == MemoryCall::Clear) continue;  // 320 x 200 fills the screen: no clear
      SCOPED_TRACE(testing::Message() << "attempt " << attempt << " fails at " << step.name);
      TearDown();
      SetUp();
      FailAttemptAt(attempt, step.call);
      ASSERT_EQ(Init(state(), module_), 0);
      EXPECT_TRUE(MemoryMessageBoxes().empty());
      ExpectOutcome(screen(), kChoices[attempt]);
      EXPECT_EQ(MemoryCallsOnReleasedObjects(), 0);
      EXPECT_EQ(Render(state(), module_), 0);
      EXPECT_EQ(Render(state(), module_), 0);
    }
  }
}

// Where the desktop keeps its mode (Wine without a virtual desktop, many current drivers), the effect comes up
// in a borderless window over the monitor of the host's window.
TEST_F(DisplayFallbackTest, DesktopThatKeepsItsModeGetsABorderlessWindowOnTheHostsMonitor) {
  MemorySetModesRefused(true);
  MemorySetSecondMonitor(1280, 1024);
  MemoryPlaceHostWindow(1500, 300);
  InitOrFail();
  EXPECT_EQ(screen().DisplayKind, kDisplayBorderless);
  const MemoryWindow w = MemoryWindowState();
  EXPECT_EQ(w.placement, VidPlacement::TopMost);
  EXPECT_EQ(w.outer, (VidRect{1024, 0, 2304, 1024}));
  EXPECT_EQ(MemoryDisplayMode().width, 1024);
  EXPECT_EQ(MemoryLiveObjects().canvases, 0);
}

struct LastFailure {
  const char* name;
  MemoryCall step;
  const char* text;
};

// With every exclusive mode refused, a failure in the window's set-up is the last: Init tears down and names it.
TEST_F(DisplayFallbackTest, AFailureOfTheLastChoiceIsToldAsBefore) {
  const LastFailure cases[] = {
      {"monitor", MemoryCall::HostMonitor, "Error finding the monitor of the player's window"},
      {"placing", MemoryCall::PlaceWindow, "Error placing the display window"},
      {"context", MemoryCall::BeginDraw, "Error getting the display window's drawing context"},
      {"picture", MemoryCall::DrawRows, "Error drawing into the display window"},
  };
  for (int mode : {0, 2}) {
    for (const LastFailure& c : cases) {
      SCOPED_TRACE(testing::Message() << "DisplayMode " << mode << ", " << c.name);
      TearDown();
      SetUp();
      WriteDisplayMode(folder_.root, mode);
      MemorySetModesRefused(true);
      MemoryFail(c.step);
      EXPECT_EQ(Init(state(), module_), 1);
      ASSERT_EQ(MemoryMessageBoxes().size(), 1u);
      EXPECT_EQ(MemoryMessageBoxes()[0].text, c.text);
      EXPECT_EQ(MemoryMessageBoxes()[0].caption, "...");
      EXPECT_TRUE(MemoryMessageBoxes()[0].errorIcon);
      EXPECT_FALSE(MemoryWindowState().exists);
      EXPECT_EQ(MemoryLiveObjects().canvases, 0);
      EXPECT_FALSE(MemoryWindowState().classRegistered);
      EXPECT_FALSE(state().Effect.Built());
    }
  }
}

// DisplayMode=1 is the plug-in as it always was: the same calls, and the mode's message when the mode fails.
TEST_F(DisplayFallbackTest, EffectModeOnlyFailsAsBefore) {
  WriteDisplayMode(folder_.root, 1);
  MemorySetModesRefused(true);
  MemoryClearRecords();
  EXPECT_EQ(Init(state(), module_), 1);
  ASSERT_EQ(MemoryMessageBoxes().size(), 1u);
  EXPECT_EQ(MemoryMessageBoxes()[0].text, "Error setting DDraw display mode");
  EXPECT_EQ(MemoryMessageBoxes()[0].caption, "DirectDraw error");
  EXPECT_EQ(MemoryCalls(),
            (std::vector<std::string>{"RegisterClass", "CreateWindow", "CreateDevice", "SetExclusive", "SetMode",
                                      "ReleaseDevice", "DestroyWindow", "UnregisterClass", "MessageBox"}));
}

// The first attempt makes today's calls in today's order, whatever the key says, when it succeeds.
TEST_F(DisplayFallbackTest, FirstAttemptIsTheEffectsOwnMode) {
  for (int mode : {0, 1, 7}) {
    SCOPED_TRACE(mode);
    TearDown();
    SetUp();
    WriteDisplayMode(folder_.root, mode);
    MemoryClearRecords();
    ASSERT_EQ(Init(state(), module_), 0);
    EXPECT_EQ(screen().DisplayKind, kDisplayExclusive);
    EXPECT_EQ(MemoryDisplayMode().width, 320);
    EXPECT_EQ(MemoryCalls(), (std::vector<std::string>{"RegisterClass", "CreateWindow", "CreateDevice", "SetExclusive",
                                                       "SetMode", "CreatePalette", "CreatePrimary", "CreateOffscreen",
                                                       "Describe", "AttachPalette"}));
  }
}

// An enlarged picture: every frame pixel twice in each direction, centred, black (index 0) around it, also after
// the surfaces were lost and restored.
TEST_F(DisplayFallbackTest, EnlargedPictureIsCentredInBlack) {
  FailAttemptAt(1, MemoryCall::SetMode);
  InitOrFail();
  ASSERT_EQ(MemoryDisplayMode().height, 480);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(Render(state(), module_), 0);
    std::vector<std::uint8_t> frame = MemoryOffscreenBytes();
    if (round == 1) {
      MemoryLoseSurfaces();
      ASSERT_EQ(Render(state(), module_), 0);  // restored; draws the next picture
      frame = MemoryOffscreenBytes();
    }
    ASSERT_EQ(Render(state(), module_), 0);
    std::vector<std::uint8_t> screen = MemoryScreenBytes();
    ASSERT_EQ(screen.size(), 640u * 480u);
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) {
        const bool inside = y >= 40 && y < 440;
        const std::uint8_t expected = inside ? frame[((y - 40) / 2) * 320 + x / 2] : 0;
        wrong += screen[y * 640 + x] != expected;
      }
    EXPECT_EQ(wrong, 0);
  }
}

// The colour the 8-bit display shows for an index: its palette's, but 0 and 255 are the system's black and white.
std::uint32_t Shown(const VidColour* palette, int index) {
  if (index == 0) return 0;
  if (index == 255) return 0xFFFFFF;
  return (std::uint32_t{palette[index].red} << 16) | (std::uint32_t{palette[index].green} << 8) | palette[index].blue;
}

// In a window the previous picture shows through the new palette, as on the 8-bit display, scaled to the largest
// 4:3 area by the nearest pixel (the one whose span holds the destination pixel's centre), black around it.
void ExpectWindowShows(const std::vector<std::uint8_t>& picture, const VidColour* palette, int areaLeft, int areaTop,
                       int areaWidth, int areaHeight) {
  const MemoryWindow window = MemoryWindowState();
  const std::vector<std::uint32_t>& pixels = window.pixels;
  const int width = window.clientWidth, height = window.clientHeight;
  ASSERT_EQ(pixels.size(), static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  int wrong = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int ax = x - areaLeft, ay = y - areaTop;
      std::uint32_t expected = 0;
      if (ax >= 0 && ay >= 0 && ax < areaWidth && ay < areaHeight) {
        const int sx = (2 * ax + 1) * 320 / (2 * areaWidth), sy = (2 * ay + 1) * 200 / (2 * areaHeight);
        expected = Shown(palette, picture[sy * 320 + sx]);
      }
      if (pixels[y * width + x] != expected && wrong++ < 3)
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << pixels[y * width + x] << ", expected "
                      << expected;
    }
  EXPECT_EQ(wrong, 0);
}

TEST_F(DisplayFallbackTest, BorderlessWindowShowsThePictureInTheLargestFourThirdsArea) {
  MemorySetDesktopSize(1280, 1024);
  MemorySetModesRefused(true);
  InitOrFail();
  for (int n = 0; n < 3; ++n) {
    std::vector<std::uint8_t> previous(screen().WindowFrame, screen().WindowFrame + 64000);
    ASSERT_EQ(Render(state(), module_), 0);
    ExpectWindowShows(previous, screen().DisplayPalette, 0, 32, 1280, 960);
  }
  // Full screen in a window still draws only while active.
  MemorySetApplicationActive(false);
  const std::uint32_t frames = state().Effect.Counters().FrameCounter;
  EXPECT_EQ(Render(state(), module_), 0);
  EXPECT_EQ(state().Effect.Counters().FrameCounter, frames);
  MemorySetApplicationActive(true);
  EXPECT_EQ(MemoryLiveObjects().canvases, 0);
}

// DisplayMode=2: a normal window with a 640 x 480 client area, centred on the monitor's work area, not top-most;
// it goes on drawing behind other windows; Alt+Enter takes it to full screen and back.
TEST_F(DisplayFallbackTest, NormalWindowDrawsWhenInactiveAndAltEnterSwitches) {
  WriteDisplayMode(folder_.root, 2);
  MemoryClearRecords();
  InitOrFail();
  EXPECT_EQ(MemoryLiveObjects().devices, 0);
  EXPECT_EQ(screen().DisplayKind, kDisplayWindowed);
  MemoryWindow w = MemoryWindowState();
  EXPECT_EQ(w.placement, VidPlacement::Normal);
  EXPECT_EQ(w.clientWidth, 640);
  EXPECT_EQ(w.clientHeight, 480);
  EXPECT_EQ((w.outer.left + w.outer.right) / 2, 512);
  EXPECT_EQ(w.outer.top, (768 - 40 - (w.outer.bottom - w.outer.top)) / 2);
  MemorySetApplicationActive(false);
  std::vector<std::uint8_t> previous(screen().WindowFrame, screen().WindowFrame + 64000);
  const std::uint32_t frames = state().Effect.Counters().FrameCounter;
  ASSERT_EQ(Render(state(), module_), 0);
  EXPECT_EQ(state().Effect.Counters().FrameCounter, frames + 1);
  ExpectWindowShows(previous, screen().DisplayPalette, 0, 0, 640, 480);
  MemorySetApplicationActive(true);

  // Alt+Enter switches at the next frame: full screen in the effect's own mode.
  MemoryAskSwitch();
  ASSERT_EQ(Render(state(), module_), 0);
  EXPECT_EQ(screen().DisplayKind, kDisplayExclusive);
  EXPECT_EQ(MemoryDisplayMode().width, 320);
  w = MemoryWindowState();
  EXPECT_EQ(w.placement, VidPlacement::TopMost);
  EXPECT_EQ(w.outer, (VidRect{0, 0, 1024, 768}));
  ASSERT_EQ(Render(state(), module_), 0);
  // And back to the window, giving the desktop its mode back.
  MemoryAskSwitch();
  ASSERT_EQ(Render(state(), module_), 0);
  EXPECT_EQ(screen().DisplayKind, kDisplayWindowed);
  EXPECT_EQ(MemoryDisplayMode().width, 1024);
  EXPECT_EQ(MemoryLiveObjects().devices, 0);
  EXPECT_EQ(MemoryCallsOnReleasedObjects(), 0);
  EXPECT_EQ(screen().SwitchRequested, 0);
}

// Picture=1: the window shows the tunnel drawn at its client area's size from the frame just drawn, through the
// palette just stepped, from the first frame on; a picture that cannot be put on the screen, the first frame at a
// new size and the frames before its map is made show the enlarged frame instead.
TEST_F(DisplayFallbackTest, HdPictureInAWindowAndItsFallBacks) {
  WriteFileText(folder_.root / "plugin.ini", "[Ombrelo Tunnel]\r\nDisplayMode=2\r\nPicture=1\r\n");
  InitOrFail();
  const auto expectHd = [this](int width, int height) {
    HdTunnel hd;
    ASSERT_TRUE(hd.Prepare(width, height, CentredHdView(width, height, 1.2, false), HdSampling::Sharp));
    std::uint32_t colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = Shown(screen().DisplayPalette, i);
    std::vector<std::uint32_t> expected(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    state().Effect.DrawHd(hd, colours, reinterpret_cast<std::uint8_t*>(expected.data()), width * 4, 4);
    for (std::uint32_t& pixel : expected) pixel &= 0x00FFFFFF;
    const MemoryWindow w = MemoryWindowState();
    EXPECT_EQ(w.pixels, expected);
    EXPECT_EQ(w.clientWidth, width);
    EXPECT_EQ(w.clientHeight, height);
  };
  ASSERT_EQ(Render(state(), module_), 0);
  expectHd(640, 480);

  std::vector<std::uint8_t> previous(screen().WindowFrame, screen().WindowFrame + 64000);
  MemoryFail(MemoryCall::DrawPixels);
  ASSERT_EQ(Render(state(), module_), 0);
  ExpectWindowShows(previous, screen().DisplayPalette, 0, 0, 640, 480);

  ASSERT_EQ(Render(state(), module_), 0);
  expectHd(640, 480);
  MemoryResizeClient(400, 300);
  previous.assign(screen().WindowFrame, screen().WindowFrame + 64000);
  ASSERT_EQ(Render(state(), module_), 0);
  ExpectWindowShows(previous, screen().DisplayPalette, 0, 0, 400, 300);
  ASSERT_EQ(Render(state(), module_), 0);
  expectHd(400, 300);

  // A new size's map is made off Render's thread: the enlarged frame stands in, without waiting, until it is made.
  MemoryHoldWork(true);
  MemoryResizeClient(480, 360);
  for (int n = 0; n < 3; ++n) {
    previous.assign(screen().WindowFrame, screen().WindowFrame + 64000);
    ASSERT_EQ(Render(state(), module_), 0);
    ExpectWindowShows(previous, screen().DisplayPalette, 0, 0, 480, 360);
  }
  MemoryRunHeldWork();
  ASSERT_EQ(Render(state(), module_), 0);
  expectHd(480, 360);
  // A map still being made when the display goes is waited for and given back.
  MemoryResizeClient(320, 240);
  Quit(state(), module_);
  EXPECT_EQ(MemoryLiveObjects().canvases, 0);
  EXPECT_EQ(screen().Hd.Next.Work, nullptr);
}

// Where no full screen comes up, Alt+Enter goes through the fall-backs to the borderless window, and back.
TEST_F(DisplayFallbackTest, AltEnterKeepsTheWindowWhereNoFullScreenComesUp) {
  WriteDisplayMode(folder_.root, 2);
  InitOrFail();
  MemorySetModesRefused(true);
  MemoryAskSwitch();
  ASSERT_EQ(Render(state(), module_), 0);
  EXPECT_EQ(screen().DisplayKind, kDisplayBorderless);
  MemoryAskSwitch();
  ASSERT_EQ(Render(state(), module_), 0);
  EXPECT_EQ(screen().DisplayKind, kDisplayWindowed);
  EXPECT_EQ(MemoryWindowState().placement, VidPlacement::Normal);
}

}  // namespace
