// The full-screen window's procedure: keys, Escape, cursor, activation, background.
#include <gtest/gtest.h>

#include "plugin/display.h"
#include "plugin/effect_state.h"
#include "support/headless_reset.h"

namespace {

class WindowProcTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetHeadlessPlatform();
    ResetEffectState();
    module_ = winampVisGetHeader()->getModule(0);
    module_->parent = HeadlessHostWindow();
    module_->instance = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x10000000));
    ASSERT_EQ(RegisterDisplayClass(module_), 0);
    ASSERT_EQ(CreateDisplayWindow(module_), 0);
    window_ = g_state.Screen.Window;
    HeadlessClearPostedMessages();
  }
  void TearDown() override {
    ReleaseDisplay(module_);
    module_->parent = nullptr;
    module_->instance = nullptr;
    ResetHeadlessPlatform();
    ResetEffectState();
  }
  VisModule* module_ = nullptr;
  HWND window_ = nullptr;
};

TEST_F(WindowProcTest, EscapePostsCloseToItselfOnKeyDownAndKeyUp) {
  for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
    SCOPED_TRACE(message);
    HeadlessClearPostedMessages();
    EXPECT_EQ(HeadlessDeliver(window_, message, VK_ESCAPE, 0x00010001), 0);
    ASSERT_EQ(HeadlessPostedMessages().size(), 1u);
    const HeadlessMessage& m = HeadlessPostedMessages()[0];
    EXPECT_EQ(m.window, window_);
    EXPECT_EQ(m.message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_EQ(m.lParam, 0);
  }
}

TEST_F(WindowProcTest, EscapeClosesTheWindowAndQuitsWithCodeZero) {
  HeadlessDeliver(window_, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(HeadlessPumpMessages());
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_EQ(HeadlessWindowDetails(window_).destroyMessages, 1);
  const auto& posted = HeadlessPostedMessages();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[1].window, nullptr);
  EXPECT_EQ(posted[1].message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(posted[1].wParam, 0u);
  // The key-up that follows finds the window gone; nothing more happens.
  EXPECT_EQ(HeadlessDeliver(window_, WM_KEYUP, VK_ESCAPE, 0), 0);
  EXPECT_EQ(HeadlessPostedMessages().size(), 2u);
}

TEST_F(WindowProcTest, OtherKeysReachTheHostUnchanged) {
  struct Case {
    UINT message;
    WPARAM key;
    LPARAM lParam;
  };
  const Case cases[] = {
      {WM_KEYDOWN, VK_RETURN, 0x001C0001}, {WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001u)},
      {WM_KEYDOWN, VK_SPACE, 0x00390001},  {WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u)},
      {WM_KEYDOWN, 'Z', 0x002C0001},       {WM_KEYDOWN, 0x70 /* F1 */, 0x003B0001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "message " << c.message << " key " << c.key);
    HeadlessClearPostedMessages();
    EXPECT_EQ(HeadlessDeliver(window_, c.message, c.key, c.lParam), 0);
    ASSERT_EQ(HeadlessPostedMessages().size(), 1u);
    const HeadlessMessage& m = HeadlessPostedMessages()[0];
    EXPECT_EQ(m.window, HeadlessHostWindow());
    EXPECT_EQ(m.message, c.message);
    EXPECT_EQ(m.wParam, c.key);
    EXPECT_EQ(m.lParam, c.lParam);
    EXPECT_TRUE(IsWindow(window_));
  }
}

TEST_F(WindowProcTest, CursorIsHiddenOverTheWindow) {
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(HeadlessDeliver(window_, WM_SETCURSOR, reinterpret_cast<WPARAM>(window_), 1), 1);
  EXPECT_EQ(HeadlessCurrentCursor(), nullptr);
}

TEST_F(WindowProcTest, ActivationFollowsTheLastActivateAppMessage) {
  EXPECT_EQ(g_state.Screen.WindowActive, 1);  // showing the window activated it
  HeadlessSetApplicationActive(false);
  EXPECT_EQ(g_state.Screen.WindowActive, 0);
  EXPECT_TRUE(IsWindow(window_));
  HeadlessSetApplicationActive(true);
  EXPECT_EQ(g_state.Screen.WindowActive, 1);
}

// WM_ACTIVATEAPP keeps its wParam; WM_ACTIVATE counts any state but WA_INACTIVE (its high word, minimised,
// aside) as active. Each row is delivered after the one before, starting from an active window.
TEST_F(WindowProcTest, ActivationFollowsBothActivationMessages) {
  struct Step {
    UINT message;
    WPARAM wParam;
    std::int32_t active;
  };
  const Step steps[] = {
      {WM_ACTIVATE, WA_INACTIVE, 0},    {WM_ACTIVATE, WA_ACTIVE, 1}, {WM_ACTIVATE, MAKELPARAM(WA_INACTIVE, 1), 0},
      {WM_ACTIVATE, WA_CLICKACTIVE, 1}, {WM_ACTIVATEAPP, 0, 0},      {WM_ACTIVATE, MAKELPARAM(WA_ACTIVE, 1), 1},
      {WM_ACTIVATEAPP, 1, 1},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << "message " << step.message << " wParam " << step.wParam);
    HeadlessDeliver(window_, step.message, step.wParam, 0);
    EXPECT_EQ(g_state.Screen.WindowActive, step.active);
  }
  EXPECT_TRUE(HeadlessPostedMessages().empty());
}

TEST_F(WindowProcTest, CreateDestroyAndEraseAnswerZero) {
  EXPECT_EQ(HeadlessDeliver(window_, WM_ERASEBKGND, 0, 0), 0);
  EXPECT_EQ(HeadlessDeliver(window_, WM_CREATE, 0, 0), 0);
  EXPECT_TRUE(HeadlessPostedMessages().empty());
}

TEST(WindowActivation, WindowShownWhileAnotherApplicationIsActiveStaysInactive) {
  ResetHeadlessPlatform();
  ResetEffectState();
  HeadlessSetApplicationActive(false);
  VisModule* module = winampVisGetHeader()->getModule(0);
  ASSERT_EQ(RegisterDisplayClass(module), 0);
  ASSERT_EQ(CreateDisplayWindow(module), 0);
  EXPECT_EQ(g_state.Screen.WindowActive, 0);
  ReleaseDisplay(module);
  ResetHeadlessPlatform();
  ResetEffectState();
}

// A host whose own window shares the thread: activation stays within the thread, so only WM_ACTIVATE arrives.
TEST(WindowActivation, WindowOfAHostOnTheSameThreadIsActiveFromTheStart) {
  ResetHeadlessPlatform();
  ResetEffectState();
  HeadlessSetActivationWithinThread(true);
  VisModule* module = winampVisGetHeader()->getModule(0);
  ASSERT_EQ(RegisterDisplayClass(module), 0);
  HeadlessClearEvents();
  ASSERT_EQ(CreateDisplayWindow(module), 0);
  EXPECT_EQ(g_state.Screen.WindowActive, 1);
  ReleaseDisplay(module);
  ResetHeadlessPlatform();
  ResetEffectState();
}

}  // namespace
