// --dump against frames computed here through the module record, its repeatability, and the fade command.
#include <gtest/gtest.h>

#include <cstring>

#include "cli_test_support.h"
#include "numeric/exact_math.h"
#include "device/memory_display.h"
#include "plugin/lifecycle.h"
#include "plugin/plugin_state.h"
#include "plugin/render.h"
#include "data/plugin_data.h"

namespace {

constexpr std::size_t kFrameRecord = 64000 + 768;

// Drives the plug-in as a host does, independently of the CLI's own host code, on a fresh state over the in-memory
// display: the module from the header, Init, the waveform bytes at their place in the record, Render, and the
// off-screen surface read afterwards.
std::vector<std::uint8_t> RenderDirectly(const fs::path& pluginFolder, const std::vector<std::uint8_t>& blocks) {
  auto plugin = std::make_unique<Plugin>();
  MemoryReset(plugin.get());
  std::string name = (pluginFolder / "vis_tavelmir.dll").string();
  for (char& c : name)
    if (c == '/') c = '\\';
  MemorySetModuleFileName(name);
  VisHeader* header = winampVisGetHeader();
  VisModule* module = header->getModule(0);
  std::vector<std::uint8_t> frames;
  if (Init(*plugin, module) != 0) return frames;
  auto* record = reinterpret_cast<unsigned char*>(module);
  const std::size_t waveformOffset = offsetof(VisModule, waveformData);
  for (std::size_t at = 0; at + 1152 <= blocks.size(); at += 1152) {
    std::memcpy(record + waveformOffset, blocks.data() + at, 1152);
    if (Render(*plugin, module) != 0) break;
    const std::vector<std::uint8_t> picture = MemoryOffscreenBytes();
    frames.insert(frames.end(), picture.begin(), picture.end());
    for (const VidColour& e : plugin->Screen.DisplayPalette) frames.insert(frames.end(), {e.red, e.green, e.blue});
  }
  Quit(*plugin, module);
  MemoryReset(nullptr);
  return frames;
}

class DumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin = folder.path / "plugin";
    CopyDefaultPluginFolder(plugin);
    blocks = MakeWaveformBlocks(40);
    WriteBytes(folder.path / "blocks.raw", blocks);
  }
  TempFolder folder;
  fs::path plugin;
  std::vector<std::uint8_t> blocks;
};

TEST_F(DumpTest, MatchesTheFramesTheModuleDrawsByteForByte) {
  // Palettes that move, so that the palette half of each record is checked too.
  WriteFileText(plugin / "plugin.ini", "[Ombrelo Tunnel]\nPaletteAnimationSpeed=255\n");
  const std::vector<std::uint8_t> expected = RenderDirectly(plugin, blocks);
  ASSERT_EQ(expected.size(), 40 * kFrameRecord);
  CliRun run = RunCli({"render", "--waveform", (folder.path / "blocks.raw").string(), "--dump",
                       (folder.path / "out.dump").string(), "--plugin-dir", plugin.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::uint8_t> dumped = ReadBytes(folder.path / "out.dump");
  ASSERT_EQ(dumped.size(), expected.size());
  for (std::size_t frame = 0; frame < 40; ++frame) {
    SCOPED_TRACE(frame);
    ASSERT_EQ(std::memcmp(dumped.data() + frame * kFrameRecord, expected.data() + frame * kFrameRecord, kFrameRecord),
              0);
  }
  // The pictures are not trivial, and the palette did move.
  EXPECT_NE(std::memcmp(dumped.data() + 39 * kFrameRecord, dumped.data() + 38 * kFrameRecord, 64000), 0);
  EXPECT_NE(std::memcmp(dumped.data() + 39 * kFrameRecord + 64000, dumped.data() + 64000, 768), 0);
}

TEST_F(DumpTest, FramesStopAfterTheRequestedCount) {
  CliRun run = RunCli({"render", "--waveform", (folder.path / "blocks.raw").string(), "--dump",
                       (folder.path / "out.dump").string(), "--plugin-dir", plugin.string(), "--frames", "7"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(fs::file_size(folder.path / "out.dump"), 7 * kFrameRecord);
  // The report says what was written: the engine's frames, not a video's size.
  EXPECT_NE(run.out.find("7 frames (0.14 s of picture, 320x200)"), std::string::npos) << run.out;
}

TEST_F(DumpTest, TheSameInputGivesTheSameDumpInOneProcessAndInTwo) {
  const std::string args = "render --waveform '" + (folder.path / "blocks.raw").string() + "' --plugin-dir '" +
                           plugin.string() + "' --dump ";
  ASSERT_EQ(RunCliProcess(args + "'" + (folder.path / "a.dump").string() + "'"), 0);
  ASSERT_EQ(RunCliProcess(args + "'" + (folder.path / "b.dump").string() + "'"), 0);
  for (const char* name : {"c.dump", "d.dump"}) {
    CliRun run = RunCli({"render", "--waveform", (folder.path / "blocks.raw").string(), "--dump",
                         (folder.path / name).string(), "--plugin-dir", plugin.string()});
    ASSERT_EQ(run.status, 0) << run.err;
  }
  const std::vector<std::uint8_t> a = ReadBytes(folder.path / "a.dump");
  ASSERT_EQ(a.size(), 40 * kFrameRecord);
  EXPECT_TRUE(a == ReadBytes(folder.path / "b.dump"));
  EXPECT_TRUE(a == ReadBytes(folder.path / "c.dump"));
  EXPECT_TRUE(a == ReadBytes(folder.path / "d.dump"));
}

// The fade table by its definition: every shade of every colour, nearest reference colour by a full search.
std::vector<std::uint8_t> FadeTableByDefinition(const VidColour reference[256], const EffectParams& p) {
  std::vector<std::uint8_t> table(65536);
  for (int c = 0; c < 256; ++c)
    for (int s = 0; s < 256; ++s) {
      const double f =
          ExactPow(s * static_cast<double>(static_cast<float>(1.0 / 255)), p.FadeExponent) * p.FadeGain + p.FadeBias;
      const int r = static_cast<std::int32_t>(f * reference[c].red) & 255;
      const int g = static_cast<std::int32_t>(f * reference[c].green) & 255;
      const int b = static_cast<std::int32_t>(f * reference[c].blue) & 255;
      double best = 1e20;
      int bestIndex = 0;
      for (int j = 0; j < 256; ++j) {
        const double d = (reference[j].red - r) * (reference[j].red - r) +
                         (reference[j].green - g) * (reference[j].green - g) +
                         (reference[j].blue - b) * (reference[j].blue - b);
        if (d < best) {
          best = d;
          bestIndex = j;
        }
      }
      table[static_cast<std::size_t>(c) * 256 + s] = static_cast<std::uint8_t>(bestIndex);
    }
  return table;
}

TEST_F(DumpTest, FadeWritesTheTableOfTheReferencePaletteAndSettings) {
  WriteFileText(plugin / "plugin.ini", "[Ombrelo Tunnel]\nFadeOffset=20\nFadeAmplitude=150\nFadePower=150\n");
  fs::remove(plugin / "TavelDat" / "fade.dat");
  CliRun run = RunCli({"fade", "--plugin-dir", plugin.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find((plugin / "TavelDat" / "fade.dat").string()), std::string::npos) << run.out;

  // The same settings and reference palette, read as the plug-in reads them.
  EffectSettings settings;
  ReadSettings(SettingsFile(plugin), settings);
  VidColour reference[256];
  ASSERT_EQ(ReadReferencePalette(ReferencePaletteFile(plugin), reinterpret_cast<std::uint8_t(&)[1024]>(reference)), 0);
  const std::vector<std::uint8_t> expected = FadeTableByDefinition(reference, DeriveEffectParams(settings));
  const std::vector<std::uint8_t> written = ReadBytes(plugin / "TavelDat" / "fade.dat");
  ASSERT_EQ(written.size(), 65536u);
  for (int c = 0; c < 256; ++c) {
    SCOPED_TRACE(c);
    ASSERT_EQ(std::memcmp(written.data() + c * 256, expected.data() + c * 256, 256), 0);
  }
}

}  // namespace
