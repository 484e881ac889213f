// The display's fall-backs: a failure at each step of each choice leads to the next, the last one to a message.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/hd_tunnel.h"
#include "plugin/display.h"
#include "plugin/render.h"
#include "plugin/effect_state.h"
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
  HeadlessDdCall call;
};
constexpr Step kExclusiveSteps[] = {
    {"object", HeadlessDdCall::Create},
    {"co-operation", HeadlessDdCall::SetCooperativeLevel},
    {"mode", HeadlessDdCall::SetDisplayMode},
    {"palette", HeadlessDdCall::CreatePalette},
    {"primary", HeadlessDdCall::CreatePrimarySurface},
    {"off-screen", HeadlessDdCall::CreateOffscreenSurface},
    {"geometry", HeadlessDdCall::GetSurfaceDesc},
    {"attach", HeadlessDdCall::SetPalette},
    {"clear", HeadlessDdCall::Blt},
};

// Makes attempt `attempt` (0 = 320 x 200, 1 = 640 x 400, 2 = 640 x 480) fail at `step`, the attempts before it at
// their mode. Each attempt makes the calls up to its mode once, so the calls before that must first succeed.
void FailAttemptAt(int attempt, HeadlessDdCall step) {
  for (int earlier = 0; earlier < attempt; ++earlier) {
    if (step == HeadlessDdCall::Create || step == HeadlessDdCall::SetCooperativeLevel)
      HeadlessInjectDirectDrawResult(step, DD_OK);
    HeadlessInjectDirectDrawResult(HeadlessDdCall::SetDisplayMode, DDERR_UNSUPPORTED);
  }
  HeadlessInjectDirectDrawResult(step, DDERR_GENERIC);
}

struct Outcome {
  DisplayKind kind;
  int width, height;  // the screen's mode
  RECT picture;       // where the frame lies on an exclusive screen
};
const Outcome kChoices[] = {
    {kDisplayExclusiveScaled, 640, 400, {0, 0, 640, 400}},
    {kDisplayExclusiveScaled, 640, 480, {0, 40, 640, 440}},
    {kDisplayBorderless, 1024, 768, {}},
};

void ExpectOutcome(const Outcome& expected) {
  EXPECT_EQ(g_state.Screen.DisplayKind, expected.kind);
  HeadlessDisplayModeInfo mode = HeadlessDisplayMode();
  EXPECT_EQ(mode.width, expected.width);
  EXPECT_EQ(mode.height, expected.height);
  EXPECT_EQ(mode.bitsPerPixel, expected.kind == kDisplayBorderless ? 32 : 8);
  HeadlessDirectDrawCounts live = HeadlessLiveDirectDrawObjects();
  if (expected.kind == kDisplayBorderless) {
    EXPECT_EQ(live.directDraws + live.surfaces + live.palettes, 0);  // the failed attempts left nothing behind
  } else {
    EXPECT_EQ(live.directDraws, 1);
    EXPECT_EQ(live.surfaces, 2);
    EXPECT_EQ(g_state.Screen.PictureRect.left, expected.picture.left);
    EXPECT_EQ(g_state.Screen.PictureRect.top, expected.picture.top);
    EXPECT_EQ(g_state.Screen.PictureRect.right, expected.picture.right);
    EXPECT_EQ(g_state.Screen.PictureRect.bottom, expected.picture.bottom);
  }
  EXPECT_EQ(g_state.Screen.FrameWidth, 320);
  EXPECT_EQ(g_state.Screen.FrameHeight, 200);
}

TEST_F(DisplayFallbackTest, AFailureAtEveryStepOfEachChoiceLeadsToTheNext) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    for (const Step& step : kExclusiveSteps) {
      if (attempt == 0 && step.call == HeadlessDdCall::Blt) continue;  // 320 x 200 fills the screen: no clear
      SCOPED_TRACE(testing::Message() << "attempt " << attempt << " fails at " << step.name);
      TearDown();
      SetUp();
      FailAttemptAt(attempt, step.call);
      ASSERT_EQ(Init(module_), 0);
      EXPECT_TRUE(HeadlessMessageBoxes().empty());
      ExpectOutcome(kChoices[attempt]);
      EXPECT_EQ(HeadlessCallsOnReleasedObjects(), 0);
      EXPECT_EQ(Render(module_), 0);
      EXPECT_EQ(Render(module_), 0);
    }
  }
}

// Where the desktop keeps its mode (Wine without a virtual desktop, many current drivers), the effect comes up
// in a borderless window over the monitor of the host's window.
TEST_F(DisplayFallbackTest, DesktopThatKeepsItsModeGetsABorderlessWindowOnTheHostsMonitor) {
  HeadlessSetDisplayModesRefused(true);
  HeadlessSetSecondMonitor(1280, 1024);
  HeadlessPlaceHostWindow(1500, 300);
  InitOrFail();
  EXPECT_EQ(g_state.Screen.DisplayKind, kDisplayBorderless);
  HeadlessWindowInfo w = HeadlessWindowDetails(g_state.Screen.Window);
  EXPECT_EQ(w.style, static_cast<DWORD>(WS_POPUP));
  EXPECT_EQ(w.exStyle, static_cast<DWORD>(WS_EX_TOPMOST));
  EXPECT_TRUE(w.visible);
  EXPECT_EQ(w.x, 1024);
  EXPECT_EQ(w.y, 0);
  EXPECT_EQ(w.width, 1280);
  EXPECT_EQ(w.height, 1024);
  EXPECT_EQ(HeadlessDisplayMode().width, 1024);
  EXPECT_EQ(HeadlessLiveWindowDCs(), 0);
}

struct LastFailure {
  const char* name;
  std::function<void()> arrange;
  const char* text;
};

// With every exclusive mode refused, a failure in the window's set-up is the last: Init tears down and names it.
TEST_F(DisplayFallbackTest, AFailureOfTheLastChoiceIsToldAsBefore) {
  const LastFailure cases[] = {
      {"monitor", [] { HeadlessFailNextGetMonitorInfo(); }, "Error finding the monitor of the player's window"},
      {"placing", [] { HeadlessFailNextSetWindowPos(); }, "Error placing the display window"},
      {"context", [] { HeadlessFailNextGetDC(); }, "Error getting the display window's drawing context"},
      {"picture", [] { HeadlessFailNextStretchDIBits(); }, "Error drawing into the display window"},
  };
  for (int mode : {0, 2}) {
    for (const LastFailure& c : cases) {
      SCOPED_TRACE(testing::Message() << "DisplayMode " << mode << ", " << c.name);
      TearDown();
      SetUp();
      WriteDisplayMode(folder_.root, mode);
      HeadlessSetDisplayModesRefused(true);
      c.arrange();
      EXPECT_EQ(Init(module_), 1);
      ASSERT_EQ(HeadlessMessageBoxes().size(), 1u);
      EXPECT_EQ(HeadlessMessageBoxes()[0].text, c.text);
      EXPECT_EQ(HeadlessMessageBoxes()[0].caption, "...");
      EXPECT_EQ(HeadlessMessageBoxes()[0].style, static_cast<UINT>(MB_ICONERROR));
      EXPECT_EQ(HeadlessLiveWindows(), 0);
      EXPECT_EQ(HeadlessLiveWindowDCs(), 0);
      EXPECT_FALSE(HeadlessFindClass("MainWndClass", nullptr));
      EXPECT_FALSE(g_state.Effect.Built());
    }
  }
}

// DisplayMode=1 is the plug-in as it always was: the same calls, and the mode's message when the mode fails.
TEST_F(DisplayFallbackTest, EffectModeOnlyFailsAsBefore) {
  WriteDisplayMode(folder_.root, 1);
  HeadlessSetDisplayModesRefused(true);
  HeadlessClearEvents();
  EXPECT_EQ(Init(module_), 1);
  ASSERT_EQ(HeadlessMessageBoxes().size(), 1u);
  EXPECT_EQ(HeadlessMessageBoxes()[0].text, "Error setting DDraw display mode");
  EXPECT_EQ(HeadlessMessageBoxes()[0].caption, "DirectDraw error");
  EXPECT_EQ(EventNames("IDirectDraw"),
            (std::vector<std::string>{"IDirectDraw::SetCooperativeLevel", "IDirectDraw::SetDisplayMode",
                                      "IDirectDraw::Release"}));
  EXPECT_TRUE(EventNames("SetWindowPos").empty());
}

// The first attempt makes today's calls in today's order, whatever the key says, when it succeeds.
TEST_F(DisplayFallbackTest, FirstAttemptIsTheEffectsOwnMode) {
  for (int mode : {0, 1, 7}) {
    SCOPED_TRACE(mode);
    TearDown();
    SetUp();
    WriteDisplayMode(folder_.root, mode);
    HeadlessClearEvents();
    ASSERT_EQ(Init(module_), 0);
    EXPECT_EQ(g_state.Screen.DisplayKind, kDisplayExclusive);
    EXPECT_EQ(HeadlessDisplayMode().width, 320);
    EXPECT_EQ(EventNames("IDirectDraw"),
              (std::vector<std::string>{"IDirectDraw::SetCooperativeLevel", "IDirectDraw::SetDisplayMode",
                                        "IDirectDraw::CreatePalette", "IDirectDraw::CreateSurface",
                                        "IDirectDraw::CreateSurface", "IDirectDrawSurface::GetSurfaceDesc",
                                        "IDirectDrawSurface::SetPalette"}));
    EXPECT_TRUE(EventNames("SetWindowPos").empty());
  }
}

// An enlarged picture: every frame pixel twice in each direction, centred, black (index 0) around it, also after
// the surfaces were lost and restored.
TEST_F(DisplayFallbackTest, EnlargedPictureIsCentredInBlack) {
  FailAttemptAt(1, HeadlessDdCall::SetDisplayMode);
  InitOrFail();
  ASSERT_EQ(HeadlessDisplayMode().height, 480);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(Render(module_), 0);
    std::vector<std::uint8_t> frame = HeadlessOffscreenBytes();
    if (round == 1) {
      HeadlessLoseSurfaces();
      ASSERT_EQ(Render(module_), 0);  // restored; draws the next picture
      frame = HeadlessOffscreenBytes();
    }
    ASSERT_EQ(Render(module_), 0);
    std::vector<std::uint8_t> screen = HeadlessScreenBytes();
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
std::uint32_t Shown(const PALETTEENTRY* palette, int index) {
  if (index == 0) return 0;
  if (index == 255) return 0xFFFFFF;
  return (std::uint32_t{palette[index].peRed} << 16) | (std::uint32_t{palette[index].peGreen} << 8) |
         palette[index].peBlue;
}

// In a window the previous picture shows through the new palette, as on the 8-bit display, scaled to the largest
// 4:3 area by the nearest pixel (the one whose span holds the destination pixel's centre), black around it.
void ExpectWindowShows(const std::vector<std::uint8_t>& picture, const PALETTEENTRY* palette, int areaLeft, int areaTop,
                       int areaWidth, int areaHeight) {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels = HeadlessWindowPixels(g_state.Screen.Window, &width, &height);
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
  HeadlessSetDesktopSize(1280, 1024);
  HeadlessSetDisplayModesRefused(true);
  InitOrFail();
  for (int n = 0; n < 3; ++n) {
    std::vector<std::uint8_t> previous(g_state.Screen.WindowFrame, g_state.Screen.WindowFrame + 64000);
    ASSERT_EQ(Render(module_), 0);
    ExpectWindowShows(previous, g_state.Screen.DisplayPalette, 0, 32, 1280, 960);
  }
  // Full screen in a window still draws only while active, and steps back from the top while another is.
  HeadlessSetApplicationActive(false);
  EXPECT_EQ(HeadlessWindowDetails(g_state.Screen.Window).exStyle, 0u);
  const std::uint32_t frames = g_state.Effect.Counters().FrameCounter;
  EXPECT_EQ(Render(module_), 0);
  EXPECT_EQ(g_state.Effect.Counters().FrameCounter, frames);
  HeadlessSetApplicationActive(true);
  EXPECT_EQ(HeadlessWindowDetails(g_state.Screen.Window).exStyle, static_cast<DWORD>(WS_EX_TOPMOST));
  EXPECT_EQ(HeadlessLiveWindowDCs(), 0);
}

// DisplayMode=2: a normal window with a 640 x 480 client area, centred on the monitor's work area, not top-most;
// it goes on drawing behind other windows; Alt+Enter takes it to full screen and back.
TEST_F(DisplayFallbackTest, NormalWindowDrawsWhenInactiveAndAltEnterSwitches) {
  WriteDisplayMode(folder_.root, 2);
  HeadlessClearEvents();
  InitOrFail();
  EXPECT_TRUE(EventNames("DirectDrawCreate").empty());
  EXPECT_EQ(g_state.Screen.DisplayKind, kDisplayWindowed);
  HeadlessWindowInfo w = HeadlessWindowDetails(g_state.Screen.Window);
  EXPECT_EQ(w.style, static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
  EXPECT_EQ(w.exStyle, 0u);
  RECT client{};
  ASSERT_TRUE(GetClientRect(g_state.Screen.Window, &client));
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);
  EXPECT_EQ(w.x + w.width / 2, 512);
  EXPECT_EQ(w.y, (768 - 40 - w.height) / 2);
  HeadlessSetApplicationActive(false);
  std::vector<std::uint8_t> previous(g_state.Screen.WindowFrame, g_state.Screen.WindowFrame + 64000);
  const std::uint32_t frames = g_state.Effect.Counters().FrameCounter;
  ASSERT_EQ(Render(module_), 0);
  EXPECT_EQ(g_state.Effect.Counters().FrameCounter, frames + 1);
  ExpectWindowShows(previous, g_state.Screen.DisplayPalette, 0, 0, 640, 480);
  // Over the frame the system's cursors stay, for sizing; over the picture there is none.
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(HeadlessDeliver(g_state.Screen.Window, WM_SETCURSOR, 0, MAKELPARAM(HTCLIENT, 0)), 1);
  EXPECT_EQ(HeadlessCurrentCursor(), nullptr);
  HeadlessSetApplicationActive(true);

  // Alt+Enter (a repeat does nothing more) switches at the next frame: full screen in the effect's own mode.
  EXPECT_EQ(HeadlessDeliver(g_state.Screen.Window, WM_SYSKEYDOWN, VK_RETURN, 0x201C0001), 0);
  EXPECT_EQ(HeadlessDeliver(g_state.Screen.Window, WM_SYSKEYDOWN, VK_RETURN, 0x601C0001), 0);
  EXPECT_TRUE(HeadlessPostedMessages().empty());
  ASSERT_EQ(Render(module_), 0);
  EXPECT_EQ(g_state.Screen.DisplayKind, kDisplayExclusive);
  EXPECT_EQ(HeadlessDisplayMode().width, 320);
  w = HeadlessWindowDetails(g_state.Screen.Window);
  EXPECT_EQ(w.style, static_cast<DWORD>(WS_POPUP));
  EXPECT_EQ(w.exStyle, static_cast<DWORD>(WS_EX_TOPMOST));
  ASSERT_EQ(Render(module_), 0);
  // And back to the window, giving the desktop its mode back.
  HeadlessDeliver(g_state.Screen.Window, WM_SYSKEYDOWN, VK_RETURN, 0x201C0001);
  ASSERT_EQ(Render(module_), 0);
  EXPECT_EQ(g_state.Screen.DisplayKind, kDisplayWindowed);
  EXPECT_EQ(HeadlessDisplayMode().width, 1024);
  EXPECT_EQ(HeadlessLiveDirectDrawObjects().directDraws, 0);
  EXPECT_EQ(HeadlessCallsOnReleasedObjects(), 0);
  // Alt with another key is the system's, Enter alone the host's.
  HeadlessClearPostedMessages();
  HeadlessDeliver(g_state.Screen.Window, WM_SYSKEYDOWN, 'X', 0x202D0001);
  HeadlessDeliver(g_state.Screen.Window, WM_KEYDOWN, VK_RETURN, 0x001C0001);
  EXPECT_EQ(g_state.Screen.SwitchRequested, 0);
  ASSERT_EQ(HeadlessPostedMessages().size(), 1u);
  EXPECT_EQ(HeadlessPostedMessages()[0].window, HeadlessHostWindow());
}

// Picture=1: the window shows the tunnel drawn at its client area's size from the frame just drawn, through the
// palette just stepped; a picture that cannot be put on the screen, and the first frame at a new size, show the
// enlarged frame instead.
TEST_F(DisplayFallbackTest, SmoothPictureInAWindowAndItsFallBacks) {
  WriteFileText(folder_.root / "plugin.ini", "[Ombrelo Tunnel]\r\nDisplayMode=2\r\nPicture=1\r\n");
  InitOrFail();
  const auto expectSmooth = [](int width, int height) {
    HdTunnel hd;
    ASSERT_TRUE(hd.Prepare(width, height, CentredHdView(width, height, 1.2, false), HdSampling::Sharp));
    std::uint32_t colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = Shown(g_state.Screen.DisplayPalette, i);
    std::vector<std::uint32_t> expected(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    g_state.Effect.DrawHd(hd, colours, reinterpret_cast<std::uint8_t*>(expected.data()), width * 4, 4);
    for (std::uint32_t& pixel : expected) pixel &= 0x00FFFFFF;
    int w = 0, h = 0;
    EXPECT_EQ(HeadlessWindowPixels(g_state.Screen.Window, &w, &h), expected);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
  };
  ASSERT_EQ(Render(module_), 0);
  expectSmooth(640, 480);

  std::vector<std::uint8_t> previous(g_state.Screen.WindowFrame, g_state.Screen.WindowFrame + 64000);
  HeadlessFailNextStretchDIBits();
  ASSERT_EQ(Render(module_), 0);
  ExpectWindowShows(previous, g_state.Screen.DisplayPalette, 0, 0, 640, 480);

  // A repaint shows the smooth picture drawn last; not after a frame that showed the enlarged one.
  ASSERT_EQ(Render(module_), 0);
  expectSmooth(640, 480);
  RECT outer{0, 0, 400, 300};
  AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
  ASSERT_TRUE(SetWindowPos(g_state.Screen.Window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                           SWP_NOMOVE | SWP_NOZORDER));
  previous.assign(g_state.Screen.WindowFrame, g_state.Screen.WindowFrame + 64000);
  ASSERT_EQ(Render(module_), 0);
  ExpectWindowShows(previous, g_state.Screen.DisplayPalette, 0, 0, 400, 300);
  ASSERT_EQ(Render(module_), 0);
  expectSmooth(400, 300);
  EXPECT_EQ(HeadlessLiveWindowDCs(), 0);
}

// Where no full screen comes up, Alt+Enter leaves the window as it was.
TEST_F(DisplayFallbackTest, AltEnterKeepsTheWindowWhereNoFullScreenComesUp) {
  WriteDisplayMode(folder_.root, 2);
  InitOrFail();
  HeadlessSetDisplayModesRefused(true);
  HeadlessDeliver(g_state.Screen.Window, WM_SYSKEYDOWN, VK_RETURN, 0x201C0001);
  ASSERT_EQ(Render(module_), 0);
  // DisplayMode 2 goes through the fall-backs to the borderless window: full screen at the desktop's mode.
  EXPECT_EQ(g_state.Screen.DisplayKind, kDisplayBorderless);
  HeadlessDeliver(g_state.Screen.Window, WM_SYSKEYDOWN, VK_RETURN, 0x201C0001);
  ASSERT_EQ(Render(module_), 0);
  EXPECT_EQ(g_state.Screen.DisplayKind, kDisplayWindowed);
  HeadlessWindowInfo w = HeadlessWindowDetails(g_state.Screen.Window);
  EXPECT_EQ(w.style, static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
}

}  // namespace
