// Fuzz target: any bytes as "plugin.ini" through LoadSettings, DeriveEffectParams, three frames and a save.
#include <cstring>

#include "plugin/render.h"
#include "device/memory_display.h"
#include "fuzz_support.h"
#include "plugin/plugin_state.h"
#include "plugin/lifecycle.h"
#include "plugin/settings_store.h"

namespace {

Plugin* g_plugin = nullptr;
Plugin& state() { return *g_plugin; }

// Init once per process: building the tables for every input would be far too slow. Each input then starts
// from the state right after that Init: default settings, the counters and an empty wave field.
struct Baseline {
  VisModule* module = nullptr;
  std::filesystem::path ini;
  EffectSettings settings{};
  std::uint32_t frameCounter = 0, textureScroll = 0;
  std::int32_t waveParity = 0;
  float palettePhase = 0;
};

const Baseline& Started() {
  static Baseline b = [] {
    Baseline s;
    const PluginFolder& folder = FreshFuzzSession();
    g_plugin = folder.plugin.get();
    WriteEffectDataFiles(folder.root, 2);
    std::filesystem::remove(folder.root / "plugin.ini");
    s.module = folder.module;
    s.ini = folder.root / "plugin.ini";
    FuzzCheck(Init(state(), s.module) == 0, "Init failed on a complete plug-in folder");
    s.settings = state().Settings;
    s.frameCounter = state().Effect.Counters().FrameCounter;
    s.textureScroll = state().Effect.Counters().TextureScroll;
    s.waveParity = state().Effect.Counters().WaveParity;
    s.palettePhase = state().Effect.Counters().PalettePhase;
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < 576; ++i)
        s.module->waveformData[c][i] = static_cast<unsigned char>((i * (c + 3) + 40) & 0xFF);
    return s;
  }();
  return b;
}

void Restore(const Baseline& b) {
  // The display device logs every call; cleared, so that the log does not grow.
  MemoryClearRecords();
  state().Settings = b.settings;
  state().Effect.SetCounters({b.waveParity, b.frameCounter, b.textureScroll, b.palettePhase});
  state().Effect.ApplySettings(b.settings);
  for (std::uint16_t* buffer : state().Effect.Tables().WaveBuffer) std::memset(buffer, 0, 65536 * sizeof *buffer);
}

bool IsBlankByte(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// A name the profile read hands back as it was written: the read drops blanks at either end and one pair of
// matching quotes, so a name that has them comes back changed (on the system as well).
bool SurvivesRoundTrip(const char* name) {
  std::size_t n = std::strlen(name);
  if (n == 0) return true;
  if (IsBlankByte(name[0]) || IsBlankByte(name[n - 1])) return false;
  return !(n >= 2 && (name[0] == '"' || name[0] == '\'') && name[n - 1] == name[0]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Baseline& b = Started();
  Restore(b);
  FuzzBytes in{data, size};
  WriteFileBytes(b.ini, TakeRest(in));

  LoadSettings(state(), b.module);
  DeriveEffectParams(state());
  // The running effect takes them as from the dialog.
  state().Effect.ApplySettings(state().Settings);
  const EffectSettings loaded = state().Settings;
  FuzzCheck(std::memchr(loaded.TextureName, '\0', sizeof loaded.TextureName) != nullptr, "TextureName unterminated");
  FuzzCheck(loaded.UseTexture == 0 || loaded.UseTexture == 1, "UseTexture neither 0 nor 1");
  const std::int32_t expectedShift = loaded.RadioIndex >= 1 && loaded.RadioIndex <= 4
                                         ? WavePresets[loaded.RadioIndex].ShiftPower
                                         : loaded.WaveShiftPower;
  FuzzCheck(state().Effect.Params().WaveShift == expectedShift, "WaveShift is not the selected shift power");

  for (int frame = 0; frame < 3; ++frame) FuzzCheck(Render(state(), b.module) == 0, "a frame failed");

  // What was saved reads back as it was.
  SaveSettings(state(), b.module);
  EffectSettings& s = state().Settings;
  for (std::int32_t* field : {&s.RadioIndex, &s.WaveAmplitude, &s.WaveShiftPower, &s.WaveAttenuationRate,
                              &s.PaletteAnimationSpeed, &s.FadeOffset, &s.FadeAmplitude, &s.FadePower, &s.UseTexture})
    *field = ~*field;
  std::memset(s.TextureName, 'P', sizeof s.TextureName - 1);
  s.TextureName[sizeof s.TextureName - 1] = '\0';
  LoadSettings(state(), b.module);
  FuzzCheck(s.RadioIndex == loaded.RadioIndex && s.WaveAmplitude == loaded.WaveAmplitude &&
                s.WaveShiftPower == loaded.WaveShiftPower && s.WaveAttenuationRate == loaded.WaveAttenuationRate &&
                s.PaletteAnimationSpeed == loaded.PaletteAnimationSpeed && s.FadeOffset == loaded.FadeOffset &&
                s.FadeAmplitude == loaded.FadeAmplitude && s.FadePower == loaded.FadePower &&
                s.UseTexture == loaded.UseTexture,
            "a saved integer setting read back differently");
  if (SurvivesRoundTrip(loaded.TextureName))
    FuzzCheck(std::strcmp(s.TextureName, loaded.TextureName) == 0, "a saved TextureName read back differently");
  return 0;
}
