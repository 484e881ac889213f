// The test host's cases, their options, and the helpers they share for driving the plug-in.
#pragma once
#include <string>
#include <vector>

#include "host_window.h"
#include "plugin_api.h"

struct HostOptions {
  std::string pluginDir;   // folder with vis_tavelmir.dll and a complete TavelDat\ (Windows path)
  std::string layoutRoot;  // folder holding the test plug-in folders (good, no-palettes, no-fade, ...)
  std::string waveform;    // 1152-byte waveform blocks, one per frame
  std::string dump;        // the native build's frames for the same blocks
  std::string hdWindow;    // its smooth frames (--look hd) at 640 x 480, the normal window's client area
  std::string hdDock;      // the same at 480 x 300
  std::string artifact;    // PNG of one captured frame
  std::string log;         // this run's log (helper programs write theirs beside it)
  int frames = 300;
  int cycles = 100;
};

void RunHarnessCase(const HostOptions& options);
void RunHeaderCase(const HostOptions& options);
void RunFramesCase(const HostOptions& options);
void RunKeysCase(const HostOptions& options);
void RunSameThreadCase(const HostOptions& options);
void RunInitFailureCase(const HostOptions& options);
void RunCycleCase(const HostOptions& options);
void RunLifecycleCase(const HostOptions& options);
void RunLayoutsCase(const HostOptions& options);
void RunAltTabCase(const HostOptions& options);
void RunTakeFocusCase(const HostOptions& options);
void RunBringBackCase(const HostOptions& options);
void RunScaledCase(const HostOptions& options);
void RunBorderlessCase(const HostOptions& options);
void RunWindowCase(const HostOptions& options);
void RunDockCase(const HostOptions& options);
void RunDockDecoderCase(const HostOptions& options);
void RunWindowHomeCase(const HostOptions& options);
void RunFullScreenQuitCase(const HostOptions& options);
void RunSmoothPictureCase(const HostOptions& options);
void RunHdResizeTimingCase(const HostOptions& options);  // bench/hd_resize_wine.sh, not a test

// Helpers shared by the cases.
HWND FindDisplayWindow();  // the full-screen window, by its class "MainWndClass"
bool DisplayClassRegistered(HINSTANCE instance);
// Pumps the calling thread's messages for about `milliseconds`; reports a WM_QUIT and its code.
void PumpFor(int milliseconds, bool* quitSeen = nullptr, int* quitCode = nullptr);
// A deterministic waveform block for frame `frame` (used where no waveform file is given).
void MakeWaveBlock(int frame, signed char block[2][576]);
// Copies the block into the module and calls Render.
int RenderBlock(HostModule* module, const signed char block[2][576]);
// The capture's self-check: a palettized DirectDraw picture of our own must read back exactly.
void CheckDirectDrawCapture(HWND parent);
std::vector<unsigned char> ReadWholeBinaryFile(const std::string& path);
