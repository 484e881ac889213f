// The OBS source's frame against the command line's at the same size, in one run on one core: the effect's frame and
// the picture drawn from it, the source's into the words its texture is filled from. The hd look against the player's
// as `play` draws it into its window; the classic look (sharp) against `render`'s enlargement of the classic frame
// for its videos and PNG frames (`play` shows that look in whole pixels through SDL). The texture's upload and the
// window's presentation are the GPU's and the window system's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "core/frame_resampler.h"
#include "effect_session.h"
#include "look_options.h"
#include "picture_look.h"
#include "tunnel_picture.h"
#include "waveform_source.h"

namespace {

constexpr int kFrames = 60;

// A second of a chord that swells, as the blocks of its frames.
std::vector<unsigned char> ChordBlocks() {
  std::vector<unsigned char> blocks(static_cast<std::size_t>(kFrames) * kWaveformBlockBytes);
  for (int f = 0; f < kFrames; ++f)
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < kSamplesPerChannel; ++i) {
        const double t = (f * 960 + i) / 48000.0;
        const double v = (0.3 + 0.6 * (f % 25) / 25.0) * std::sin(2 * M_PI * (c ? 330 : 220) * t);
        blocks[static_cast<std::size_t>(f * kWaveformBlockBytes + c * kSamplesPerChannel + i)] =
            static_cast<unsigned char>(SampleToSigned8(v));
      }
  return blocks;
}

// Arguments: width, height, look (0 hd, 1 classic). Pairs of frames, the command line's then the source's, each engine
// built from the default data set with the plug-in's own settings; medians of the thread's CPU time.
void BM_ObsFrameAgainstCommandLine(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  const bool classic = state.range(2) != 0;
  std::string error;
  LookOptions options;
  options.pluginDir = DefaultPluginDir();
  options.videoLook = false;
  Look look;
  EffectSession player;
  HdPicture playerPicture;
  if (!ResolveLook(options, look, error) || !StartEffect(look, player, error) ||
      !PrepareHdPicture(playerPicture, width, height, PictureLook::Hd, kFourThirdsPixelAspect, false, error,
                        PicturePixels::Rgbx)) {
    state.SkipWithError(error.c_str());
    return;
  }
  FrameResampler resampler;
  PrepareFrameResampler(resampler, FitOutputGeometry(width, height, false, true), Scaling::Sharp);
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  auto source = BuildTunnelEffect(options.pluginDir, look.settings, 0, {}, error);
  TunnelPicture sourcePicture;
  if (!source ||
      !PrepareTunnelPicture(sourcePicture, classic ? TunnelLook::Classic : TunnelLook::Hd, width, height, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const std::vector<unsigned char> blocks = ChordBlocks();
  std::vector<std::uint8_t> indices(kScreenPixels), palette(kPaletteBytes);
  std::vector<double> playerTimes, sourceTimes;
  for (auto _ : state) {
    for (int f = 0; f < kFrames; ++f) {
      const unsigned char* block = &blocks[static_cast<std::size_t>(f) * kWaveformBlockBytes];
      double start = ThreadSeconds();
      DrawEffectFrame(player, block, indices.data(), palette.data());
      if (classic)
        ResampleFrameToRgb(resampler, indices.data(), palette.data(), rgb.data());
      else
        DrawHdPicture(playerPicture, player.engine, palette.data());
      playerTimes.push_back(ThreadSeconds() - start);
      start = ThreadSeconds();
      StepTunnelEffect(*source, block);
      DrawTunnelPicture(sourcePicture, *source);
      sourceTimes.push_back(ThreadSeconds() - start);
      benchmark::DoNotOptimize(playerPicture.pixels.data());
      benchmark::DoNotOptimize(rgb.data());
      benchmark::DoNotOptimize(sourcePicture.pixels.data());
    }
  }
  const double p = Median(playerTimes), s = Median(sourceTimes);
  state.counters["cli_ms"] = p * 1e3;
  state.counters["obs_source_ms"] = s * 1e3;
  state.counters["obs_over_cli"] = s / p;
}

}  // namespace

BENCHMARK(BM_ObsFrameAgainstCommandLine)
    ->ArgNames({"width", "height", "classic"})
    ->ArgsProduct({{1280}, {720}, {0, 1}})
    ->ArgsProduct({{1920}, {1080}, {0, 1}})
    ->ArgsProduct({{3840}, {2160}, {0, 1}})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
