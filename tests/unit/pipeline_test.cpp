// Whole frames of the fast pipeline against the literal transcription, over random state and many settings.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "effect/frame.h"
#include "plugin/effect_state.h"
#include "support/frame_oracle.h"
#include "support/state_frame.h"

namespace {

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEffectState();
    AllocateFrameTables(320, 200, 336);
  }
  void TearDown() override {
    ReleaseFrameTables();
    ResetEffectState();
  }
};

void RandomWaveform(VisModule& module, std::mt19937& random, int style) {
  for (int channel = 0; channel < 2; ++channel)
    for (int i = 0; i < 576; ++i) {
      int v;
      switch (style % 4) {
        case 0:
          v = static_cast<int>(random() % 256);
          break;  // noise
        case 1:
          v = (i / (8 + channel * 5)) % 2 ? 255 : 0;
          break;  // full-scale square
        case 2:
          v = 128 + static_cast<int>(random() % 9) - 4;
          break;  // near silence
        default:
          v = i < 150 ? 0 : static_cast<int>(200 + random() % 56);
          break;  // deep dip: wrapped body
      }
      module.waveformData[channel][i] = static_cast<unsigned char>(v ^ 0x80);
    }
}

void ExpectSameState(const OracleFrame& oracle) {
  const TableSet& t = g_state.Tables;
  ASSERT_EQ(g_state.Counters.WaveParity, oracle.waveParity);
  ASSERT_EQ(g_state.Counters.FrameCounter, oracle.frameCounter);
  ASSERT_EQ(g_state.Counters.TextureScroll, oracle.textureScroll);
  ASSERT_EQ(0, std::memcmp(g_state.Trace.LineProfile, oracle.lineProfile, sizeof oracle.lineProfile));
  ASSERT_EQ(0, std::memcmp(t.WaveBuffer[0], oracle.waveBuffer[0].data(), 131072)) << "wave buffer #0";
  ASSERT_EQ(0, std::memcmp(t.WaveBuffer[1], oracle.waveBuffer[1].data(), 131072)) << "wave buffer #1";
  ASSERT_EQ(0, std::memcmp(t.HeightMap, oracle.heightMap.data(), 65536)) << "height map";
  ASSERT_EQ(0, std::memcmp(t.LandscapeImage, oracle.landscapeImage.data(), 65536)) << "landscape";
  ASSERT_EQ(0, std::memcmp(g_state.Screen.FramePixels, oracle.pixels.data(), oracle.pixels.size())) << "frame";
}

TEST_F(PipelineTest, FramesMatchTheLiteralTranscription) {
  struct Setting {
    const char* name;
    float gain;
    int shift, attenuation;
    std::uint32_t frame, scroll;
    std::uint16_t cellMask;  // the random field's cells are masked to these bits
  } settings[] = {
      {"defaults", 2.4f, 4, 5, 0, 0, 0x0FFF},
      {"defaults, a few tall cells", 2.4f, 4, 5, 31, 0, 0x0FFF},
      {"defaults, field at full range", 2.4f, 4, 5, 0, 0, 0xFFFF},
      {"very loud", 63 * 0.01568627450980392f, 2, 5, 997, 65535, 0x3FFF},
      {"custom pair", 133 * 0.01568627450980392f, 7, 8, 123456, 65534, 0xFFFF},
      {"loudest", 4.0f, 8, 8, 4294967000u, 65280, 0xFFFF},
      {"silent gain", 0.0f, 4, 1, 250, 1, 0x3FFF},
      {"no damping", 2.0f, 0, 0, 77, 300, 0x1FFF},
      {"negative settings", -2.5f, -3, -9, 3333, 40000, 0x0FFF},
      {"huge settings", 3.0e7f, 40, 1000, 2000000000u, 258, 0xFFFF},
      {"huge negative gain", -3.0e7f, 1, 2, 15000, 7, 0x3FFF},
  };
  std::mt19937 random(99);
  VisModule module{};
  int seed = 0;
  for (const Setting& s : settings) {
    SCOPED_TRACE(s.name);
    FillRandomTables(static_cast<std::uint32_t>(++seed));
    if (seed % 3 == 0) {  // now and then the real constant tables, whose sums never wrap
      FillLiteralPerspectiveTable(g_state.Tables.PerspectiveTable);
      FillLiteralConversionTable(g_state.Tables.ConversionTable);
      FillLiteralTunnelTable(g_state.Tables.TunnelTable, 320, 200);
    }
    // Quiet fields take the 16-bit lanes; one tall cell sends its band (and later height bands) to 32 bits.
    for (int b = 0; b < 2; ++b)
      for (int i = 0; i < 65536; ++i) g_state.Tables.WaveBuffer[b][i] &= s.cellMask;
    if (seed == 2)
      for (int i : {300, 20000, 20001, 40000, 65279}) g_state.Tables.WaveBuffer[i % 2][i] = 0xC000 | i;
    g_state.Params.WaveGain = s.gain;
    g_state.Params.WaveShift = s.shift;
    g_state.Settings.WaveAttenuationRate = s.attenuation;
    g_state.Counters.FrameCounter = s.frame;
    g_state.Counters.TextureScroll = s.scroll;
    g_state.Counters.WaveParity = seed % 2;
    OracleFrame oracle = OracleFromState();
    for (int frame = 0; frame < 12; ++frame) {
      SCOPED_TRACE(frame);
      RandomWaveform(module, random, frame);
      ASSERT_EQ(StepStateWaveField(&module), 0);
      ASSERT_EQ(OracleStepWaveField(oracle, module), 0);
      ExpectSameState(oracle);
    }
  }
}

TEST_F(PipelineTest, GeometryMatchesOverManyFrameCounters) {
  // The walks and the ridge placement over a full turn and a spread of large counters; quiet field, one
  // frame each.
  std::mt19937 random(7);
  VisModule module{};
  FillRandomTables(5);
  g_state.Params.WaveGain = 2.4f;
  g_state.Params.WaveShift = 4;
  g_state.Settings.WaveAttenuationRate = 5;
  for (int n = 0; n < 500; ++n) {
    const std::uint32_t frame = n < 250 ? static_cast<std::uint32_t>(4 * n) : static_cast<std::uint32_t>(random());
    SCOPED_TRACE(frame);
    g_state.Counters.FrameCounter = frame;
    RandomWaveform(module, random, n);
    OracleFrame oracle;
    oracle.waveBuffer[0].assign(g_state.Tables.WaveBuffer[0], g_state.Tables.WaveBuffer[0] + 65536);
    oracle.waveBuffer[1].assign(g_state.Tables.WaveBuffer[1], g_state.Tables.WaveBuffer[1] + 65536);
    oracle.waveGain = 2.4f;
    oracle.waveShift = 4;
    oracle.frameCounter = frame;
    std::vector<std::uint16_t>& previous = oracle.waveBuffer[g_state.Counters.WaveParity == 0 ? 1 : 0];
    OracleInject(oracle, module, previous);
    ASSERT_EQ(StepStateWaveField(&module), 0);
    const std::uint16_t* written = g_state.Tables.WaveBuffer[g_state.Counters.WaveParity == 1 ? 1 : 0];
    for (int i = 256; i < 65280; ++i) ASSERT_EQ(written[i], previous[i]) << i;
  }
}

// The core on blocks of its own: no g_state, no surface, no palette object. Frame and palette as the literal
// transcription has them, frame after frame.
TEST_F(PipelineTest, RunFrameOnItsOwnBlocksMatchesTheLiteralTranscription) {
  FillRandomTables(11);
  FillLiteralPerspectiveTable(g_state.Tables.PerspectiveTable);
  FillLiteralConversionTable(g_state.Tables.ConversionTable);
  FillLiteralTunnelTable(g_state.Tables.TunnelTable, 320, 200);
  g_state.Params.WaveGain = 2.4f;
  g_state.Params.WaveShift = 4;
  g_state.Settings.WaveAttenuationRate = 5;
  OracleFrame oracle = OracleFromState();
  OracleFrame own = oracle;
  ReleaseFrameTables();
  ResetEffectState();

  TableSet tables{};
  tables.WaveBuffer[0] = own.waveBuffer[0].data();
  tables.WaveBuffer[1] = own.waveBuffer[1].data();
  tables.HeightMap = own.heightMap.data();
  tables.PerspectiveTable = own.perspectiveTable.data();
  tables.ConversionTable = own.conversionTable.data();
  tables.TextureMap = own.textureMap.data();
  tables.FadeTable = own.fadeTable.data();
  tables.LandscapeImage = own.landscapeImage.data();
  tables.TunnelTable = own.tunnelTable.data();
  OraclePalette palette;
  std::mt19937 random(12);
  for (int i = 0; i < 3 * 1024; ++i) palette.set.push_back(static_cast<std::uint8_t>(random()));
  palette.count = 3;
  palette.step = 0.0123f;
  VisModule module{};
  FrameInputs in{&tables, {2.4f, 4, 5, 0.0123f}, module.waveformData, palette.set.data(), 3};
  FrameCounters counters{};
  FrameTrace trace{};
  std::uint8_t entries[256 * kPaletteEntryBytes] = {};
  FrameOutput out{own.pixels.data(), own.width, own.height, own.pitch, entries, &trace};

  for (int frame = 0; frame < 6; ++frame) {
    SCOPED_TRACE(frame);
    RandomWaveform(module, random, frame);
    ASSERT_EQ(RunFrame(in, counters, out), 0);
    ASSERT_EQ(OracleStepWaveField(oracle, module), 0);
    OracleAnimatePalette(palette);
    ASSERT_EQ(counters.FrameCounter, oracle.frameCounter);
    ASSERT_EQ(counters.TextureScroll, oracle.textureScroll);
    ASSERT_EQ(counters.PalettePhase, palette.phase);
    ASSERT_EQ(0, std::memcmp(trace.LineProfile, oracle.lineProfile, sizeof oracle.lineProfile));
    ASSERT_EQ(own.pixels, oracle.pixels);
    for (int k = 0; k < 256; ++k) {
      ASSERT_EQ(entries[4 * k], palette.display[k].peRed) << k;
      ASSERT_EQ(entries[4 * k + 1], palette.display[k].peGreen) << k;
      ASSERT_EQ(entries[4 * k + 2], palette.display[k].peBlue) << k;
    }
  }
  // Without wave buffers there is no frame, and nothing moves.
  tables.WaveBuffer[1] = nullptr;
  EXPECT_EQ(RunFrame(in, counters, out), 1);
  EXPECT_EQ(counters.FrameCounter, 6u);
  EXPECT_EQ(counters.PalettePhase, palette.phase);
}

}  // namespace
