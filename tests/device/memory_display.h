// The in-memory display device the native tests drive the plug-in through: the display seam (plugin/video.h) over
// pixels in memory, with a failure to inject at each step, and what a test needs to look at the outcome.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/video.h"

struct Plugin;

// Result codes the device gives, as the system's DirectDraw does.
constexpr VidResult kMemoryGeneric = static_cast<VidResult>(0x80004005u);
constexpr VidResult kMemoryUnsupported = static_cast<VidResult>(0x80004001u);
constexpr VidResult kMemoryNotLocked = static_cast<VidResult>(0x88760248u);
constexpr VidResult kMemorySurfaceBusy = static_cast<VidResult>(0x887601AEu);

// The steps whose next result a test can choose, by the seam's names without "Vid" (CopyFast: VidCopy's fast way).
#define MEMORY_CALLS(X)                                                                                              \
  X(CreateDevice), X(SetExclusive), X(SetMode), X(CreatePalette), X(CreatePrimary), X(CreateOffscreen), X(Describe), \
      X(AttachPalette), X(Clear), X(Copy), X(CopyFast), X(Lock), X(Unlock), X(Restore), X(SetEntries), X(ErrorText), \
      X(RegisterClass), X(CreateWindow), X(HostMonitor), X(PlaceWindow), X(BeginDraw), X(DrawRows), X(DrawPixels)
#define MEMORY_CALL_ENUMERATOR(name) name
enum class MemoryCall { MEMORY_CALLS(MEMORY_CALL_ENUMERATOR), Count };

// Queues `result` for the next call of that kind (several are used in order): a failure makes the call fail
// without effect; kVidOk lets it go as it would (an Unlock then succeeds also on a surface not locked).
void MemoryFail(MemoryCall call, VidResult result = kMemoryGeneric);

// Back to the start: nothing alive, the desktop's mode (1024 x 768 x 32), nothing injected, the application active.
// `plugin` is the state the device's window reports to (activation, Alt+Enter), as the system's window procedure does.
void MemoryReset(Plugin* plugin);

// Conditions of the display.
void MemorySetVideoMemoryExhausted(bool exhausted);
void MemorySetOffscreenPitch(int pitch);   // bytes per row of new off-screen surfaces (0: the row's width)
void MemorySetModesRefused(bool refused);  // every mode change fails, as on a desktop that keeps its own
void MemoryLoseSurfaces();                 // Alt+Tab away and back: every live surface is lost until restored
void MemorySetDesktopSize(int width, int height);
void MemorySetSecondMonitor(int width, int height);  // right of the first; 0 x 0: none
void MemoryPlaceHostWindow(int x, int y);            // the host's window (240 x 120), which picks the monitor
void MemorySetModuleFileName(const std::string& name);

// What the system would tell the plug-in's window.
void MemorySetApplicationActive(bool active);
void MemoryAskSwitch();    // Alt+Enter
void MemoryCloseWindow();  // Escape: the window is destroyed before Quit
void MemoryResizeClient(int width, int height);
// Jobs started off Render's thread run on threads of their own at once unless held back; held ones run when the
// plug-in gives them back, or at MemoryRunHeldWork, which finishes every job.
void MemoryHoldWork(bool hold);
void MemoryRunHeldWork();

// What is on the display.
struct MemoryMode {
  int width, height, bitsPerPixel;
};
MemoryMode MemoryDisplayMode();
// The newest live screen or off-screen surface's pixels, width x height without the pitch (empty when none).
std::vector<std::uint8_t> MemoryScreenBytes();
std::vector<std::uint8_t> MemoryOffscreenBytes();
struct MemorySurfaceState {
  bool exists = false, systemMemory = false, locked = false;
  int width = 0, height = 0, pitch = 0;
  std::uint8_t* pixels = nullptr;  // with the pitch
};
MemorySurfaceState MemoryOffscreen();
// The entries of the palette attached to the newest screen surface (false: none).
bool MemoryScreenPalette(VidColour entries[256]);
struct MemoryLive {
  int devices, surfaces, palettes, canvases;
};
MemoryLive MemoryLiveObjects();
int MemoryCallsOnReleasedObjects();

struct MemoryWindow {
  bool classRegistered = false, exists = false;
  VidPlacement placement = VidPlacement::TopMost;
  VidRect outer{};
  int clientWidth = 0, clientHeight = 0;
  std::vector<std::uint32_t> pixels;  // the client area, 0x00RRGGBB, row by row
};
MemoryWindow MemoryWindowState();

struct MemoryMessageBox {
  std::string text, caption;
  bool errorIcon, afterTeardown;
};
const std::vector<MemoryMessageBox>& MemoryMessageBoxes();
// The lines drawn by VidDrawErrorText.
const std::vector<std::string>& MemoryErrorTexts();
// The device's calls in order, by the seam's names without "Vid" ("CreateDevice", "ReleaseSurface", "MessageBox").
const std::vector<std::string>& MemoryCalls();
void MemoryClearRecords();
