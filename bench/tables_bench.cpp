// Benchmarks of the table build: the constant tables, and the fade table's fast search against the literal one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "numeric/exact_math.h"
#include "support/fade_oracle.h"
#include "core/fade_table.h"
#include "core/table_builder.h"

namespace {

// Red, green, blue, flags: the entries the fade computation reads.
struct PaletteEntry {
  std::uint8_t peRed, peGreen, peBlue, peFlags;
};

PaletteEntry Entry(int r, int g, int b) {
  return {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b), 1};
}

// Black to red to yellow to white in 6-bit steps, like a fire palette file.
std::vector<PaletteEntry> RampPalette() {
  std::vector<PaletteEntry> p;
  for (int i = 0; i < 256; ++i) {
    int level = i * 3;
    p.push_back(Entry(std::min(level, 255) >> 2 << 2, std::clamp(level - 255, 0, 255) >> 2 << 2,
                      std::clamp(level - 510, 0, 255) >> 2 << 2));
  }
  return p;
}
std::vector<PaletteEntry> RandomPalette() {
  std::mt19937 rng(1);
  std::vector<PaletteEntry> p;
  for (int i = 0; i < 256; ++i) p.push_back(Entry(rng() & 252, rng() & 252, rng() & 252));
  return p;
}
std::vector<PaletteEntry> EqualPalette() { return std::vector<PaletteEntry>(256, Entry(120, 64, 200)); }

// The reference palette the default data set ships, as the build wrote it; empty when it is not there.
std::vector<PaletteEntry> DefaultReferencePalette() {
  std::vector<PaletteEntry> p;
  if (std::FILE* f = std::fopen(TAVELMIR_DEFAULT_REFERENCE_PALETTE, "rb")) {
    unsigned char bytes[768];
    if (std::fread(bytes, 1, sizeof bytes, f) == sizeof bytes)
      for (int i = 0; i < 256; ++i)
        p.push_back(Entry(bytes[3 * i] << 2 & 255, bytes[3 * i + 1] << 2 & 255, bytes[3 * i + 2] << 2 & 255));
    std::fclose(f);
  }
  return p;
}

std::vector<PaletteEntry> PaletteFor(int which) {
  switch (which) {
    case 0:
      return RampPalette();
    case 1:
      return RandomPalette();
    case 2:
      return EqualPalette();
    default:
      return DefaultReferencePalette();
  }
}
// The default data set's palette exists only once the native build has written it.
bool HavePalette(benchmark::State& state, const std::vector<PaletteEntry>& palette) {
  if (palette.size() == 256) return true;
  state.SkipWithError("the default data set's refrence.pal is not built");
  return false;
}

const char* PaletteName(int which) {
  static const char* const names[] = {"ramp", "random", "all equal", "default data set"};
  return names[which];
}

// The default fade settings (offset 51, amplitude 104, power 176).
EffectParams DefaultFadeParams() {
  EffectParams p;
  p.FadeBias = static_cast<float>(51 * static_cast<double>(0.003921568859368563f));
  p.FadeGain = static_cast<float>(104 * 0.0078125);
  p.FadeExponent = static_cast<float>(ExactExp((176 - 192) * 0.015625));
  return p;
}

void BM_FillTunnelTable(benchmark::State& state) {
  std::vector<std::uint16_t> table(320 * 200);
  for (auto _ : state) {
    FillTunnelTable(table.data(), 320, 200);
    benchmark::DoNotOptimize(table.data());
  }
}
BENCHMARK(BM_FillTunnelTable)->Unit(benchmark::kMillisecond);

void BM_FillPerspectiveTable(benchmark::State& state) {
  TableSet constants{};
  std::vector<std::uint8_t> table(512);
  for (auto _ : state) {
    FillPerspectiveTable(constants, table.data());
    benchmark::DoNotOptimize(table.data());
  }
}
BENCHMARK(BM_FillPerspectiveTable);

void BM_FillConversionTable(benchmark::State& state) {
  std::vector<std::uint8_t> table(65536);
  for (auto _ : state) {
    FillConversionTable(table.data());
    benchmark::DoNotOptimize(table.data());
  }
}
BENCHMARK(BM_FillConversionTable)->Unit(benchmark::kMicrosecond);

void BM_FadeTableFast(benchmark::State& state) {
  const auto palette = PaletteFor(static_cast<int>(state.range(0)));
  if (!HavePalette(state, palette)) return;
  const EffectParams params = DefaultFadeParams();
  std::vector<std::uint8_t> out(65536);
  for (auto _ : state) {
    FillFadeTable(reinterpret_cast<const std::uint8_t*>(palette.data()), params, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel(PaletteName(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_FadeTableFast)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_FadeTableLiteral(benchmark::State& state) {
  const auto palette = PaletteFor(static_cast<int>(state.range(0)));
  if (!HavePalette(state, palette)) return;
  const EffectParams params = DefaultFadeParams();
  std::vector<std::uint8_t> out(65536);
  for (auto _ : state) {
    LiteralFadeTable(reinterpret_cast<const std::uint8_t*>(palette.data()), params, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel(PaletteName(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_FadeTableLiteral)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// CPU time of this thread, so that other processes on a busy machine do not skew the ratio.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Both searches timed in the same run; the counter is literal time over fast time (best of each), and the
// tables are compared so that a fast but wrong search cannot report a speed-up.
void BM_FadeTableSpeedUp(benchmark::State& state) {
  const auto palette = PaletteFor(static_cast<int>(state.range(0)));
  if (!HavePalette(state, palette)) return;
  const EffectParams params = DefaultFadeParams();
  std::vector<std::uint8_t> fast(65536), literal(65536);
  double bestFast = 1e30, bestLiteral = 1e30;
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    LiteralFadeTable(reinterpret_cast<const std::uint8_t*>(palette.data()), params, literal.data());
    bestLiteral = std::min(bestLiteral, ThreadSeconds() - t0);
    for (int i = 0; i < 5; ++i) {
      const double f0 = ThreadSeconds();
      FillFadeTable(reinterpret_cast<const std::uint8_t*>(palette.data()), params, fast.data());
      bestFast = std::min(bestFast, ThreadSeconds() - f0);
    }
    benchmark::DoNotOptimize(fast.data());
  }
  if (fast != literal) state.SkipWithError("fast table differs from the literal one");
  state.counters["fast_ms"] = bestFast * 1e3;
  state.counters["literal_ms"] = bestLiteral * 1e3;
  state.counters["speed_up"] = bestLiteral / bestFast;
  state.SetLabel(PaletteName(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_FadeTableSpeedUp)->DenseRange(0, 3)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_ExactAtan2(benchmark::State& state) {
  double sum = 0;
  for (auto _ : state) {
    for (int y = -100; y < 100; y += 7)
      for (int x = -160; x < 160; x += 5) sum += ExactAtan2(y, x);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_ExactAtan2);

void BM_ExactPow(benchmark::State& state) {
  const double exponent = DefaultFadeParams().FadeExponent;
  double sum = 0;
  for (auto _ : state) {
    for (int s = 1; s < 256; ++s) sum += ExactPow(s * static_cast<double>(0.003921568859368563f), exponent);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_ExactPow);

}  // namespace
