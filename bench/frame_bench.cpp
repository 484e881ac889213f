// Benchmarks of the per-frame pipeline, whole and stage by stage, each against its literal transcription and
// against the frame code as it was before its stages were last tuned.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <utility>
#include <vector>

#include "baseline/baseline_frame.h"
#include "plugin/render.h"
#include "plugin/effect_state.h"
#include "support/frame_oracle.h"
#include "support/state_frame.h"

namespace {

// Set when any stage's result differs from its literal transcription; main then fails the run.
bool g_anyFrameDiffered = false;

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

// The frame buffers and counters the baseline code works on, swapped into g_state around each of its runs, so
// that it advances its own copy of the field frame for frame beside the fast code.
class BaselineSide {
 public:
  BaselineSide() {
    const TableSet& t = g_state.Tables;
    waveBuffer_[0] = Copy(t.WaveBuffer[0], 131072);
    waveBuffer_[1] = Copy(t.WaveBuffer[1], 131072);
    heightMap_ = Copy(t.HeightMap, 65536);
    landscapeImage_ = Copy(t.LandscapeImage, 65536);
    pixels_ = Copy(g_state.Screen.FramePixels, static_cast<std::size_t>(g_state.Screen.FrameHeight) * g_state.Screen.FramePitch);
    counters_ = g_state.Counters;
  }
  ~BaselineSide() {
    for (void* p : {static_cast<void*>(waveBuffer_[0]), static_cast<void*>(waveBuffer_[1]),
                    static_cast<void*>(heightMap_), static_cast<void*>(landscapeImage_), static_cast<void*>(pixels_)})
      std::free(p);
  }
  BaselineSide(const BaselineSide&) = delete;
  BaselineSide& operator=(const BaselineSide&) = delete;
  // Exchanges its buffers and counters with g_state's; twice restores both.
  void Swap() {
    TableSet& t = g_state.Tables;
    std::swap(t.WaveBuffer[0], waveBuffer_[0]);
    std::swap(t.WaveBuffer[1], waveBuffer_[1]);
    std::swap(t.HeightMap, heightMap_);
    std::swap(t.LandscapeImage, landscapeImage_);
    std::swap(g_state.Screen.FramePixels, pixels_);
    std::swap(g_state.Counters, counters_);
  }

 private:
  template <typename T>
  static T* Copy(const T* from, std::size_t bytes) {
    T* to = static_cast<T*>(std::malloc(bytes));
    if (to == nullptr) std::abort();
    std::memcpy(to, from, bytes);
    return to;
  }
  std::uint16_t* waveBuffer_[2];
  std::uint8_t* heightMap_;
  std::uint8_t* landscapeImage_;
  std::uint8_t* pixels_;
  FrameCounters counters_;
};

// A stage timed alone gets a new frame each time, as in a running effect, rather than the same input again,
// which would let the branch predictor learn it. These untimed steps make that frame with the variant's own
// code: the field moves on, and for the tunnel the landscape is drawn; the texture scrolls as in a frame.
constexpr std::uint32_t kScrollPerFrame = 258;

void PrepareFast(int stage, FrameSetup& setup) {
  if (stage != kLandscape && stage != kTunnel) return;
  AdvanceStateWaveField(&setup.module);
  if (stage == kTunnel) RenderStateLandscape(g_state.Counters.TextureScroll);
  g_state.Counters.TextureScroll = (g_state.Counters.TextureScroll + kScrollPerFrame) & 0xFFFFu;
}

// The baseline's stages fed from g_state, as Render feeds the product's.
int BaselineStepWaveField(const VisModule& module) {
  FrameOutput out = StateFrameOutput();
  return baseline::StepWaveField(StateFrameInputs(&module), g_state.Counters, out);
}
void BaselineAdvanceWaveField(const VisModule& module) {
  baseline::AdvanceWaveField(StateFrameInputs(&module), g_state.Counters, g_state.Trace);
}
void BaselineRenderLandscape() { baseline::RenderLandscape(g_state.Tables, g_state.Counters.TextureScroll); }
void BaselineMapTunnel() { baseline::MapTunnel(g_state.Tables, StateFrameOutput()); }

void PrepareBaseline(int stage, FrameSetup& setup) {
  if (stage != kLandscape && stage != kTunnel) return;
  BaselineAdvanceWaveField(setup.module);
  if (stage == kTunnel) BaselineRenderLandscape();
  g_state.Counters.TextureScroll = (g_state.Counters.TextureScroll + kScrollPerFrame) & 0xFFFFu;
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

// The palette animation has no baseline copy: it was not tuned again, so the product's own code stands in.
void RunBaseline(int stage, FrameSetup& setup) {
  switch (stage) {
    case kWholeFrame:
      BaselineStepWaveField(setup.module);
      break;
    case kWaveField:
      BaselineAdvanceWaveField(setup.module);
      break;
    case kLandscape:
      BaselineRenderLandscape();
      break;
    case kTunnel:
      BaselineMapTunnel();
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
      if (g_state.Screen.DisplayPalette[k].peRed != palette.display[k].peRed ||
          g_state.Screen.DisplayPalette[k].peGreen != palette.display[k].peGreen ||
          g_state.Screen.DisplayPalette[k].peBlue != palette.display[k].peBlue)
        return false;
    return g_state.Counters.PalettePhase == palette.phase;
  }
  return std::memcmp(t.WaveBuffer[0], frame.waveBuffer[0].data(), 131072) == 0 &&
         std::memcmp(t.WaveBuffer[1], frame.waveBuffer[1].data(), 131072) == 0 &&
         std::memcmp(t.HeightMap, frame.heightMap.data(), 65536) == 0 &&
         std::memcmp(t.LandscapeImage, frame.landscapeImage.data(), 65536) == 0 &&
         std::memcmp(g_state.Screen.FramePixels, frame.pixels.data(), 64000) == 0 &&
         g_state.Counters.FrameCounter == frame.frameCounter;
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

// Today's code (bench/baseline) alone.
void BM_FramePipelineBaseline(benchmark::State& state) { TimeAlone(state, PrepareBaseline, RunBaseline); }
BENCHMARK(BM_FramePipelineBaseline)->DenseRange(0, kStageCount - 1)->Unit(benchmark::kMicrosecond);

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

double Median(std::vector<double> times) {
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}

// All three timed in the same run, frame for frame from the same state: the literal transcription, the
// baseline (today's code, on its own copy of the frame buffers) and the fast stage, kSpeedUpFrames frames each.
// Counters are the median time of each and the ratios of the fast time to the other two. Every result is
// compared with the literal one, so that a fast but wrong stage cannot report a speed-up: a difference marks the
// benchmark as failed and makes the whole run exit with an error.
void BM_FramePipelineSpeedUp(benchmark::State& state) {
  const int stage = static_cast<int>(state.range(0));
  FrameSetup setup;
  OracleFrame frame = OracleFromState();
  OraclePalette palette = setup.Palette();
  BaselineSide baselineSide;
  std::vector<double> fastTimes, baselineTimes, literalTimes;  // reserved: nothing allocated while timing
  fastTimes.reserve(kSpeedUpFrames);
  baselineTimes.reserve(kSpeedUpFrames);
  literalTimes.reserve(kSpeedUpFrames);
  int n = 0;
  bool fastSame = true, baselineSame = true;
  for (auto _ : state) {
    setup.NextWaveform(++n);
    PrepareLiteral(stage, setup, frame);
    const double l0 = ThreadSeconds();
    RunLiteral(stage, setup, frame, palette);
    literalTimes.push_back(ThreadSeconds() - l0);

    const auto timeBaseline = [&] {
      baselineSide.Swap();
      PrepareBaseline(stage, setup);
      const double b0 = ThreadSeconds();
      RunBaseline(stage, setup);
      baselineTimes.push_back(ThreadSeconds() - b0);
      benchmark::ClobberMemory();
      baselineSame = baselineSame && SameResult(stage, frame, palette);
      baselineSide.Swap();
    };
    const auto timeFast = [&] {
      PrepareFast(stage, setup);
      const double f0 = ThreadSeconds();
      RunFast(stage, setup);
      fastTimes.push_back(ThreadSeconds() - f0);
      benchmark::ClobberMemory();
      fastSame = fastSame && SameResult(stage, frame, palette);
    };
    // Both share the constant tables: whichever runs second finds them warm, so they take turns.
    if (n % 2) {
      timeBaseline();
      timeFast();
    } else {
      timeFast();
      timeBaseline();
    }
  }
  if (!fastSame || !baselineSame) {
    g_anyFrameDiffered = true;
    state.SkipWithError(!fastSame ? "the fast stage differs from its literal transcription"
                                  : "the baseline stage differs from its literal transcription");
  }
  // Medians: other processes on the machine slow single frames of any of the three, which moves the best
  // times around from run to run far more than the middle ones.
  const double fast = Median(fastTimes), baselineTime = Median(baselineTimes), literal = Median(literalTimes);
  state.counters["fast_us"] = fast * 1e6;
  state.counters["baseline_us"] = baselineTime * 1e6;
  state.counters["literal_us"] = literal * 1e6;
  state.counters["vs_literal"] = literal / fast;
  state.counters["vs_baseline"] = baselineTime / fast;
  state.counters["best_vs_baseline"] = *std::min_element(baselineTimes.begin(), baselineTimes.end()) /
                                       *std::min_element(fastTimes.begin(), fastTimes.end());
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
