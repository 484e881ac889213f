// Whole frames of the fast pipeline and of the engine against the literal transcription, over random state and
// many settings; two engines side by side.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "core/engine.h"
#include "support/frame_oracle.h"
#include "support/stage_record.h"

namespace {

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStageRecord();
    AllocateFrameTables(320, 200, 336);
  }
  void TearDown() override {
    ReleaseFrameTables();
    ResetStageRecord();
  }
};

void RandomWaveform(WaveBlock& module, std::mt19937& random, int style) {
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
  const TableSet& t = g_stage.Tables;
  ASSERT_EQ(g_stage.Counters.WaveParity, oracle.waveParity);
  ASSERT_EQ(g_stage.Counters.FrameCounter, oracle.frameCounter);
  ASSERT_EQ(g_stage.Counters.TextureScroll, oracle.textureScroll);
  ASSERT_EQ(0, std::memcmp(g_stage.Trace.LineProfile, oracle.lineProfile, sizeof oracle.lineProfile));
  ASSERT_EQ(0, std::memcmp(t.WaveBuffer[0], oracle.waveBuffer[0].data(), 131072)) << "wave buffer #0";
  ASSERT_EQ(0, std::memcmp(t.WaveBuffer[1], oracle.waveBuffer[1].data(), 131072)) << "wave buffer #1";
  ASSERT_EQ(0, std::memcmp(t.HeightMap, oracle.heightMap.data(), 65536)) << "height map";
  ASSERT_EQ(0, std::memcmp(t.LandscapeImage, oracle.landscapeImage.data(), 65536)) << "landscape";
  ASSERT_EQ(0, std::memcmp(g_stage.FramePixels, oracle.pixels.data(), oracle.pixels.size())) << "frame";
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
  WaveBlock module{};
  int seed = 0;
  for (const Setting& s : settings) {
    SCOPED_TRACE(s.name);
    FillRandomTables(static_cast<std::uint32_t>(++seed));
    if (seed % 3 == 0) {  // now and then the real constant tables, whose sums never wrap
      FillLiteralPerspectiveTable(g_stage.Tables.PerspectiveTable);
      FillLiteralConversionTable(g_stage.Tables.ConversionTable);
      FillLiteralTunnelTable(g_stage.Tables.TunnelTable, 320, 200);
    }
    // Quiet fields take the 16-bit lanes; one tall cell sends its band (and later height bands) to 32 bits.
    for (int b = 0; b < 2; ++b)
      for (int i = 0; i < 65536; ++i) g_stage.Tables.WaveBuffer[b][i] &= s.cellMask;
    if (seed == 2)
      for (int i : {300, 20000, 20001, 40000, 65279}) g_stage.Tables.WaveBuffer[i % 2][i] = 0xC000 | i;
    g_stage.Params.WaveGain = s.gain;
    g_stage.Params.WaveShift = s.shift;
    g_stage.Settings.WaveAttenuationRate = s.attenuation;
    g_stage.Counters.FrameCounter = s.frame;
    g_stage.Counters.TextureScroll = s.scroll;
    g_stage.Counters.WaveParity = seed % 2;
    OracleFrame oracle = OracleFromState();
    for (int frame = 0; frame < 12; ++frame) {
      SCOPED_TRACE(frame);
      RandomWaveform(module, random, frame);
      ASSERT_EQ(StepStageFrame(module.waveformData), 0);
      ASSERT_EQ(OracleStepWaveField(oracle, module), 0);
      ExpectSameState(oracle);
    }
  }
}

TEST_F(PipelineTest, GeometryMatchesOverManyFrameCounters) {
  // The walks and the ridge placement over a full turn and a spread of large counters; quiet field, one
  // frame each.
  std::mt19937 random(7);
  WaveBlock module{};
  FillRandomTables(5);
  g_stage.Params.WaveGain = 2.4f;
  g_stage.Params.WaveShift = 4;
  g_stage.Settings.WaveAttenuationRate = 5;
  for (int n = 0; n < 500; ++n) {
    const std::uint32_t frame = n < 250 ? static_cast<std::uint32_t>(4 * n) : static_cast<std::uint32_t>(random());
    SCOPED_TRACE(frame);
    g_stage.Counters.FrameCounter = frame;
    RandomWaveform(module, random, n);
    OracleFrame oracle;
    oracle.waveBuffer[0].assign(g_stage.Tables.WaveBuffer[0], g_stage.Tables.WaveBuffer[0] + 65536);
    oracle.waveBuffer[1].assign(g_stage.Tables.WaveBuffer[1], g_stage.Tables.WaveBuffer[1] + 65536);
    oracle.waveGain = 2.4f;
    oracle.waveShift = 4;
    oracle.frameCounter = frame;
    std::vector<std::uint16_t>& previous = oracle.waveBuffer[g_stage.Counters.WaveParity == 0 ? 1 : 0];
    OracleInject(oracle, module, previous);
    ASSERT_EQ(StepStageFrame(module.waveformData), 0);
    const std::uint16_t* written = g_stage.Tables.WaveBuffer[g_stage.Counters.WaveParity == 1 ? 1 : 0];
    for (int i = 256; i < 65280; ++i) ASSERT_EQ(written[i], previous[i]) << i;
  }
}

// An engine's inputs without files: `palettes` random palettes and a random fade table.
EngineInputs SyntheticInputs(const EffectSettings& settings, int palettes, std::uint32_t seed) {
  std::mt19937 random(seed);
  EngineInputs inputs;
  inputs.Settings = settings;
  for (int i = 0; i < palettes * 1024; ++i) inputs.Palettes.push_back(static_cast<std::uint8_t>(random()));
  inputs.PaletteCount = palettes;
  for (int i = 0; i < 65536; ++i) inputs.FadeTable.push_back(static_cast<std::uint8_t>(random()));
  return inputs;
}

// Copies the oracle's tables into the engine's blocks (the perspective constants stay the engine's).
void LoadTables(const Engine& engine, const OracleFrame& f) {
  const TableSet& t = engine.Tables();
  std::memcpy(t.WaveBuffer[0], f.waveBuffer[0].data(), 131072);
  std::memcpy(t.WaveBuffer[1], f.waveBuffer[1].data(), 131072);
  std::memcpy(t.HeightMap, f.heightMap.data(), 65536);
  std::memcpy(t.TextureMap, f.textureMap.data(), 131072);
  std::memcpy(t.FadeTable, f.fadeTable.data(), 65536);
  std::memcpy(t.LandscapeImage, f.landscapeImage.data(), 65536);
}

// The engine on a state of its own: frame and palette as the literal transcription has them, frame after frame.
TEST_F(PipelineTest, EngineFramesMatchTheLiteralTranscription) {
  FillRandomTables(11);
  FillLiteralPerspectiveTable(g_stage.Tables.PerspectiveTable);
  FillLiteralConversionTable(g_stage.Tables.ConversionTable);
  FillLiteralTunnelTable(g_stage.Tables.TunnelTable, 320, 200);
  EffectSettings settings;  // preset 2: gain 2.4, shift 4; attenuation 5
  settings.PaletteAnimationSpeed = 157;
  const EffectParams params = DeriveEffectParams(settings);
  g_stage.Params = params;
  g_stage.Settings = settings;
  OracleFrame oracle = OracleFromState();

  Engine engine;
  EngineInputs inputs = SyntheticInputs(settings, 3, 12);
  OraclePalette palette;
  palette.set = inputs.Palettes;
  palette.count = 3;
  palette.step = params.PaletteStep;
  ASSERT_EQ(engine.Build(std::move(inputs)), kBuildDone);
  LoadTables(engine, oracle);
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(200) * 336);
  std::uint8_t entries[256 * kPaletteEntryBytes] = {};
  FrameOutput out{pixels.data(), 320, 200, 336, entries};

  std::mt19937 random(12);
  WaveBlock module{};
  for (int frame = 0; frame < 6; ++frame) {
    SCOPED_TRACE(frame);
    RandomWaveform(module, random, frame);
    ASSERT_EQ(engine.Frame(module.waveformData, out), 0);
    ASSERT_EQ(OracleStepWaveField(oracle, module), 0);
    OracleAnimatePalette(palette);
    ASSERT_EQ(engine.Counters().FrameCounter, oracle.frameCounter);
    ASSERT_EQ(engine.Counters().TextureScroll, oracle.textureScroll);
    ASSERT_EQ(engine.Counters().PalettePhase, palette.phase);
    ASSERT_EQ(0, std::memcmp(engine.Trace().LineProfile, oracle.lineProfile, sizeof oracle.lineProfile));
    for (int y = 0; y < 200; ++y)
      ASSERT_EQ(0, std::memcmp(&pixels[y * 336], &oracle.pixels[y * oracle.pitch], 320)) << y;
    for (int k = 0; k < 256; ++k) {
      ASSERT_EQ(entries[4 * k], palette.display[k].peRed) << k;
      ASSERT_EQ(entries[4 * k + 1], palette.display[k].peGreen) << k;
      ASSERT_EQ(entries[4 * k + 2], palette.display[k].peBlue) << k;
    }
  }
  // An output of another size than the engine was built for gets no frame, and nothing moves.
  FrameOutput wrong{pixels.data(), 336, 200, 336, entries};
  EXPECT_EQ(engine.Frame(module.waveformData, wrong), 1);
  EXPECT_EQ(engine.Counters().FrameCounter, 6u);
  EXPECT_EQ(engine.Counters().PalettePhase, palette.phase);
  // Nor does an engine whose tables were released; its counters stay for the next build.
  engine.Release();
  EXPECT_EQ(engine.Frame(module.waveformData, out), 1);
  EXPECT_EQ(engine.Counters().FrameCounter, 6u);
}

// Two engines in one process share nothing: run in turn, frame by frame, each draws what it draws alone.
TEST(EngineIndependence, TwoInterleavedEnginesEachDrawTheirOwnFrames) {
  EffectSettings calm, busy;
  calm.RadioIndex = 4;
  calm.PaletteAnimationSpeed = 3;
  busy.RadioIndex = 1;
  busy.WaveAttenuationRate = 8;
  busy.PaletteAnimationSpeed = 200;
  constexpr int kFrames = 12;
  auto blockFor = [](int engine, int frame) {
    WaveBlock b{};
    std::mt19937 random(static_cast<std::uint32_t>(engine * 1000 + frame));
    RandomWaveform(b, random, frame);
    return b;
  };
  using Frames = std::vector<std::vector<std::uint8_t>>;
  auto record = [](Engine& engine, const WaveBlock& block, Frames& frames) {
    std::vector<std::uint8_t> picture(64000 + 1024);
    FrameOutput out{picture.data(), 320, 200, 320, picture.data() + 64000};
    ASSERT_EQ(engine.Frame(block.waveformData, out), 0);
    frames.push_back(std::move(picture));
  };
  Frames alone[2], together[2];
  for (int e = 0; e < 2; ++e) {
    Engine engine;
    ASSERT_EQ(engine.Build(SyntheticInputs(e == 0 ? calm : busy, 2 + e, 40 + e)), kBuildDone);
    for (int f = 0; f < kFrames; ++f) record(engine, blockFor(e, f), alone[e]);
  }
  Engine first, second;
  ASSERT_EQ(first.Build(SyntheticInputs(calm, 2, 40)), kBuildDone);
  ASSERT_EQ(second.Build(SyntheticInputs(busy, 3, 41)), kBuildDone);
  for (int f = 0; f < kFrames; ++f) {
    record(first, blockFor(0, f), together[0]);
    record(second, blockFor(1, f), together[1]);
  }
  for (int e = 0; e < 2; ++e)
    for (int f = 0; f < kFrames; ++f) ASSERT_EQ(alone[e][f], together[e][f]) << "engine " << e << " frame " << f;
  EXPECT_NE(alone[0][kFrames - 1], alone[1][kFrames - 1]);
}

}  // namespace
