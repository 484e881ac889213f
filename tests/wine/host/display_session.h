// A plug-in session in the test host (host window, plug-in loaded, Init run) and the comparison of what the screen
// shows with the native build's frames for the same waveform.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "host_cases.h"
#include "screen_capture.h"

constexpr std::size_t kDumpRecord = kFramePixels + 768;  // indices of one frame, then its palette as R, G, B

struct NativeRun {
  std::vector<unsigned char> wave, dump;
  int frames = 0;
};
bool LoadNativeRun(const HostOptions& options, NativeRun* run);

// Where the frame lies in a capture: the capture's size and the picture's rectangle in it.
struct Placement {
  int captureWidth, captureHeight, left, top, width, height;
};
constexpr Placement kEffectScreen{kScreenWidth, kScreenHeight, 0, 0, kScreenWidth, kScreenHeight};

// The largest 4:3 area of a client area, centred, as a window shows the picture.
Placement FourThirdsIn(int width, int height);
// The same for a window's whole client area.
Placement FourThirdsInClient(HWND window);

// After Render n the screen shows the native picture n - 1 through the palette of n, each screen pixel taking the
// frame pixel whose span holds its centre, black around the picture.
void ExpectedScreen(const NativeRun& run, int n, const Placement& p, ScreenShot* shot);

struct Comparison {
  int frames = 0, badFrames = 0;
  long long badPixels = 0;
  ScreenShot lastShot;
};

// Renders the native run's blocks first..last, capturing `window` after each Render and comparing the capture
// with the native picture; not after the run's first block, nor after `first` when the display was just
// (re)made and shows no previous picture. `pump` when this thread owns the windows.
void RenderAndCompare(HostModule* module, HWND window, const NativeRun& run, int first, int last, const Placement& p,
                      bool pump, Comparison* result, bool afterNewDisplay = false);
// The number of pixels of `shot` that differ from the picture after Render n.
int DifferingPixels(const NativeRun& run, int n, const Placement& p, const ScreenShot& shot);
void Report(const char* label, const Comparison& c);
void SaveCapture(const HostOptions& options, const char* suffix, const ScreenShot& shot);

// Render called from a decoder thread in bursts of five, as some hosts do, each frame compared, while the thread
// of the windows only pumps: first..last of the run.
struct DecoderThread {
  HostModule* module;
  HWND display;
  const NativeRun* run;
  int last;
  Placement placement;
  Comparison result;
  int first = 1;
};
DWORD WINAPI RenderInBursts(void* parameter);
// Starts RenderInBursts and pumps this thread's messages until it ends.
void RenderFromDecoderThread(DecoderThread* d);

// The native build's smooth picture (render --look hd --dump) at one size: per frame width x height x 3 bytes of red,
// green, blue. After Render n a window with "Picture=1" shows frame n of it.
struct HdRun {
  int width = 0, height = 0, frames = 0;
  std::vector<unsigned char> rgb;
};
bool LoadHdRun(const std::string& path, int width, int height, HdRun* run);
// As RenderAndCompare, each capture of the client area against the smooth frame of the same Render.
void RenderAndCompareHd(HostModule* module, HWND window, const NativeRun& run, const HdRun& hd, int first, int last,
                        Comparison* result);
// The pixels of `shot` (the client area's top-left hd.width x hd.height) that differ from smooth frame n.
int DifferingHdPixels(const HdRun& hd, int n, const ScreenShot& shot);

struct Session {
  HostWindow host;
  LoadedPlugin plugin;
  HWND display = nullptr;
};

// The host's window on a thread of its own or on this one, the plug-in loaded, Init run here. `findDisplay`
// finds the plug-in's window afterwards (by default the top-level window of class "MainWndClass").
bool BeginSession(const HostOptions& options, bool hostOnOwnThread, Session* s, HWND (*findDisplay)() = nullptr);
// Quit; the plug-in's window is gone and no box appeared; the plug-in unloaded, the host's window closed.
void EndSession(Session* s);

// One key of the plug-in's plugin.ini, set for as long as this lives; the file is put back as it was, that key
// removed (or the whole file, when there was none).
class IniKey {
 public:
  IniKey(const std::string& pluginDir, const char* key, const char* value);
  IniKey(const std::string& pluginDir, const char* value) : IniKey(pluginDir, "DisplayMode", value) {}
  ~IniKey();
  IniKey(const IniKey&) = delete;
  IniKey& operator=(const IniKey&) = delete;

 private:
  std::string path_, key_;
  bool hadFile_ = false;
};
