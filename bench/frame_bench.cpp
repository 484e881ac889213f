// Benchmarks of the per-frame pipeline, whole and stage by stage, each against its literal transcription.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <random>

#include "host/effect_state.h"
#include "support/frame_oracle.h"
#include "support/state_frame.h"

namespace {

enum Stage { kWholeFrame, kWaveField, kLandscape, kTunnel, kPalette, kStageCount };
const char* StageName(int stage) {
  static const char* const names[] = {"whole frame", "wave field", "landscape", "tunnel", "palette"};
  return names[stage];
}

// CPU time of this thread, so that other processes on a busy machine do not skew the ratio.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// g_state with the real constant tables, a random texture and fade table, a lively field, default settings
// and 320 x 200 surface; music-like waveforms.
struct FrameSetup {
  VisModule module{};
  std::uint8_t* palettes = nullptr;

  FrameSetup() {
    ResetEffectState();
    AllocateFrameTables(320, 200, 320);
    FillRandomTables(2024);
    TableSet& t = g_state.Tables;
    FillLiteralPerspectiveTable(t.PerspectiveTable);
    FillLiteralConversionTable(t.ConversionTable);
    FillLiteralTunnelTable(t.TunnelTable, 320, 200);
    std::memset(t.WaveBuffer[0], 0, 131072);
    std::memset(t.WaveBuffer[1], 0, 131072);
    g_state.Params.WaveGain = 2.4f;
    g_state.Params.WaveShift = 4;
    g_state.Settings.WaveAttenuationRate = 5;
    palettes = static_cast<std::uint8_t*>(std::malloc(8 * 1024));
    std::mt19937 random(3);
    for (int i = 0; i < 8 * 1024; ++i) palettes[i] = static_cast<std::uint8_t>(random());
    g_state.PaletteSet = palettes;
    g_state.PaletteCount = 8;
    g_state.Params.PaletteStep = 0.0123f;
    g_state.Counters.PalettePhase = 0.37f;
    NextWaveform(0);
    for (int frame = 0; frame < 40; ++frame) StepStateWaveField(&module);  // let the ripples spread
  }
  ~FrameSetup() {
    std::free(palettes);
    g_state.PaletteSet = nullptr;
    ReleaseFrameTables();
    ResetEffectState();
  }
  void NextWaveform(int frame) {
    for (int channel = 0; channel < 2; ++channel)
      for (int i = 0; i < 576; ++i) {
        const int v = static_cast<int>(90 * ((i * (3 + channel) + frame * 7) % 64 < 32 ? 1 : -1) * (i % 11) / 10);
        module.waveformData[channel][i] = static_cast<unsigned char>(static_cast<signed char>(v));
      }
  }
  OraclePalette Palette() const {
    OraclePalette p;
    p.set.assign(palettes, palettes + 8 * 1024);
    p.count = 8;
    p.phase = g_state.Counters.PalettePhase;
    p.step = g_state.Params.PaletteStep;
    return p;
  }
};

void RunFast(int stage, FrameSetup& setup) {
  switch (stage) {
    case kWholeFrame:
      StepStateWaveField(&setup.module);
      break;
    case kWaveField:
      AdvanceStateWaveField(&setup.module);
      break;
    case kLandscape:
      RenderStateLandscape(g_state.Counters.TextureScroll);
      break;
    case kTunnel:
      MapStateTunnel();
      break;
    default:
      AnimateStatePalette();
      break;
  }
}

void RunLiteral(int stage, FrameSetup& setup, OracleFrame& frame, OraclePalette& palette) {
  switch (stage) {
    case kWholeFrame:
      OracleStepWaveField(frame, setup.module);
      break;
    case kWaveField:
      OracleAdvanceWaveField(frame, setup.module);
      break;
    case kLandscape:
      OracleRenderLandscape(frame, frame.textureScroll);
      break;
    case kTunnel:
      OracleMapTunnel(frame);
      break;
    default:
      OracleAnimatePalette(palette);
      break;
  }
}

bool SameResult(int stage, const OracleFrame& frame, const OraclePalette& palette) {
  const TableSet& t = g_state.Tables;
  if (stage == kPalette) {
    for (int k = 0; k < 256; ++k)
      if (g_state.DisplayPalette[k].peRed != palette.display[k].peRed ||
          g_state.DisplayPalette[k].peGreen != palette.display[k].peGreen ||
          g_state.DisplayPalette[k].peBlue != palette.display[k].peBlue)
        return false;
    return g_state.Counters.PalettePhase == palette.phase;
  }
  return std::memcmp(t.WaveBuffer[0], frame.waveBuffer[0].data(), 131072) == 0 &&
         std::memcmp(t.WaveBuffer[1], frame.waveBuffer[1].data(), 131072) == 0 &&
         std::memcmp(t.HeightMap, frame.heightMap.data(), 65536) == 0 &&
         std::memcmp(t.LandscapeImage, frame.landscapeImage.data(), 65536) == 0 &&
         std::memcmp(g_state.FramePixels, frame.pixels.data(), 64000) == 0 &&
         g_state.Counters.FrameCounter == frame.frameCounter;
}

// The fast stage alone.
void BM_FramePipelineFast(benchmark::State& state) {
  const int stage = static_cast<int>(state.range(0));
  FrameSetup setup;
  int n = 0;
  for (auto _ : state) {
    setup.NextWaveform(++n);
    RunFast(stage, setup);
    benchmark::ClobberMemory();
  }
  state.SetLabel(StageName(stage));
}
BENCHMARK(BM_FramePipelineFast)->DenseRange(0, kStageCount - 1)->Unit(benchmark::kMicrosecond);

// Its literal transcription alone.
void BM_FramePipelineLiteral(benchmark::State& state) {
  const int stage = static_cast<int>(state.range(0));
  FrameSetup setup;
  OracleFrame frame = OracleFromState();
  OraclePalette palette = setup.Palette();
  int n = 0;
  for (auto _ : state) {
    setup.NextWaveform(++n);
    RunLiteral(stage, setup, frame, palette);
    benchmark::ClobberMemory();
  }
  state.SetLabel(StageName(stage));
}
BENCHMARK(BM_FramePipelineLiteral)->DenseRange(0, kStageCount - 1)->Unit(benchmark::kMicrosecond);

// Both timed in the same run, frame for frame from the same state; the counter is literal time over fast time
// (best of each), and the results are compared so that a fast but wrong stage cannot report a speed-up.
void BM_FramePipelineSpeedUp(benchmark::State& state) {
  const int stage = static_cast<int>(state.range(0));
  FrameSetup setup;
  OracleFrame frame = OracleFromState();
  OraclePalette palette = setup.Palette();
  double bestFast = 1e30, bestLiteral = 1e30;
  int n = 0;
  bool same = true;
  for (auto _ : state) {
    setup.NextWaveform(++n);
    const double l0 = ThreadSeconds();
    RunLiteral(stage, setup, frame, palette);
    bestLiteral = std::min(bestLiteral, ThreadSeconds() - l0);
    const double f0 = ThreadSeconds();
    RunFast(stage, setup);
    bestFast = std::min(bestFast, ThreadSeconds() - f0);
    benchmark::ClobberMemory();
    same = same && SameResult(stage, frame, palette);
  }
  if (!same) state.SkipWithError("the fast stage differs from its literal transcription");
  state.counters["fast_us"] = bestFast * 1e6;
  state.counters["literal_us"] = bestLiteral * 1e6;
  state.counters["speed_up"] = bestLiteral / bestFast;
  state.SetLabel(StageName(stage));
}
BENCHMARK(BM_FramePipelineSpeedUp)->DenseRange(0, kStageCount - 1)->Iterations(200)->Unit(benchmark::kMicrosecond);

}  // namespace
