// The command line's frame paths against the engine's own frame, each pair timed in one run: `render --dump`
// (waveform blocks read, the engine's frame, the dump written) and the silent lead-in before --start (the sound
// decoded, the engine's frame, nothing written). Counters give the ratios the command line is held to.
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "effect_session.h"
#include "frame_sinks.h"
#include "look_options.h"
#include "waveform_source.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 1500;  // 30 s of picture
constexpr int kRate = 44100;

fs::path ScratchFile(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  return fs::path(tmp && tmp[0] == '/' ? tmp : "/tmp") / (std::string("tavelmir-bench-") + name);
}

// Music-like blocks: two tones and a beat, different in each channel.
std::vector<unsigned char> MusicBlocks(int frames) {
  std::vector<unsigned char> blocks(static_cast<std::size_t>(frames) * kWaveformBlockBytes);
  for (int f = 0; f < frames; ++f)
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < kSamplesPerChannel; ++i) {
        const double t = (f * 882 + i) / static_cast<double>(kRate);
        const double v = 0.5 * std::sin(2 * M_PI * (220 + 110 * c) * t) +
                         0.3 * std::sin(2 * M_PI * 3 * t) * std::sin(2 * M_PI * 1250 * t);
        blocks[(static_cast<std::size_t>(f) * 2 + c) * kSamplesPerChannel + i] =
            static_cast<unsigned char>(SampleToSigned8(v));
      }
  return blocks;
}

// A 16-bit stereo WAV of `seconds` of the same music.
bool WriteMusicFile(const fs::path& path, int seconds) {
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  std::vector<double> samples(static_cast<std::size_t>(kRate) * 2);
  bool ok = true;
  for (int s = 0; s < seconds && ok; ++s) {
    for (int i = 0; i < kRate; ++i) {
      const double t = s + i / static_cast<double>(kRate);
      samples[2 * i] = 0.5 * std::sin(2 * M_PI * 220 * t) + 0.3 * std::sin(2 * M_PI * 3 * t);
      samples[2 * i + 1] = 0.5 * std::sin(2 * M_PI * 330 * t) - 0.2 * std::sin(2 * M_PI * 5 * t);
    }
    ok = sf_writef_double(file, samples.data(), kRate) == kRate;
  }
  return sf_close(file) == 0 && ok;
}

// The engine as `render` starts it: the default data set with the plug-in's own look.
bool StartDefaultEffect(EffectSession& session, std::string& error) {
  LookOptions options;
  options.pluginDir = DefaultPluginDir();
  options.videoLook = false;
  Look look;
  return ResolveLook(options, look, error) && StartEffect(look, session, error);
}

// The engine's own frame on blocks already in memory, into buffers already there: what everything else is
// measured against.
double EngineFrameSeconds(const std::vector<unsigned char>& blocks, std::string& error) {
  EffectSession session;
  if (!StartDefaultEffect(session, error)) return 0;
  std::vector<std::uint8_t> indices(kScreenPixels), palette(kPaletteBytes);
  const double start = ThreadSeconds();
  for (int f = 0; f < kFrames; ++f)
    DrawEffectFrame(session, &blocks[static_cast<std::size_t>(f) * kWaveformBlockBytes], indices.data(),
                    palette.data());
  benchmark::DoNotOptimize(indices.data());
  return (ThreadSeconds() - start) / kFrames;
}

// `render --waveform FILE --dump /dev/null` frame by frame: the block read, the frame, the record written.
double DumpFrameSeconds(const fs::path& blocksFile, std::string& error) {
  EffectSession session;
  if (!StartDefaultEffect(session, error)) return 0;
  WaveformFile source;
  if (!OpenWaveformFile(blocksFile.string(), source, error)) return 0;
  FrameSink sink;
  const fs::path out = ScratchFile("out.dump");
  if (!OpenFrameSink(sink, OutputKind::Dump, out.string(), MakeOutputGeometry(1, false), {}, {}, true, error)) {
    CloseWaveformFile(source);
    return 0;
  }
  // The records go to /dev/null, as `--dump /dev/null` writes them: the file system's own cost is not the
  // command line's.
  sink.dump.reset(std::fopen("/dev/null", "wb"));
  std::vector<unsigned char> block(kWaveformBlockBytes);
  std::vector<std::uint8_t> indices(kScreenPixels), palette(kPaletteBytes);
  bool ok = true;
  const double start = ThreadSeconds();
  for (int f = 0; f < kFrames && ok; ++f) {
    ok = ReadWaveformBlock(source, block.data());
    DrawEffectFrame(session, block.data(), indices.data(), palette.data());
    ok = ok && WriteFrameToSink(sink, indices.data(), palette.data(), error);
  }
  const double seconds = ThreadSeconds() - start;
  AbandonFrameSink(sink);
  CloseWaveformFile(source);
  if (!ok) return 0;
  return seconds / kFrames;
}

// The run-up before --start: the sound decoded block by block and every frame drawn, none written.
double LeadInFrameSeconds(const fs::path& audio, std::string& error) {
  EffectSession session;
  if (!StartDefaultEffect(session, error)) return 0;
  WaveformStream stream;
  if (!OpenWaveformStream(audio.string(), 0, stream, error)) return 0;
  std::vector<unsigned char> block(kWaveformBlockBytes);
  std::vector<std::uint8_t> indices(kScreenPixels), palette(kPaletteBytes);
  int frames = 0;
  const double start = ThreadSeconds();
  for (; frames < kFrames; ++frames) {
    if (NextWaveformBlock(stream, frames, block.data(), error) <= 0) break;
    DrawEffectFrame(session, block.data(), indices.data(), palette.data());
  }
  const double seconds = ThreadSeconds() - start;
  CloseWaveformStream(stream);
  return frames == kFrames ? seconds / kFrames : 0;
}

void Report(benchmark::State& state, double engine, double path, const char* name, const std::string& error) {
  if (engine <= 0 || path <= 0) {
    state.SkipWithError(error.empty() ? "a frame path failed" : error.c_str());
    return;
  }
  state.counters["engine_us"] = engine * 1e6;
  state.counters[std::string(name) + "_us"] = path * 1e6;
  state.counters["cost_vs_engine"] = path / engine;
  state.counters["rate_vs_engine"] = engine / path;
}

// Target: cost_vs_engine <= 1.3.
void BM_RenderDumpAgainstEngine(benchmark::State& state) {
  const std::vector<unsigned char> blocks = MusicBlocks(kFrames);
  const fs::path blocksFile = ScratchFile("blocks.raw");
  if (std::FILE* f = std::fopen(blocksFile.c_str(), "wb")) {
    std::fwrite(blocks.data(), 1, blocks.size(), f);
    std::fclose(f);
  }
  std::string error;
  double engine = 0, dump = 0;
  for (auto _ : state) {
    engine = EngineFrameSeconds(blocks, error);
    dump = DumpFrameSeconds(blocksFile, error);
  }
  fs::remove(blocksFile);
  Report(state, engine, dump, "dump", error);
}
BENCHMARK(BM_RenderDumpAgainstEngine)->Iterations(1)->Unit(benchmark::kMillisecond);

// Target: rate_vs_engine >= 0.8.
void BM_LeadInAgainstEngine(benchmark::State& state) {
  const fs::path audio = ScratchFile("music.wav");
  std::string error;
  if (!WriteMusicFile(audio, kFrames / kFramesPerSecond + 2)) {
    state.SkipWithError("cannot write the music file");
    return;
  }
  const std::vector<unsigned char> blocks = MusicBlocks(kFrames);
  double engine = 0, leadIn = 0;
  for (auto _ : state) {
    engine = EngineFrameSeconds(blocks, error);
    leadIn = LeadInFrameSeconds(audio, error);
  }
  fs::remove(audio);
  Report(state, engine, leadIn, "lead_in", error);
}
BENCHMARK(BM_LeadInAgainstEngine)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
