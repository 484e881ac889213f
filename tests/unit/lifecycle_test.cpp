// Init's order with every failure message, the teardown before the box, Quit and Config.
#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <functional>

#include "plugin/render.h"
#include "plugin/plugin_state.h"
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

// Everything was given back before the box that tells of it: the box appears on the desktop in its own mode.
void ExpectTornDownBeforeTheBox(Plugin& plugin) {
  const std::vector<std::string>& calls = MemoryCalls();
  const auto box = std::find(calls.begin(), calls.end(), "MessageBox");
  ASSERT_NE(box, calls.end());
  for (const char* teardown : {"DestroyWindow", "UnregisterClass"})
    EXPECT_NE(std::find(calls.begin(), box, teardown), box) << teardown << " before the box";
  EXPECT_EQ(std::find(box, calls.end(), "ReleaseDevice"), calls.end());
  EXPECT_TRUE(MemoryMessageBoxes().back().afterTeardown);
  const MemoryLive live = MemoryLiveObjects();
  EXPECT_EQ(live.devices + live.surfaces + live.palettes + live.canvases, 0);
  EXPECT_EQ(MemoryDisplayMode().width, 1024);
  EXPECT_FALSE(MemoryWindowState().exists);
  EXPECT_FALSE(MemoryWindowState().classRegistered);
  EXPECT_FALSE(plugin.Effect.Built());
  EXPECT_EQ(plugin.Effect.PaletteCount(), 0);
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
  const auto inject = [](MemoryCall call, VidResult result = kMemoryGeneric) {
    return [=](const fs::path&) { MemoryFail(call, result); };
  };
  const FailureCase cases[] = {
      {"window", inject(MemoryCall::CreateWindow), "Error creating window", "..."},
      {"object", inject(MemoryCall::CreateDevice), "Error creating DDraw object", "DirectDraw error"},
      {"cooperation", inject(MemoryCall::SetExclusive), "Error setting DDraw cooperative level", "DirectDraw error"},
      {"mode", inject(MemoryCall::SetMode), "Error setting DDraw display mode", "DirectDraw error"},
      {"no palettes", [](const fs::path& root) { fs::remove_all(root / "TavelDat"); },
       "Error loading palette (Error #1)", "PLUG-IN error"},
      {"palette object", inject(MemoryCall::CreatePalette), "Error associating a palette to the DDraw object",
       "DirectDraw error"},
      {"primary", inject(MemoryCall::CreatePrimary), "Error creating DDraw primary surface", "DirectDraw error"},
      {"offscreen", inject(MemoryCall::CreateOffscreen), "Error creating DDraw offscreen surface (Full error!)",
       "DirectDraw error"},
      {"offscreen lost", inject(MemoryCall::CreateOffscreen, kVidSurfaceLost),
       "Error creating DDraw offscreen surface (Full error!)", "DirectDraw error"},
      {"system memory",
       [](const fs::path&) {
         MemoryFail(MemoryCall::CreateOffscreen, kVidOutOfVideoMemory);
         MemoryFail(MemoryCall::CreateOffscreen, static_cast<VidResult>(0x8007000Eu));
       },
       "Error creating DDraw offscreen surface (No possible allocation)", "DirectDraw error"},
      {"geometry", inject(MemoryCall::Describe), "Error getting DDraw offscreen surface description",
       "DirectDraw error"},
      {"attach palette", inject(MemoryCall::AttachPalette), "Error asociating a palette to the DDraw primary surface",
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
    MemoryClearRecords();
    EXPECT_EQ(Init(state(), module_), 1);
    ASSERT_FALSE(MemoryMessageBoxes().empty());
    const MemoryMessageBox& box = MemoryMessageBoxes().back();
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(box.caption, c.caption);
    EXPECT_TRUE(box.errorIcon);
    // Only the table builder may have spoken first.
    if (std::string(c.name) != "tables") {
      EXPECT_EQ(MemoryMessageBoxes().size(), 1u);
    }
    ExpectTornDownBeforeTheBox(state());
  }
}

TEST_F(LifecycleTest, FailedTableAllocationIsToldFirstWithoutIconWhileTheDisplayIsUp) {
  TableAllocator = [](std::size_t) -> void* { return nullptr; };
  MemoryClearRecords();
  EXPECT_EQ(Init(state(), module_), 1);
  TableAllocator = DefaultTableAllocator;
  ASSERT_EQ(MemoryMessageBoxes().size(), 2u);
  const MemoryMessageBox& memory = MemoryMessageBoxes()[0];
  EXPECT_EQ(memory.text, "Error allocating memory for tunnel table");
  EXPECT_EQ(memory.caption, "...");
  EXPECT_FALSE(memory.errorIcon);
  EXPECT_EQ(MemoryMessageBoxes()[1].text, "Error generating tables");
  const std::vector<std::string>& calls = MemoryCalls();
  const auto firstBox = std::find(calls.begin(), calls.end(), "MessageBox");
  const auto destroyed = std::find(calls.begin(), calls.end(), "DestroyWindow");
  EXPECT_LT(firstBox, destroyed);
  EXPECT_LT(destroyed, std::find(firstBox + 1, calls.end(), "MessageBox"));
}

TEST_F(LifecycleTest, PaletteLoaderCodeIsPrintedSigned) {
  // The first palette in name order cannot be named in the plug-in's 256-byte palette path: its code is -(0 + 2).
  const fs::path data = folder_.root / "TavelDat";
  const std::size_t fill = 256 - (data.string().size() + 1) - 4;
  WriteFileBytes(data / ("0" + std::string(fill - 1, 'x') + ".pal"), std::vector<unsigned char>(768));
  EXPECT_EQ(Init(state(), module_), 1);
  ASSERT_EQ(MemoryMessageBoxes().size(), 1u);
  EXPECT_EQ(MemoryMessageBoxes()[0].text, "Error loading palette (Error #-2)");
  ExpectTornDownBeforeTheBox(state());
}

TEST_F(LifecycleTest, ClassRegistrationFailureTearsNothingDown) {
  MemoryFail(MemoryCall::RegisterClass);
  MemoryClearRecords();
  EXPECT_EQ(Init(state(), module_), 1);
  ASSERT_EQ(MemoryMessageBoxes().size(), 1u);
  EXPECT_EQ(MemoryMessageBoxes()[0].text, "Error registering window class");
  EXPECT_EQ(MemoryMessageBoxes()[0].caption, "...");
  EXPECT_TRUE(MemoryMessageBoxes()[0].errorIcon);
  EXPECT_FALSE(MemoryMessageBoxes()[0].afterTeardown);
  EXPECT_EQ(MemoryCalls(), (std::vector<std::string>{"RegisterClass", "MessageBox"}));
}

TEST_F(LifecycleTest, SecondInitWhileTheClassIsRegisteredLeavesTheFirstRunAlone) {
  InitOrFail();
  VidWindow* window = screen().Window;
  EXPECT_EQ(Init(state(), module_), 1);
  ASSERT_EQ(MemoryMessageBoxes().size(), 1u);
  EXPECT_EQ(MemoryMessageBoxes()[0].text, "Error registering window class");
  EXPECT_EQ(MemoryMessageBoxes()[0].caption, "...");
  EXPECT_EQ(MemoryCalls(), (std::vector<std::string>{"RegisterClass", "MessageBox"}));
  EXPECT_TRUE(MemoryWindowState().exists);
  EXPECT_EQ(screen().Window, window);
  EXPECT_TRUE(state().Effect.Built());
  EXPECT_EQ(MemoryLiveObjects().surfaces, 2);
}

TEST_F(LifecycleTest, CompleteInitBuildsEverything) {
  InitOrFail();
  const TableSet& t = state().Effect.Tables();
  EXPECT_TRUE(state().Effect.Built());
  EXPECT_GT(state().Effect.PaletteCount(), 0);
  EXPECT_EQ(state().Effect.PaletteCount(), 2);
  for (const void* block : {static_cast<const void*>(t.WaveBuffer[0]), static_cast<const void*>(t.WaveBuffer[1]),
                            static_cast<const void*>(t.HeightMap), static_cast<const void*>(t.PerspectiveTable),
                            static_cast<const void*>(t.ConversionTable), static_cast<const void*>(t.TextureMap),
                            static_cast<const void*>(t.FadeTable), static_cast<const void*>(t.LandscapeImage),
                            static_cast<const void*>(t.TunnelTable)})
    EXPECT_NE(block, nullptr);
  EXPECT_EQ(std::strlen(state().PluginPath), folder_.root.string().size() + 1);
}

TEST_F(LifecycleTest, QuitFreesTheTenBlocksAndALaterInitBuildsThemAgain) {
  InitOrFail();
  Quit(state(), module_);
  const TableSet& t = state().Effect.Tables();
  EXPECT_FALSE(state().Effect.Built());
  EXPECT_EQ(state().Effect.PaletteCount(), 0);
  for (const void* block : {static_cast<const void*>(t.WaveBuffer[0]), static_cast<const void*>(t.WaveBuffer[1]),
                            static_cast<const void*>(t.HeightMap), static_cast<const void*>(t.PerspectiveTable),
                            static_cast<const void*>(t.ConversionTable), static_cast<const void*>(t.TextureMap),
                            static_cast<const void*>(t.FadeTable), static_cast<const void*>(t.LandscapeImage),
                            static_cast<const void*>(t.TunnelTable)})
    EXPECT_EQ(block, nullptr);
  InitOrFail();
  EXPECT_TRUE(state().Effect.Built());
  EXPECT_GT(state().Effect.PaletteCount(), 0);
  EXPECT_NE(state().Effect.Tables().HeightMap, nullptr);
  EXPECT_NE(state().Effect.Tables().TunnelTable, nullptr);
}

TEST_F(LifecycleTest, QuitWithoutInitIsHarmless) {
  Quit(state(), module_);
  Quit(state(), module_);
  EXPECT_EQ(MemoryCallsOnReleasedObjects(), 0);
  EXPECT_TRUE(MemoryMessageBoxes().empty());
  EXPECT_EQ(MemoryLiveObjects().devices, 0);
}

TEST_F(LifecycleTest, InitKeepsWhatOutlivesQuit) {
  InitOrFail();
  Quit(state(), module_);
  state().Effect.SetCounters({1, 1234, 4321, 0.75f});
  screen().SystemMemorySurface = 1;
  screen().DisplayPalette[3] = {9, 8, 7, 0};
  InitOrFail();
  EXPECT_EQ(state().Effect.Counters().FrameCounter, 1234u);
  EXPECT_EQ(state().Effect.Counters().TextureScroll, 4321u);
  EXPECT_EQ(state().Effect.Counters().WaveParity, 1);
  EXPECT_EQ(state().Effect.Counters().PalettePhase, 0.75f);
  EXPECT_EQ(screen().SystemMemorySurface, 1);
  EXPECT_EQ(screen().DisplayPalette[3].red, 9);
  EXPECT_EQ(screen().WindowActive, 1);
}

TEST_F(LifecycleTest, RenderAfterAFailedInitOrAfterQuitStopsWithoutTouchingAnything) {
  AskForTheEffectModeOnly(folder_.root);
  MemoryFail(MemoryCall::AttachPalette);
  EXPECT_EQ(Init(state(), module_), 1);
  MemoryClearRecords();
  EXPECT_EQ(Render(state(), module_), 1);
  EXPECT_TRUE(MemoryCalls().empty());
  InitOrFail();
  Quit(state(), module_);
  MemoryClearRecords();
  EXPECT_EQ(Render(state(), module_), 1);
  EXPECT_EQ(Render(state(), module_), 1);
  EXPECT_TRUE(MemoryCalls().empty());
  EXPECT_EQ(MemoryCallsOnReleasedObjects(), 0);
}

TEST_F(LifecycleTest, ConfigLocatesTheFolderAndNeedsNoDisplay) {
  state().PluginPath[0] = '\0';
  Config(state(), module_);
  EXPECT_EQ(std::string(state().PluginPath), WindowsPath(folder_.root) + "\\");
  EXPECT_TRUE(MemoryCalls().empty());
}

}  // namespace
