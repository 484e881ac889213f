// Fuzz target: a host's calls in any order (Config, Init, Render, Quit), window messages, settings changed in place
// and failures injected into the headless platform; after the final Quit nothing may be left alive.
#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "plugin/effect_state.h"
#include "plugin/lifecycle.h"
#include "platform/platform.h"
#include "plugin/settings_store.h"

namespace {

constexpr HRESULT kFailures[] = {DDERR_GENERIC,    DDERR_SURFACELOST, DDERR_OUTOFVIDEOMEMORY, DDERR_OUTOFMEMORY,
                                 DDERR_SURFACEBUSY, DDERR_NOTLOCKED,  DDERR_CANTCREATEDC,     DD_OK};
constexpr UINT kMessages[] = {WM_KEYDOWN, WM_KEYUP,    WM_CHAR,     WM_ACTIVATEAPP, WM_SETCURSOR,
                              WM_CLOSE,   WM_DESTROY,  WM_ERASEBKGND, WM_SHOWWINDOW, WM_USER};

// The n-th table allocation from now fails (0: none).
int g_allocationsUntilFailure = 0;
void* CountingAllocator(std::size_t bytes) {
  if (g_allocationsUntilFailure > 0 && --g_allocationsUntilFailure == 0) return nullptr;
  return DefaultTableAllocator(bytes);
}

// A settings change as the dialog makes one while the effect runs: one field in place, then the parameters.
void ChangeSetting(FuzzBytes& in) {
  EffectSettings& s = g_state.Settings;
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
    case 9: SettingsFromParams(); break;
  }
  DeriveEffectParams();
  g_state.Effect.ApplySettings(s);
}

void FillWaveform(VisModule* module, FuzzBytes& in) {
  std::uint8_t seed = TakeByte(in), step = TakeByte(in);
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < 576; ++i)
      module->waveformData[c][i] = static_cast<unsigned char>(seed + step * i + c * 91);
}

void CheckNothingAlive() {
  HeadlessDirectDrawCounts dd = HeadlessLiveDirectDrawObjects();
  FuzzCheck(dd.directDraws == 0 && dd.surfaces == 0 && dd.palettes == 0 && dd.surfaceDCs == 0,
            "DirectDraw objects alive after Quit");
  FuzzCheck(HeadlessCallsOnReleasedObjects() == 0, "a call on a released DirectDraw object");
  FuzzCheck(HeadlessLiveWindows() == 0, "a window alive after Quit");
  FuzzCheck(HeadlessRegisteredClasses() == 0, "the window class still registered after Quit");
  FuzzCheck(HeadlessLiveGdiObjects() == 0, "GDI objects alive after Quit");
  FuzzCheck(!g_state.Effect.Built() && g_state.Effect.PaletteCount() == 0, "table or palette set kept after Quit");
  const TableSet& t = g_state.Effect.Tables();
  FuzzCheck(t.WaveBuffer[0] == nullptr && t.WaveBuffer[1] == nullptr && t.HeightMap == nullptr &&
                t.PerspectiveTable == nullptr && t.ConversionTable == nullptr && t.TextureMap == nullptr &&
                t.FadeTable == nullptr && t.LandscapeImage == nullptr && t.TunnelTable == nullptr,
            "a table block kept after Quit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool dataWritten = false;
  const PluginFolder& folder = FreshFuzzSession();
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
      case 0: module->Config(module); break;
      case 1: case 2: module->Init(module); break;
      case 3: case 4: case 5: {
        FillWaveform(module, in);
        int result = module->Render(module);
        FuzzCheck(result == 0 || result == 1, "Render answered neither 0 nor 1");
        break;
      }
      case 6: module->Quit(module); break;
      case 7: {
        UINT message = kMessages[TakeByte(in) % std::size(kMessages)];
        WPARAM wParam = TakeByte(in);
        HeadlessDeliver(g_state.Screen.Window, message, message == WM_ACTIVATEAPP ? (wParam & 1) : wParam, 0);
        break;
      }
      case 8: HeadlessPumpMessages(); break;
      case 9: {
        auto call = static_cast<HeadlessDdCall>(TakeByte(in) % static_cast<int>(HeadlessDdCall::Count));
        HeadlessInjectDirectDrawResult(call, kFailures[TakeByte(in) % std::size(kFailures)]);
        break;
      }
      case 10:
        switch (TakeByte(in) % 7) {
          case 0: HeadlessFailNextRegisterClass(); break;
          case 1: HeadlessFailNextCreateWindow(); break;
          case 2: HeadlessFailNextCreateCompatibleDC(); break;
          case 3: HeadlessLoseSurfaces(); break;
          case 4: HeadlessSetVideoMemoryExhausted((TakeByte(in) & 1) != 0); break;
          case 5: HeadlessSetOffscreenPitch(TakeU16(in) % 1024); break;
          case 6: g_allocationsUntilFailure = TakeByte(in) % 12; break;
        }
        break;
      case 11: HeadlessSetApplicationActive((TakeByte(in) & 1) != 0); break;
      case 12: ChangeSetting(in); break;
      case 13: {
        // Wrap-around counters: a long-running effect reaches every value.
        FrameCounters counters = g_state.Effect.Counters();
        counters.FrameCounter = TakeU32(in);
        counters.TextureScroll = TakeU16(in);
        g_state.Effect.SetCounters(counters);
        break;
      }
    }
  }

  // A host always ends with Quit, also after a failed Init (which has torn down already).
  module->Quit(module);
  CheckNothingAlive();
  TableAllocator = DefaultTableAllocator;
  return 0;
}
