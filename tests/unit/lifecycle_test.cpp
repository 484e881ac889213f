// Init's order with every failure message, the teardown before the box, Quit and Config.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "plugin/render.h"
#include "plugin/effect_state.h"
#include "plugin/lifecycle.h"
#include "support/plugin_session.h"

namespace fs = std::filesystem;

namespace {

using LifecycleTest = PluginSession;

std::string WindowsPath(const fs::path& path) {
  std::string s = path.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

// The event `call` (the last one of that name), or null.
const HeadlessEvent* LastEvent(const std::string& call) {
  const HeadlessEvent* found = nullptr;
  for (const HeadlessEvent& e : HeadlessEvents())
    if (e.call == call) found = &e;
  return found;
}

void ExpectTornDownBeforeTheBox() {
  const HeadlessEvent* destroyed = LastEvent("DestroyWindow");
  const HeadlessEvent* unregistered = LastEvent("UnregisterClassA");
  ASSERT_NE(destroyed, nullptr);
  ASSERT_NE(unregistered, nullptr);
  EXPECT_EQ(unregistered->result, TRUE);
  EXPECT_EQ(destroyed->messageBoxesBefore, 0u);
  EXPECT_EQ(unregistered->messageBoxesBefore, 0u);
  if (const HeadlessEvent* released = LastEvent("IDirectDraw::Release")) {
    EXPECT_EQ(released->messageBoxesBefore, 0u);
  }
  HeadlessDirectDrawCounts live = HeadlessLiveDirectDrawObjects();
  EXPECT_EQ(live.directDraws + live.surfaces + live.palettes, 0);
  EXPECT_EQ(HeadlessDisplayMode().width, 1024);
  EXPECT_EQ(HeadlessLiveWindows(), 0);
  EXPECT_FALSE(HeadlessFindClass("MainWndClass", nullptr));
  EXPECT_FALSE(g_state.Effect.Built());
  EXPECT_EQ(g_state.Effect.PaletteCount(), 0);
}

// "DisplayMode=1": the effect's own display or nothing, with the failure messages the plug-in always gave.
void AskForTheEffectModeOnly(const fs::path& root) {
  WriteFileText(root / "plugin.ini", "[Ombrelo Tunnel]\r\nDisplayMode=1\r\n");
}

struct FailureCase {
  const char* name;
  std::function<void(const fs::path& root)> arrange;
  const char* text;
  const char* caption;
};

TEST_F(LifecycleTest, EveryFailingStepTearsDownThenTellsTheUser) {
  const auto inject = [](HeadlessDdCall call, HRESULT result = DDERR_GENERIC) {
    return [=](const fs::path&) { HeadlessInjectDirectDrawResult(call, result); };
  };
  const FailureCase cases[] = {
      {"window", [](const fs::path&) { HeadlessFailNextCreateWindow(); }, "Error creating window", "..."},
      {"object", inject(HeadlessDdCall::Create), "Error creating DDraw object", "DirectDraw error"},
      {"cooperation", inject(HeadlessDdCall::SetCooperativeLevel), "Error setting DDraw cooperative level",
       "DirectDraw error"},
      {"mode", inject(HeadlessDdCall::SetDisplayMode), "Error setting DDraw display mode", "DirectDraw error"},
      {"no palettes", [](const fs::path& root) { fs::remove_all(root / "TavelDat"); },
       "Error loading palette (Error #1)", "PLUG-IN error"},
      {"palette object", inject(HeadlessDdCall::CreatePalette), "Error associating a palette to the DDraw object",
       "DirectDraw error"},
      {"primary", inject(HeadlessDdCall::CreatePrimarySurface), "Error creating DDraw primary surface",
       "DirectDraw error"},
      {"offscreen", inject(HeadlessDdCall::CreateOffscreenSurface),
       "Error creating DDraw offscreen surface (Full error!)", "DirectDraw error"},
      {"offscreen lost", inject(HeadlessDdCall::CreateOffscreenSurface, DDERR_SURFACELOST),
       "Error creating DDraw offscreen surface (Full error!)", "DirectDraw error"},
      {"system memory",
       [](const fs::path&) {
         HeadlessInjectDirectDrawResult(HeadlessDdCall::CreateOffscreenSurface, DDERR_OUTOFVIDEOMEMORY);
         HeadlessInjectDirectDrawResult(HeadlessDdCall::CreateOffscreenSurface, DDERR_OUTOFMEMORY);
       },
       "Error creating DDraw offscreen surface (No possible allocation)", "DirectDraw error"},
      {"geometry", inject(HeadlessDdCall::GetSurfaceDesc), "Error getting DDraw offscreen surface description",
       "DirectDraw error"},
      {"attach palette", inject(HeadlessDdCall::SetPalette), "Error asociating a palette to the DDraw primary surface",
       "DirectDraw error"},
      {"tables", [](const fs::path& root) { fs::remove(root / "TavelDat" / "fade.dat"); }, "Error generating tables",
       "PLUG-IN Error"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    AskForTheEffectModeOnly(folder_.root);
    c.arrange(folder_.root);
    HeadlessClearEvents();
    EXPECT_EQ(Init(module_), 1);
    ASSERT_FALSE(HeadlessMessageBoxes().empty());
    const RecordedMessageBox& box = HeadlessMessageBoxes().back();
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(box.caption, c.caption);
    EXPECT_EQ(box.style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(box.owner, HeadlessHostWindow());
    // Only the table builder may have spoken first.
    if (std::string(c.name) != "tables") {
      EXPECT_EQ(HeadlessMessageBoxes().size(), 1u);
    }
    ExpectTornDownBeforeTheBox();
    EXPECT_EQ(HeadlessLiveGdiObjects(), 0);
  }
}

TEST_F(LifecycleTest, FailedTableAllocationIsToldFirstWithoutIconWhileTheDisplayIsUp) {
  TableAllocator = [](std::size_t) -> void* { return nullptr; };
  HeadlessClearEvents();
  EXPECT_EQ(Init(module_), 1);
  TableAllocator = DefaultTableAllocator;
  ASSERT_EQ(HeadlessMessageBoxes().size(), 2u);
  const RecordedMessageBox& memory = HeadlessMessageBoxes()[0];
  EXPECT_EQ(memory.text, "Error allocating memory for tunnel table");
  EXPECT_EQ(memory.caption, "...");
  EXPECT_EQ(memory.style, 0u);
  EXPECT_EQ(memory.owner, HeadlessHostWindow());
  EXPECT_EQ(HeadlessMessageBoxes()[1].text, "Error generating tables");
  ASSERT_NE(LastEvent("DestroyWindow"), nullptr);
  EXPECT_EQ(LastEvent("DestroyWindow")->messageBoxesBefore, 1u);
}

TEST_F(LifecycleTest, PaletteLoaderCodeIsPrintedSigned) {
  // The first palette in name order cannot be named in the plug-in's 256-byte palette path: its code is -(0 + 2).
  const fs::path data = folder_.root / "TavelDat";
  const std::size_t fill = 256 - (data.string().size() + 1) - 4;
  WriteFileBytes(data / ("0" + std::string(fill - 1, 'x') + ".pal"), std::vector<unsigned char>(768));
  EXPECT_EQ(Init(module_), 1);
  ASSERT_EQ(HeadlessMessageBoxes().size(), 1u);
  EXPECT_EQ(HeadlessMessageBoxes()[0].text, "Error loading palette (Error #-2)");
  ExpectTornDownBeforeTheBox();
}

TEST_F(LifecycleTest, QuitMessageOfTheTeardownWaitsUntilTheBoxIsClosed) {
  AskForTheEffectModeOnly(folder_.root);
  HeadlessInjectDirectDrawResult(HeadlessDdCall::SetDisplayMode, DDERR_GENERIC);
  HeadlessClearEvents();
  EXPECT_EQ(Init(module_), 1);
  const HeadlessEvent* held = nullptr;
  for (const HeadlessEvent& e : HeadlessEvents())
    if (e.call == "PeekMessageA" && e.detail == WM_QUIT) held = &e;
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(held->messageBoxesBefore, 0u);
  const HeadlessEvent* reposted = LastEvent("PostQuitMessage");
  ASSERT_NE(reposted, nullptr);
  EXPECT_EQ(reposted->messageBoxesBefore, 1u);
  int code = -1;
  EXPECT_TRUE(HeadlessQuitPending(&code));
  EXPECT_EQ(code, 0);
}

TEST_F(LifecycleTest, ClassRegistrationFailureTearsNothingDown) {
  HeadlessFailNextRegisterClass();
  HeadlessClearEvents();
  EXPECT_EQ(Init(module_), 1);
  ASSERT_EQ(HeadlessMessageBoxes().size(), 1u);
  EXPECT_EQ(HeadlessMessageBoxes()[0].text, "Error registering window class");
  EXPECT_EQ(HeadlessMessageBoxes()[0].caption, "...");
  EXPECT_EQ(HeadlessMessageBoxes()[0].style, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(HeadlessMessageBoxes()[0].owner, HeadlessHostWindow());
  EXPECT_EQ(EventNames(), (std::vector<std::string>{"RegisterClassA"}));
}

TEST_F(LifecycleTest, SecondInitWhileTheClassIsRegisteredLeavesTheFirstRunAlone) {
  InitOrFail();
  HWND window = g_state.Screen.Window;
  EXPECT_EQ(Init(module_), 1);
  ASSERT_EQ(HeadlessMessageBoxes().size(), 1u);
  EXPECT_EQ(HeadlessMessageBoxes()[0].text, "Error registering window class");
  EXPECT_EQ(HeadlessMessageBoxes()[0].caption, "...");
  EXPECT_TRUE(EventNames("DestroyWindow").empty());
  EXPECT_TRUE(EventNames("UnregisterClassA").empty());
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(g_state.Screen.Window, window);
  EXPECT_TRUE(g_state.Effect.Built());
  EXPECT_EQ(HeadlessLiveDirectDrawObjects().surfaces, 2);
}

TEST_F(LifecycleTest, CompleteInitBuildsEverything) {
  InitOrFail();
  const TableSet& t = g_state.Effect.Tables();
  EXPECT_TRUE(g_state.Effect.Built());
  EXPECT_GT(g_state.Effect.PaletteCount(), 0);
  EXPECT_EQ(g_state.Effect.PaletteCount(), 2);
  for (const void* block : {static_cast<const void*>(t.WaveBuffer[0]), static_cast<const void*>(t.WaveBuffer[1]),
                            static_cast<const void*>(t.HeightMap), static_cast<const void*>(t.PerspectiveTable),
                            static_cast<const void*>(t.ConversionTable), static_cast<const void*>(t.TextureMap),
                            static_cast<const void*>(t.FadeTable), static_cast<const void*>(t.LandscapeImage),
                            static_cast<const void*>(t.TunnelTable)})
    EXPECT_NE(block, nullptr);
  EXPECT_EQ(std::strlen(g_state.PluginPath), folder_.root.string().size() + 1);
}

TEST_F(LifecycleTest, QuitFreesTheTenBlocksAndALaterInitBuildsThemAgain) {
  InitOrFail();
  Quit(module_);
  const TableSet& t = g_state.Effect.Tables();
  EXPECT_FALSE(g_state.Effect.Built());
  EXPECT_EQ(g_state.Effect.PaletteCount(), 0);
  for (const void* block : {static_cast<const void*>(t.WaveBuffer[0]), static_cast<const void*>(t.WaveBuffer[1]),
                            static_cast<const void*>(t.HeightMap), static_cast<const void*>(t.PerspectiveTable),
                            static_cast<const void*>(t.ConversionTable), static_cast<const void*>(t.TextureMap),
                            static_cast<const void*>(t.FadeTable), static_cast<const void*>(t.LandscapeImage),
                            static_cast<const void*>(t.TunnelTable)})
    EXPECT_EQ(block, nullptr);
  InitOrFail();
  EXPECT_TRUE(g_state.Effect.Built());
  EXPECT_GT(g_state.Effect.PaletteCount(), 0);
  EXPECT_NE(g_state.Effect.Tables().HeightMap, nullptr);
  EXPECT_NE(g_state.Effect.Tables().TunnelTable, nullptr);
}

TEST_F(LifecycleTest, QuitWithoutInitIsHarmless) {
  Quit(module_);
  Quit(module_);
  EXPECT_EQ(HeadlessCallsOnReleasedObjects(), 0);
  EXPECT_TRUE(HeadlessMessageBoxes().empty());
  EXPECT_TRUE(EventNames("IDirectDraw").empty());
}

TEST_F(LifecycleTest, InitKeepsWhatOutlivesQuit) {
  InitOrFail();
  Quit(module_);
  g_state.Effect.SetCounters({1, 1234, 4321, 0.75f});
  g_state.Screen.SystemMemorySurface = 1;
  g_state.Screen.DisplayPalette[3] = {9, 8, 7, 0};
  InitOrFail();
  EXPECT_EQ(g_state.Effect.Counters().FrameCounter, 1234u);
  EXPECT_EQ(g_state.Effect.Counters().TextureScroll, 4321u);
  EXPECT_EQ(g_state.Effect.Counters().WaveParity, 1);
  EXPECT_EQ(g_state.Effect.Counters().PalettePhase, 0.75f);
  EXPECT_EQ(g_state.Screen.SystemMemorySurface, 1);
  EXPECT_EQ(g_state.Screen.DisplayPalette[3].peRed, 9);
  EXPECT_EQ(g_state.Screen.WindowActive, 1);
}

TEST_F(LifecycleTest, RenderAfterAFailedInitOrAfterQuitStopsWithoutTouchingAnything) {
  AskForTheEffectModeOnly(folder_.root);
  HeadlessInjectDirectDrawResult(HeadlessDdCall::SetPalette, DDERR_GENERIC);
  EXPECT_EQ(Init(module_), 1);
  HeadlessClearEvents();
  EXPECT_EQ(Render(module_), 1);
  EXPECT_TRUE(HeadlessEvents().empty());
  HeadlessClearMessageBoxes();
  InitOrFail();
  Quit(module_);
  HeadlessClearEvents();
  EXPECT_EQ(Render(module_), 1);
  EXPECT_EQ(Render(module_), 1);
  EXPECT_TRUE(HeadlessEvents().empty());
  EXPECT_EQ(HeadlessCallsOnReleasedObjects(), 0);
  EXPECT_TRUE(HeadlessTexts().empty());
}

TEST_F(LifecycleTest, ConfigLocatesTheFolderAndNeedsNoDisplay) {
  g_state.PluginPath[0] = '\0';
  Config(module_);
  EXPECT_EQ(std::string(g_state.PluginPath), WindowsPath(folder_.root) + "\\");
  EXPECT_EQ(HeadlessLiveWindows(), 0);
  EXPECT_TRUE(EventNames("IDirectDraw").empty());
  EXPECT_TRUE(EventNames("DirectDrawCreate").empty());
}

}  // namespace
