// Benchmarks of the per-frame pipeline, whole and stage by stage, each against its literal transcription (the
// tests' oracle). Figures against an earlier commit come from bench/compare_commits.sh.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "bench_timing.h"
#include "support/frame_oracle.h"
#include "support/stage_record.h"

namespace {

// Set when any stage's result differs from its literal transcription; main then fails the run.
bool g_anyFrameDiffered = false;

enum Stage { kWholeFrame, kWaveField, kLandscape, kTunnel, kPalette, kStageCount };
const char* StageName(int stage) {
  static const char* const names[] = {"whole frame", "wave field", "landscape", "tunnel", "palette"};
  return names[stage];
}

// The stage record with the real constant tables, a random texture and fade table, a lively field, default settings
// and 320 x 200 surface; music-like waveforms.
struct FrameSetup {
  WaveBlock module{};
  std::uint8_t* palettes = nullptr;

  FrameSetup() {
    ResetStageRecord();
    AllocateFrameTables(320, 200, 320);
    FillRandomTables(2024);
    TableSet& t = g_stage.Tables;
    FillLiteralPerspectiveTable(t.PerspectiveTable);
    FillLiteralConversionTable(t.ConversionTable);
    FillLiteralTunnelTable(t.TunnelTable, 320, 200);
    std::memset(t.WaveBuffer[0], 0, 131072);
    std::memset(t.WaveBuffer[1], 0, 131072);
    g_stage.Params.WaveGain = 2.4f;
    g_stage.Params.WaveShift = 4;
    g_stage.Settings.WaveAttenuationRate = 5;
    palettes = static_cast<std::uint8_t*>(std::malloc(8 * 1024));
    std::mt19937 random(3);
    for (int i = 0; i < 8 * 1024; ++i) palettes[i] = static_cast<std::uint8_t>(random());
    g_stage.PaletteSet = palettes;
    g_stage.PaletteCount = 8;
    g_stage.Params.PaletteStep = 0.0123f;
    g_stage.Counters.PalettePhase = 0.37f;
    NextWaveform(0);
    for (int frame = 0; frame < 40; ++frame) StepStageFrame(module.waveformData);  // let the ripples spread
  }
  ~FrameSetup() {
    std::free(palettes);
    g_stage.PaletteSet = nullptr;
    ReleaseFrameTables();
    ResetStageRecord();
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
    p.phase = g_stage.Counters.PalettePhase;
    p.step = g_stage.Params.PaletteStep;
    return p;
  }
};

// A stage timed alone gets a new frame each time, as in a running effect, rather than the same input again,
// which would let the branch predictor learn it. These untimed steps make that frame with the variant's own
// code: the field moves on, and for the tunnel the landscape is drawn; the texture scrolls as in a frame.
constexpr std::uint32_t kScrollPerFrame = 258;

void PrepareFast(int stage, FrameSetup& setup) {
  if (stage != kLandscape && stage != kTunnel) return;
  AdvanceStageWaveField(setup.module.waveformData);
  if (stage == kTunnel) RenderStageLandscape(g_stage.Counters.TextureScroll);
  g_stage.Counters.TextureScroll = (g_stage.Counters.TextureScroll + kScrollPerFrame) & 0xFFFFu;
}

void PrepareLiteral(int stage, FrameSetup& setup, OracleFrame& frame) {
  if (stage != kLandscape && stage != kTunnel) return;
  OracleAdvanceWaveField(frame, setup.module);
  if (stage == kTunnel) OracleRenderLandscape(frame, frame.textureScroll);
  frame.textureScroll = (frame.textureScroll + kScrollPerFrame) & 0xFFFFu;
}

void RunFast(int stage, FrameSetup& setup) {
  switch (stage) {
    case kWholeFrame:
      StepStageFrame(setup.module.waveformData);
      break;
    case kWaveField:
      AdvanceStageWaveField(setup.module.waveformData);
      break;
    case kLandscape:
      RenderStageLandscape(g_stage.Counters.TextureScroll);
      break;
    case kTunnel:
      MapStageTunnel();
      break;
    default:
      AnimateStagePalette();
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
  const TableSet& t = g_stage.Tables;
  if (stage == kPalette) {
    for (int k = 0; k < 256; ++k)
      if (g_stage.DisplayPalette[k].peRed != palette.display[k].peRed ||
          g_stage.DisplayPalette[k].peGreen != palette.display[k].peGreen ||
          g_stage.DisplayPalette[k].peBlue != palette.display[k].peBlue)
        return false;
    return g_stage.Counters.PalettePhase == palette.phase;
  }
  return std::memcmp(t.WaveBuffer[0], frame.waveBuffer[0].data(), 131072) == 0 &&
         std::memcmp(t.WaveBuffer[1], frame.waveBuffer[1].data(), 131072) == 0 &&
         std::memcmp(t.HeightMap, frame.heightMap.data(), 65536) == 0 &&
         std::memcmp(t.LandscapeImage, frame.landscapeImage.data(), 65536) == 0 &&
         std::memcmp(g_stage.FramePixels, frame.pixels.data(), 64000) == 0 &&
         g_stage.Counters.FrameCounter == frame.frameCounter;
}

// One variant of a stage alone; prepare and run take the stage and the setup.
template <typename Prepare, typename Run>
void TimeAlone(benchmark::State& state, Prepare prepare, Run run) {
  const int stage = static_cast<int>(state.range(0));
  FrameSetup setup;
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    setup.NextWaveform(++n);
    prepare(stage, setup);
    state.ResumeTiming();
    run(stage, setup);
    benchmark::ClobberMemory();
  }
  state.SetLabel(StageName(stage));
}

// The fast stage alone.
void BM_FramePipelineFast(benchmark::State& state) { TimeAlone(state, PrepareFast, RunFast); }
BENCHMARK(BM_FramePipelineFast)->DenseRange(0, kStageCount - 1)->Unit(benchmark::kMicrosecond);

// Its literal transcription alone.
void BM_FramePipelineLiteral(benchmark::State& state) {
  const int stage = static_cast<int>(state.range(0));
  FrameSetup setup;
  OracleFrame frame = OracleFromState();
  OraclePalette palette = setup.Palette();
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    setup.NextWaveform(++n);
    PrepareLiteral(stage, setup, frame);
    state.ResumeTiming();
    RunLiteral(stage, setup, frame, palette);
    benchmark::ClobberMemory();
  }
  state.SetLabel(StageName(stage));
}
BENCHMARK(BM_FramePipelineLiteral)->DenseRange(0, kStageCount - 1)->Unit(benchmark::kMicrosecond);

constexpr int kSpeedUpFrames = 600;

// Both timed in the same run, frame for frame from the same state: the literal transcription and the fast stage,
// kSpeedUpFrames frames each. Counters are the median time of each and their ratio. Every result is compared
// with the literal one, so that a fast but wrong stage cannot report a speed-up: a difference marks the
// benchmark as failed and makes the whole run exit with an error.
void BM_FramePipelineSpeedUp(benchmark::State& state) {
  const int stage = static_cast<int>(state.range(0));
  FrameSetup setup;
  OracleFrame frame = OracleFromState();
  OraclePalette palette = setup.Palette();
  std::vector<double> fastTimes, literalTimes;  // reserved: nothing allocated while timing
  fastTimes.reserve(kSpeedUpFrames);
  literalTimes.reserve(kSpeedUpFrames);
  int n = 0;
  bool fastSame = true;
  for (auto _ : state) {
    setup.NextWaveform(++n);
    PrepareLiteral(stage, setup, frame);
    const double l0 = ThreadSeconds();
    RunLiteral(stage, setup, frame, palette);
    literalTimes.push_back(ThreadSeconds() - l0);
    PrepareFast(stage, setup);
    const double f0 = ThreadSeconds();
    RunFast(stage, setup);
    fastTimes.push_back(ThreadSeconds() - f0);
    benchmark::ClobberMemory();
    fastSame = fastSame && SameResult(stage, frame, palette);
  }
  if (!fastSame) {
    g_anyFrameDiffered = true;
    state.SkipWithError("the fast stage differs from its literal transcription");
  }
  // Medians: other processes on the machine slow single frames, which moves the best times around from run to
  // run far more than the middle ones.
  const double fast = Median(fastTimes), literal = Median(literalTimes);
  state.counters["fast_us"] = fast * 1e6;
  state.counters["literal_us"] = literal * 1e6;
  state.counters["vs_literal"] = literal / fast;
  state.SetLabel(StageName(stage));
}
BENCHMARK(BM_FramePipelineSpeedUp)
    ->DenseRange(0, kStageCount - 1)
    ->Iterations(kSpeedUpFrames)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

// Like benchmark_main, but a frame that differs from the literal transcription fails the run.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_anyFrameDiffered) {
    std::fprintf(stderr, "tavelmir_bench: a frame differs from the literal transcription\n");
    return 1;
  }
  return 0;
}
