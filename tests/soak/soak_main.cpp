// Soak run: the plug-in driven through its header for a million frames of random waveforms, with the settings
// changed in place between frames as a settings dialog opened during playback changes them. Prints a digest of
// the run and checks that memory stays flat and that Quit leaves nothing alive.
#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "plugin/plugin_state.h"
#include "plugin/vis_records.h"
#include "plugin/settings_store.h"
#include "device/memory_display.h"
#include "plugin/lifecycle.h"
#include "plugin/render.h"
#include "support/plugin_folder_fixture.h"

namespace {

struct Options {
  long frames = 1000000;
  std::uint32_t seed = 1;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    char* end = nullptr;
    long value = std::strtol(argv[i + 1], &end, 10);
    if (end == argv[i + 1] || *end != '\0' || value < 0) return false;
    if (name == "--frames")
      options.frames = value;
    else if (name == "--seed")
      options.seed = static_cast<std::uint32_t>(value);
    else
      return false;
  }
  return argc % 2 == 1;
}

void WriteDataFiles(const PluginFolder& folder) {
  for (int p = 0; p < 4; ++p) {
    std::vector<unsigned char> palette(768);
    for (std::size_t i = 0; i < palette.size(); ++i)
      palette[i] = static_cast<unsigned char>((i * (p + 3) + p * 17) % 64);
    WriteFileBytes(folder.root / "TavelDat" / ("soak" + std::to_string(p) + ".pal"), palette);
  }
  std::vector<unsigned char> fade(65536);
  for (std::size_t i = 0; i < fade.size(); ++i) fade[i] = static_cast<unsigned char>((i >> 8) * (i & 255) / 255);
  WriteFileBytes(folder.root / "TavelDat" / "fade.dat", fade);
}

// One field to a value the dialog's control can hold, then the parameters, handed to the running effect as the
// dialog does: it takes them from its next frame on.
Plugin* g_plugin = nullptr;
Plugin& state() { return *g_plugin; }

void ChangeOneSetting(std::mt19937& random) {
  EffectSettings& s = state().Settings;
  auto pick = [&](int top) { return static_cast<std::int32_t>(random() % static_cast<unsigned>(top + 1)); };
  switch (random() % 8) {
    case 0:
      s.RadioIndex = pick(4);
      break;
    case 1:
      s.WaveAmplitude = pick(255);
      break;
    case 2:
      s.WaveShiftPower = pick(8);
      break;
    case 3:
      s.WaveAttenuationRate = pick(8);
      break;
    case 4:
      s.PaletteAnimationSpeed = pick(255);
      break;
    case 5:
      s.FadeOffset = pick(255);
      break;
    case 6:
      s.FadeAmplitude = pick(255);
      break;
    case 7:
      s.FadePower = pick(255);
      break;
  }
  DeriveEffectParams(state());
  state().Effect.ApplySettings(s);
}

std::uint64_t Fnv1a(std::uint64_t hash, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001B3ull;
  return hash;
}

std::uint64_t DigestScreen(std::uint64_t hash) {
  std::vector<std::uint8_t> screen = MemoryScreenBytes();
  VidColour palette[256];
  bool havePalette = MemoryScreenPalette(palette);
  hash = Fnv1a(hash, screen.data(), screen.size());
  if (havePalette) hash = Fnv1a(hash, palette, sizeof palette);
  const std::uint32_t frames = state().Effect.Counters().FrameCounter;
  return Fnv1a(hash, &frames, sizeof frames);
}

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: %s [--frames N] [--seed S]\n", argv[0]);
    return 2;
  }
  PluginFolder folder = MakePluginFolder();
  g_plugin = folder.plugin.get();
  WriteDataFiles(folder);
  VisModule* module = folder.module;
  if (Init(state(), module) != 0) {
    std::fprintf(stderr, "soak: Init failed\n");
    RemovePluginFolder(folder);
    return 1;
  }

  std::mt19937 random(options.seed);
  std::uint64_t digest = 0xCBF29CE484222325ull;
  long failedFrames = 0;
  constexpr long kWarmUp = 1000;
  std::size_t heapAfterWarmUp = 0;
  long residentAfterWarmUp = 0;
  std::size_t heapPeakDrift = 0;
  for (long frame = 0; frame < options.frames; ++frame) {
    for (int c = 0; c < 2; ++c) {
      // Loudness wanders between silence and full scale, as music does.
      std::uint32_t loudness = (random() % 256) * (random() % 2);
      for (int i = 0; i < 576; ++i)
        module->waveformData[c][i] = static_cast<unsigned char>(
            static_cast<std::int8_t>(static_cast<int>(random() % (2 * loudness + 1)) - static_cast<int>(loudness) / 2));
    }
    if (random() % 50 == 0) ChangeOneSetting(random);
    if (Render(state(), module) != 0) ++failedFrames;
    // The device logs every call for tests to read; dropped each frame so that only the plug-in's own memory is
    // measured.
    MemoryClearRecords();
    if (frame % 1000 == 999) digest = DigestScreen(digest);
    if (frame + 1 == kWarmUp) {
      heapAfterWarmUp = mallinfo2().uordblks;
      residentAfterWarmUp = ResidentKilobytes();
    }
    if (frame >= kWarmUp && frame % 10000 == 0) {
      std::size_t heap = mallinfo2().uordblks;
      std::size_t drift = heap > heapAfterWarmUp ? heap - heapAfterWarmUp : heapAfterWarmUp - heap;
      if (drift > heapPeakDrift) heapPeakDrift = drift;
    }
  }
  digest = DigestScreen(digest);
  long residentAtEnd = ResidentKilobytes();
  std::size_t heapAtEnd = mallinfo2().uordblks;

  Quit(state(), module);
  const MemoryLive alive = MemoryLiveObjects();
  bool clean = alive.devices == 0 && alive.surfaces == 0 && alive.palettes == 0 && alive.canvases == 0 &&
               !MemoryWindowState().exists && !state().Effect.Built() && state().Effect.PaletteCount() == 0;
  RemovePluginFolder(folder);

  std::printf("frames %ld seed %u digest %016llx\n", options.frames, options.seed,
              static_cast<unsigned long long>(digest));
  std::printf(
      "failed frames %ld; heap in use after warm-up %zu, at end %zu, largest drift %zu bytes; "
      "resident after warm-up %ld KB, at end %ld KB\n",
      failedFrames, heapAfterWarmUp, heapAtEnd, heapPeakDrift, residentAfterWarmUp, residentAtEnd);
  bool flat = options.frames <= kWarmUp ||
              (heapPeakDrift == 0 && heapAtEnd == heapAfterWarmUp && residentAtEnd - residentAfterWarmUp < 1024);
  if (failedFrames != 0) std::fprintf(stderr, "soak: %ld frames failed\n", failedFrames);
  if (!flat) std::fprintf(stderr, "soak: memory grew while frames ran\n");
  if (!clean) std::fprintf(stderr, "soak: Quit left objects alive\n");
  return failedFrames == 0 && flat && clean ? 0 : 1;
}
