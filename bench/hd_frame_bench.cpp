// The cost of a frame at a picture's own size against the 320 x 200 frame, in one run on one core: the whole
// frame as the command line makes it (the effect's frame, then the picture drawn from its landscape and palette).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench_timing.h"
#include "core/engine.h"
#include "core/hd_tunnel.h"
#include "rgb_to_yuv.h"

namespace {

// An engine built from random palettes, fade table and texture with the default settings, its ripples spread.
struct HdFrameSetup {
  Engine engine;
  unsigned char waveform[kWaveformChannels][kWaveformSamples] = {};
  std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(320 * 200);
  std::uint8_t entries[256 * kPaletteEntryBytes] = {};
  FrameOutput output{pixels.data(), 320, 200, 320, entries};
  std::uint32_t colours[256] = {};

  HdFrameSetup() {
    std::mt19937 random(2025);
    EngineInputs inputs;
    inputs.Settings.UseTexture = 1;
    inputs.Settings.PaletteAnimationSpeed = 157;
    inputs.PaletteCount = 8;
    for (int i = 0; i < 8 * 1024; ++i) inputs.Palettes.push_back(static_cast<std::uint8_t>(random()));
    for (int i = 0; i < 65536; ++i) inputs.FadeTable.push_back(static_cast<std::uint8_t>(random()));
    for (int i = 0; i < 65536; ++i) inputs.Texture.push_back(static_cast<std::uint8_t>(random()));
    if (engine.Build(std::move(inputs)) != kBuildDone) std::abort();
    for (int frame = 0; frame < 40; ++frame) Frame(frame);  // let the ripples spread
  }

  // The 320 x 200 frame: field, landscape, tunnel, counters, palette.
  void Frame(int n) {
    for (int channel = 0; channel < 2; ++channel)
      for (int i = 0; i < 576; ++i) {
        const int v = static_cast<int>(90 * ((i * (3 + channel) + n * 7) % 64 < 32 ? 1 : -1) * (i % 11) / 10);
        waveform[channel][i] = static_cast<unsigned char>(static_cast<signed char>(v));
      }
    engine.Frame(waveform, output);
  }
  // The display palette as RGB words, as the command line hands it over.
  const std::uint32_t* Colours() {
    for (int i = 0; i < 256; ++i) {
      const std::uint8_t* e = entries + kPaletteEntryBytes * i;
      colours[i] = static_cast<std::uint32_t>(e[0]) | static_cast<std::uint32_t>(e[1]) << 8 |
                   static_cast<std::uint32_t>(e[2]) << 16;
    }
    return colours;
  }
};

constexpr int kFrames = 60;

// Arguments: width, height, bytes per pixel, sampling, 1 to keep to SSE2. Both frames of each pair run from the same
// state in turn (the classic one alone, then the classic one again with the picture drawn from it), kFrames pairs,
// medians of the thread's CPU time.
void BM_HdFrameAgainstClassic(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  const int bytes = static_cast<int>(state.range(2));
  const auto sampling = static_cast<HdSampling>(state.range(3));
  HdFrameSetup setup;
  HdTunnel hd;
  if (state.range(4) != 0) hd.KeepToSse2();
  if (!hd.Prepare(width, height, CentredHdView(width, height, 1, false), sampling)) {
    state.SkipWithError("no map for that size");
    return;
  }
  std::vector<std::uint8_t> picture(static_cast<std::size_t>(width) * height * bytes);
  std::vector<double> classicTimes, hdTimes, drawTimes;
  classicTimes.reserve(kFrames);
  hdTimes.reserve(kFrames);
  drawTimes.reserve(kFrames);
  int n = 0;
  for (auto _ : state) {
    const double c0 = ThreadSeconds();
    setup.Frame(++n);
    const double c1 = ThreadSeconds();
    setup.Frame(++n);
    const double d0 = ThreadSeconds();
    setup.engine.DrawHd(hd, setup.Colours(), picture.data(), static_cast<std::ptrdiff_t>(width) * bytes, bytes);
    const double d1 = ThreadSeconds();
    benchmark::DoNotOptimize(picture.data());
    benchmark::ClobberMemory();
    classicTimes.push_back(c1 - c0);
    hdTimes.push_back(d1 - c1);
    drawTimes.push_back(d1 - d0);
  }
  const double classic = Median(classicTimes), whole = Median(hdTimes), draw = Median(drawTimes);
  state.counters["classic_us"] = classic * 1e6;
  state.counters["hd_us"] = whole * 1e6;
  state.counters["draw_ms"] = draw * 1e3;
  state.counters["hd_vs_classic"] = whole / classic;
  state.SetLabel(std::string(sampling == HdSampling::Sharp      ? "sharp "
                             : sampling == HdSampling::Bilinear ? "bilinear "
                                                                : "nearest ") +
                 hd.KernelName());
}
BENCHMARK(BM_HdFrameAgainstClassic)
    ->Args({1920, 1080, 3, static_cast<int>(HdSampling::Sharp), 0})
    ->Args({1920, 1080, 3, static_cast<int>(HdSampling::Sharp), 1})
    ->Args({1920, 1080, 4, static_cast<int>(HdSampling::Sharp), 0})
    ->Args({1920, 1080, 3, static_cast<int>(HdSampling::Nearest), 0})
    ->Args({3840, 2160, 3, static_cast<int>(HdSampling::Sharp), 0})
    ->Args({3840, 2160, 3, static_cast<int>(HdSampling::Sharp), 1})
    ->Args({3840, 2160, 4, static_cast<int>(HdSampling::Bilinear), 0})
    ->Iterations(kFrames)
    ->Unit(benchmark::kMillisecond);

// A video's frame from the picture at 1080p, each way in turn from the same engine frame, kFrames times, medians of
// the thread's CPU time: drawn in RGB and converted (3 bytes a pixel, then 4, as the command line did), against drawn
// straight in YUV and split into planes. `*_convert_ms` is the step after the drawing; the ratios set the new way
// against each old one, whole (draw and convert) and conversion alone.
void BM_HdPictureToYuv420(benchmark::State& state) {
  constexpr int kWidth = 1920, kHeight = 1080;
  HdFrameSetup setup;
  HdTunnel hd;
  if (!hd.Prepare(kWidth, kHeight, CentredHdView(kWidth, kHeight, 1, false), HdSampling::Sharp)) {
    state.SkipWithError("no map for that size");
    return;
  }
  std::vector<std::uint8_t> picture(static_cast<std::size_t>(kWidth) * kHeight * 4);
  std::vector<std::uint8_t> yuv(static_cast<std::size_t>(kWidth) * kHeight * 3 / 2);
  std::uint8_t palette[768];
  std::uint32_t yuvColours[256];
  // Draw, then convert, each timed; index 0: RGB, 1: RGBX, 2: YUVX.
  std::vector<double> draw[3], convert[3];
  int n = 0;
  for (auto _ : state) {
    setup.Frame(++n);
    const std::uint32_t* rgbColours = setup.Colours();
    for (int i = 0; i < 256; ++i)
      for (int c = 0; c < 3; ++c) palette[3 * i + c] = static_cast<std::uint8_t>(rgbColours[i] >> (8 * c));
    for (int way = 0; way < 3; ++way) {
      const int bytes = way == 0 ? 3 : 4;
      const double t0 = ThreadSeconds();
      if (way == 2) YuvColourWords(palette, yuvColours);
      setup.engine.DrawHd(hd, way == 2 ? yuvColours : rgbColours, picture.data(),
                          static_cast<std::ptrdiff_t>(kWidth) * bytes, bytes);
      const double t1 = ThreadSeconds();
      if (way == 0) RgbToYuv420(picture.data(), kWidth, kHeight, yuv.data());
      if (way == 1) RgbxToYuv420(picture.data(), kWidth, kHeight, yuv.data());
      if (way == 2) YuvxToYuv420(picture.data(), kWidth, kHeight, yuv.data());
      const double t2 = ThreadSeconds();
      benchmark::DoNotOptimize(yuv.data());
      benchmark::ClobberMemory();
      draw[way].push_back(t1 - t0);
      convert[way].push_back(t2 - t1);
    }
  }
  double whole[3], conversion[3];
  for (int way = 0; way < 3; ++way) {
    conversion[way] = Median(convert[way]);
    whole[way] = Median(draw[way]) + conversion[way];
  }
  state.counters["rgb_convert_ms"] = conversion[0] * 1e3;
  state.counters["rgbx_convert_ms"] = conversion[1] * 1e3;
  state.counters["yuvx_convert_ms"] = conversion[2] * 1e3;
  state.counters["yuvx_whole_ms"] = whole[2] * 1e3;
  state.counters["convert_vs_rgb"] = conversion[2] / conversion[0];
  state.counters["convert_vs_rgbx"] = conversion[2] / conversion[1];
  state.counters["whole_vs_rgb"] = whole[2] / whole[0];
  state.counters["whole_vs_rgbx"] = whole[2] / whole[1];
  state.SetLabel(hd.KernelName());
}
BENCHMARK(BM_HdPictureToYuv420)->Iterations(kFrames)->Unit(benchmark::kMillisecond);

// Making the map, once per size (a window's resize): 1080p.
void BM_HdMapBuild(benchmark::State& state) {
  HdTunnel hd;
  for (auto _ : state) hd.Prepare(1920, 1080, CentredHdView(1920, 1080, 1, false), HdSampling::Sharp);
}
BENCHMARK(BM_HdMapBuild)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
