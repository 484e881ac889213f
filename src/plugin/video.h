// The plug-in's display seam: everything it asks of the system's display and windows, and nothing else. The
// plug-in's code reaches the screen only through these calls; one backend implements them per system (video_win32.cpp,
// over DirectDraw and GDI, for the DLL; an in-memory device for the native tests).
#pragma once
#include <cstddef>
#include <cstdint>

struct VisModule;

// The backend's objects, opaque to the plug-in.
struct VidDevice;   // the display device, while the plug-in uses it
struct VidSurface;  // the screen (primary) surface or the 320 x 200 off-screen one
struct VidPalette;  // the display's 256 colours
struct VidWindow;   // the plug-in's window
struct VidCanvas;   // the window's client area while it is drawn into

// The system's own result codes: kept and shown in the error texts as they come.
using VidResult = std::int32_t;
constexpr VidResult kVidOk = 0;
constexpr VidResult kVidSurfaceLost = static_cast<VidResult>(0x887601C2u);
constexpr VidResult kVidOutOfVideoMemory = static_cast<VidResult>(0x8876017Cu);

// One palette entry, as the system's 8-bit palettes have it.
struct VidColour {
  std::uint8_t red, green, blue, flags;
  bool operator==(const VidColour&) const = default;
};
struct VidRect {
  int left, top, right, bottom;
  bool operator==(const VidRect&) const = default;
};
// A surface's geometry; pixels only while it is locked.
struct VidFrame {
  std::uint8_t* pixels;
  int width, height, pitch;
};

// --- The device: exclusive use, an 8-bit mode, two surfaces and a palette -------------------------------------------
VidResult VidCreateDevice(VidDevice** device);
// Exclusive full-screen use of the display for `window`.
VidResult VidSetExclusive(VidDevice* device, VidWindow* window);
// width x height at 8 bits per pixel.
VidResult VidSetMode(VidDevice* device, int width, int height);
// A palette of 256 entries whose 0 and 255 the display keeps as black and white.
VidResult VidCreatePalette(VidDevice* device, const VidColour entries[256], VidPalette** palette);
VidResult VidCreatePrimary(VidDevice* device, VidSurface** surface);
// In video memory unless `systemMemory`; kVidOutOfVideoMemory when there is none left.
VidResult VidCreateOffscreen(VidDevice* device, int width, int height, bool systemMemory, VidSurface** surface);
VidResult VidDescribe(VidSurface* surface, VidFrame* geometry);
VidResult VidAttachPalette(VidSurface* screen, VidPalette* palette);
// Fills the whole surface with index 0.
VidResult VidClear(VidSurface* screen);
// Copies `from` of `frame` onto `screen`: into `to` (stretched), or at the top-left corner when `to` is null;
// `fast` is the copy without stretching that only a surface in video memory allows.
VidResult VidCopy(VidSurface* screen, const VidRect* to, VidSurface* frame, const VidRect& from, bool fast);
VidResult VidLock(VidSurface* surface, VidFrame* locked);
VidResult VidUnlock(VidSurface* surface);
// A lost surface back (in video memory, without its picture).
VidResult VidRestore(VidSurface* surface);
VidResult VidSetEntries(VidPalette* palette, const VidColour entries[256]);
// One line of text, yellow on blue, at the top-left corner; false when the surface gives no drawing context.
bool VidDrawErrorText(VidSurface* screen, const char* text);
void VidRelease(VidSurface* surface);
void VidRelease(VidPalette* palette);
// Also gives the desktop its own mode back.
void VidRelease(VidDevice* device);

// --- The window -----------------------------------------------------------------------------------------------------
// The window class of the plug-in's window, for the module's instance.
bool VidRegisterClass(VisModule* module);
void VidUnregisterClass(VisModule* module);
// The top-most pop-up window over the whole desktop as it is now, owned by the host's window, shown; null on failure.
VidWindow* VidCreateWindow(VisModule* module);
// Destroying a window already gone (after Escape) does nothing.
void VidDestroyWindow(VidWindow* window);
// The whole desktop, in screen coordinates.
VidRect VidDesktopRect();
// The monitor of the host's window: its whole rectangle and the part not taken by task bars.
bool VidHostMonitor(VisModule* module, VidRect* monitor, VidRect* work);
enum class VidPlacement { TopMost, Normal };
// Top-most pop-up (full screen, borderless) or a normal resizable window, at `outer`, shown.
bool VidPlaceWindow(VidWindow* window, VidPlacement placement, const VidRect& outer);
// The client area's size; false when there is no window.
bool VidClientSize(VidWindow* window, int* width, int* height);
VidCanvas* VidBeginDraw(VidWindow* window);
void VidEndDraw(VidWindow* window, VidCanvas* canvas);
void VidFillBlack(VidCanvas* canvas, const VidRect& area);
// `row` (width indices through `colours`, each 0x00RRGGBB) repeated over `rows` rows from (left, top).
bool VidDrawRows(VidCanvas* canvas, int left, int top, int width, int rows, const std::uint8_t* row,
                 const std::uint32_t colours[256]);
// width x height pixels 0x00RRGGBB, top row first, at the client area's top-left corner.
bool VidDrawPixels(VidCanvas* canvas, int width, int height, const std::uint32_t* pixels);

// --- Work off Render's thread ---------------------------------------------------------------------------------------
// A job for a thread of its own: `run` is called once, with the job itself.
struct VidJob {
  void (*run)(VidJob* job);
};
struct VidWork;  // a job started, until it is finished
// Starts `job` on a thread of its own; null when no thread could be had.
VidWork* VidStartWork(VidJob* job);
// Whether the job has ended, after waiting up to `milliseconds` for it (what it wrote is then visible to the caller).
bool VidWaitWork(VidWork* work, int milliseconds);
// Waits until the job has ended and gives its thread back.
void VidFinishWork(VidWork* work);

// --- The host -------------------------------------------------------------------------------------------------------
// A message box owned by the host's window. After a teardown the window's quit message is held back while the box
// is up (its own loop would close it at once) and posted again afterwards, for the host's loop.
void VidTell(VisModule* module, const char* text, const char* caption, bool errorIcon, bool afterTeardown);
// The full name of the module's library file; its length (the size when cut).
std::size_t VidModuleFileName(VisModule* module, char* name, std::size_t size);
