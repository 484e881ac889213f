// Fuzz target: a host's calls in any order (Config, Init, Render, Quit), what the system tells the window, settings
// changed in place and failures injected into the display device; after the final Quit nothing may be left alive.
#include <cstdlib>
#include <cstring>

#include "device/memory_display.h"
#include "fuzz_support.h"
#include "plugin/display_events.h"
#include "plugin/plugin_state.h"
#include "plugin/lifecycle.h"
#include "plugin/render.h"
#include "plugin/settings_store.h"

namespace {

constexpr VidResult kFailures[] = {
    kMemoryGeneric,     kVidSurfaceLost, kVidOutOfVideoMemory, kMemorySurfaceBusy, kMemoryNotLocked,
    kMemoryUnsupported, kVidOk};

Plugin* g_plugin = nullptr;
Plugin& state() { return *g_plugin; }

// The n-th table allocation from now fails (0: none).
int g_allocationsUntilFailure = 0;
void* CountingAllocator(std::size_t bytes) {
  if (g_allocationsUntilFailure > 0 && --g_allocationsUntilFailure == 0) return nullptr;
  return DefaultTableAllocator(bytes);
}

// A settings change as the dialog makes one while the effect runs: one field in place, then the parameters.
void ChangeSetting(FuzzBytes& in) {
  EffectSettings& s = state().Settings;
  std::int32_t value = static_cast<std::int32_t>(TakeU32(in));
  if ((TakeByte(in) & 1) != 0) value = value % 300;  // mostly near the dialog's ranges
  switch (TakeByte(in) % 10) {
    case 0: s.RadioIndex = value; break;
    case 1: s.WaveAmplitude = value; break;
    case 2: s.WaveShiftPower = value; break;
    case 3: s.WaveAttenuationRate = value; break;
    case 4: s.PaletteAnimationSpeed = value; break;
    case 5: s.FadeOffset = value; break;
    case 6: s.FadeAmplitude = value; break;
    case 7: s.FadePower = value; break;
    case 8: s.UseTexture = value & 1; break;
    case 9:
      SettingsFromParams(state());
      break;
  }
  DeriveEffectParams(state());
  state().Effect.ApplySettings(s);
}

void FillWaveform(VisModule* module, FuzzBytes& in) {
  std::uint8_t seed = TakeByte(in), step = TakeByte(in);
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < 576; ++i)
      module->waveformData[c][i] = static_cast<unsigned char>(seed + step * i + c * 91);
}

void CheckNothingAlive() {
  const MemoryLive live = MemoryLiveObjects();
  FuzzCheck(live.devices == 0 && live.surfaces == 0 && live.palettes == 0 && live.canvases == 0,
            "display objects alive after Quit");
  FuzzCheck(MemoryCallsOnReleasedObjects() == 0, "a call on a released display object");
  const MemoryWindow window = MemoryWindowState();
  FuzzCheck(!window.exists, "a window alive after Quit");
  FuzzCheck(!window.classRegistered, "the window class still registered after Quit");
  FuzzCheck(!state().Effect.Built() && state().Effect.PaletteCount() == 0, "table or palette set kept after Quit");
  const TableSet& t = state().Effect.Tables();
  FuzzCheck(t.WaveBuffer[0] == nullptr && t.WaveBuffer[1] == nullptr && t.HeightMap == nullptr &&
                t.PerspectiveTable == nullptr && t.ConversionTable == nullptr && t.TextureMap == nullptr &&
                t.FadeTable == nullptr && t.LandscapeImage == nullptr && t.TunnelTable == nullptr,
            "a table block kept after Quit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool dataWritten = false;
  const PluginFolder& folder = FreshFuzzSession();
  g_plugin = folder.plugin.get();
  if (!dataWritten) {
    WriteEffectDataFiles(folder.root, 2);
    dataWritten = true;
  }
  VisModule* module = winampVisGetHeader()->getModule(0);
  FuzzBytes in{data, size};
  TableAllocator = CountingAllocator;
  g_allocationsUntilFailure = 0;

  for (int steps = 0; steps < 64 && !FuzzEmpty(in); ++steps) {
    switch (TakeByte(in) % 14) {
      case 0:
        Config(state(), module);
        break;
      case 1:
      case 2:
        Init(state(), module);
        break;
      case 3: case 4: case 5: {
        FillWaveform(module, in);
        int result = Render(state(), module);
        FuzzCheck(result == 0 || result == 1, "Render answered neither 0 nor 1");
        break;
      }
      case 6:
        Quit(state(), module);
        break;
      case 7:
        switch (TakeByte(in) % 4) {
          case 0:
            MemoryAskSwitch();
            break;
          case 1:
            MemoryCloseWindow();
            break;
          case 2:
            OnPaletteCommand(state(), (TakeByte(in) & 1) != 0 ? 1 : -1);
            break;
          case 3:
            MemoryResizeClient(TakeU16(in) % 2048, TakeU16(in) % 2048);
            break;
        }
        break;
      case 8:
        MemorySetModesRefused((TakeByte(in) & 1) != 0);
        break;
      case 9: {
        auto call = static_cast<MemoryCall>(TakeByte(in) % static_cast<int>(MemoryCall::Count));
        MemoryFail(call, kFailures[TakeByte(in) % std::size(kFailures)]);
        break;
      }
      case 10:
        switch (TakeByte(in) % 5) {
          case 0:
            MemoryLoseSurfaces();
            break;
          case 1:
            MemorySetVideoMemoryExhausted((TakeByte(in) & 1) != 0);
            break;
          case 2:
            MemorySetOffscreenPitch(TakeU16(in) % 1024);
            break;
          case 3:
            g_allocationsUntilFailure = TakeByte(in) % 12;
            break;
          case 4:
            MemoryClearRecords();
            break;
        }
        break;
      case 11:
        MemorySetApplicationActive((TakeByte(in) & 1) != 0);
        break;
      case 12: ChangeSetting(in); break;
      case 13: {
        // Wrap-around counters: a long-running effect reaches every value.
        FrameCounters counters = state().Effect.Counters();
        counters.FrameCounter = TakeU32(in);
        counters.TextureScroll = TakeU16(in);
        state().Effect.SetCounters(counters);
        break;
      }
    }
  }

  // A host always ends with Quit, also after a failed Init (which has torn down already).
  Quit(state(), module);
  CheckNothingAlive();
  TableAllocator = DefaultTableAllocator;
  return 0;
}
