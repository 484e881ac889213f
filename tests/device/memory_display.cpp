// The in-memory display device: surfaces, palettes and one window as plain memory, the system's window ways reduced
// to one monitor's worth, and no player frame.
#include "device/memory_display.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>

#include "plugin/display_events.h"
#include "plugin/plugin_state.h"
#include "plugin/settings_dialog.h"
#include "plugin/settings_store.h"
#include "plugin/window_home.h"

struct VidDevice {
  bool released = false;
};
struct VidPalette {
  VidColour entries[256]{};
  bool released = false;
};
struct VidSurface {
  bool primary = false, systemMemory = false, lost = false, locked = false, released = false;
  int width = 0, height = 0, pitch = 0;
  std::vector<std::uint8_t> pixels;
  VidPalette* palette = nullptr;
};
struct VidWindow {
  bool exists = false;
  VidPlacement placement = VidPlacement::TopMost;
  VidRect outer{};
  int clientWidth = 0, clientHeight = 0;
  std::vector<std::uint32_t> pixels;
};
struct VidCanvas {
  VidWindow* window = nullptr;
};
struct VidWork {
  VidJob* job = nullptr;
  bool done = false;
};

namespace {

// A normal window's frame around its client area, and the task bar at the bottom of the first monitor.
constexpr VidRect kFrame{8, 31, 8, 8};
constexpr int kTaskBar = 40;

struct Device {
  Plugin* plugin = nullptr;
  std::deque<std::unique_ptr<VidDevice>> devices;
  std::deque<std::unique_ptr<VidSurface>> surfaces;
  std::deque<std::unique_ptr<VidPalette>> palettes;
  std::deque<std::unique_ptr<VidWindow>> windows;  // the newest last; none is freed before a reset
  VidWindow* window = nullptr;
  std::deque<std::unique_ptr<VidCanvas>> canvases;
  std::deque<std::unique_ptr<VidWork>> works;
  bool holdWork = false;
  std::vector<VidResult> injected[static_cast<int>(MemoryCall::Count)];
  MemoryMode desktop{1024, 768, 32}, mode{1024, 768, 32};
  bool videoMemoryExhausted = false, modesRefused = false, classRegistered = false, active = true;
  int offscreenPitch = 0, secondWidth = 0, secondHeight = 0, hostX = 20, hostY = 20, liveCanvases = 0;
  int callsOnReleased = 0;
  std::string moduleFileName;
  std::vector<MemoryMessageBox> boxes;
  std::vector<std::string> texts, calls;
};

Device& D() {
  static Device device;
  return device;
}

// The call's injected result, if any; the call is logged either way.
bool Injected(MemoryCall call, const char* name, VidResult* result) {
  D().calls.push_back(name);
  std::vector<VidResult>& queue = D().injected[static_cast<int>(call)];
  if (queue.empty()) return false;
  *result = queue.front();
  queue.erase(queue.begin());
  return true;
}
bool Fails(MemoryCall call, const char* name) {
  VidResult result = kVidOk;
  return Injected(call, name, &result) && result != kVidOk;
}
template <typename T>
bool Released(const T* object) {
  if (object == nullptr || object->released) ++D().callsOnReleased;
  return object == nullptr || object->released;
}

VidSurface* Newest(bool primary) {
  for (auto it = D().surfaces.rbegin(); it != D().surfaces.rend(); ++it)
    if (!(*it)->released && (*it)->primary == primary) return it->get();
  return nullptr;
}
std::vector<std::uint8_t> Bytes(const VidSurface* s) {
  std::vector<std::uint8_t> bytes;
  if (s == nullptr) return bytes;
  for (int y = 0; y < s->height; ++y)
    bytes.insert(bytes.end(), s->pixels.begin() + y * s->pitch, s->pixels.begin() + y * s->pitch + s->width);
  return bytes;
}

VidRect Monitor(int index) {
  return index == 0 ? VidRect{0, 0, D().desktop.width, D().desktop.height}
                    : VidRect{D().desktop.width, 0, D().desktop.width + D().secondWidth, D().secondHeight};
}

void Resize(VidWindow& w, const VidRect& outer) {
  w.outer = outer;
  const bool framed = w.placement == VidPlacement::Normal;
  w.clientWidth = std::max(0, outer.right - outer.left - (framed ? kFrame.left + kFrame.right : 0));
  w.clientHeight = std::max(0, outer.bottom - outer.top - (framed ? kFrame.top + kFrame.bottom : 0));
  w.pixels.assign(static_cast<std::size_t>(w.clientWidth) * w.clientHeight, 0);
}

VidResult NewSurface(bool primary, int width, int height, int pitch, bool systemMemory, VidSurface** out) {
  auto s = std::make_unique<VidSurface>();
  s->primary = primary;
  s->systemMemory = systemMemory;
  s->width = width;
  s->height = height;
  s->pitch = std::max(pitch, width);
  s->pixels.assign(static_cast<std::size_t>(s->pitch) * height, 0);
  *out = s.get();
  D().surfaces.push_back(std::move(s));
  return kVidOk;
}

}  // namespace

// --- The seam -------------------------------------------------------------------------------------------------------

VidResult VidCreateDevice(VidDevice** device) {
  VidResult result = kVidOk;
  *device = nullptr;
  if (Injected(MemoryCall::CreateDevice, "CreateDevice", &result) && result != kVidOk) return result;
  D().devices.push_back(std::make_unique<VidDevice>());
  *device = D().devices.back().get();
  return kVidOk;
}

VidResult VidSetExclusive(VidDevice* device, VidWindow*) {
  VidResult result = kVidOk;
  if (Injected(MemoryCall::SetExclusive, "SetExclusive", &result)) return result;
  return Released(device) ? kMemoryGeneric : kVidOk;
}

VidResult VidSetMode(VidDevice* device, int width, int height) {
  VidResult result = kVidOk;
  if (Injected(MemoryCall::SetMode, "SetMode", &result) && result != kVidOk) return result;
  if (Released(device)) return kMemoryGeneric;
  if (D().modesRefused) return kMemoryUnsupported;
  D().mode = MemoryMode{width, height, 8};
  return kVidOk;
}

VidResult VidCreatePalette(VidDevice* device, const VidColour entries[256], VidPalette** palette) {
  VidResult result = kVidOk;
  *palette = nullptr;
  if (Injected(MemoryCall::CreatePalette, "CreatePalette", &result) && result != kVidOk) return result;
  if (Released(device)) return kMemoryGeneric;
  D().palettes.push_back(std::make_unique<VidPalette>());
  std::memcpy(D().palettes.back()->entries, entries, sizeof D().palettes.back()->entries);
  *palette = D().palettes.back().get();
  return kVidOk;
}

VidResult VidCreatePrimary(VidDevice* device, VidSurface** surface) {
  VidResult result = kVidOk;
  *surface = nullptr;
  if (Injected(MemoryCall::CreatePrimary, "CreatePrimary", &result) && result != kVidOk) return result;
  if (Released(device)) return kMemoryGeneric;
  return NewSurface(true, D().mode.width, D().mode.height, 0, false, surface);
}

VidResult VidCreateOffscreen(VidDevice* device, int width, int height, bool systemMemory, VidSurface** surface) {
  VidResult result = kVidOk;
  *surface = nullptr;
  if (Injected(MemoryCall::CreateOffscreen, "CreateOffscreen", &result) && result != kVidOk) return result;
  if (Released(device)) return kMemoryGeneric;
  if (!systemMemory && D().videoMemoryExhausted) return kVidOutOfVideoMemory;
  return NewSurface(false, width, height, D().offscreenPitch, systemMemory, surface);
}

VidResult VidDescribe(VidSurface* surface, VidFrame* geometry) {
  VidResult result = kVidOk;
  if (Injected(MemoryCall::Describe, "Describe", &result) && result != kVidOk) return result;
  if (Released(surface)) return kMemoryGeneric;
  *geometry =
      VidFrame{surface->locked ? surface->pixels.data() : nullptr, surface->width, surface->height, surface->pitch};
  return kVidOk;
}

VidResult VidAttachPalette(VidSurface* screen, VidPalette* palette) {
  VidResult result = kVidOk;
  if (Injected(MemoryCall::AttachPalette, "AttachPalette", &result) && result != kVidOk) return result;
  if (Released(screen) || Released(palette)) return kMemoryGeneric;
  screen->palette = palette;
  return kVidOk;
}

VidResult VidClear(VidSurface* screen) {
  VidResult result = kVidOk;
  if (Injected(MemoryCall::Clear, "Clear", &result) && result != kVidOk) return result;
  if (Released(screen)) return kMemoryGeneric;
  if (screen->lost) return kVidSurfaceLost;
  std::fill(screen->pixels.begin(), screen->pixels.end(), 0);
  return kVidOk;
}

VidResult VidCopy(VidSurface* screen, const VidRect* to, VidSurface* frame, const VidRect& from, bool fast) {
  VidResult result = kVidOk;
  if (Injected(fast ? MemoryCall::CopyFast : MemoryCall::Copy, fast ? "CopyFast" : "Copy", &result)) return result;
  if (Released(screen) || Released(frame)) return kMemoryGeneric;
  if (screen->lost || frame->lost) return kVidSurfaceLost;
  if (fast && frame->systemMemory) return kMemoryGeneric;
  const int fw = from.right - from.left, fh = from.bottom - from.top;
  const VidRect target = to != nullptr ? *to
                         : fast        ? VidRect{0, 0, fw, fh}
                                       : VidRect{0, 0, screen->width, screen->height};
  const int tw = target.right - target.left, th = target.bottom - target.top;
  for (int y = 0; y < th; ++y)
    for (int x = 0; x < tw; ++x)
      screen->pixels[(target.top + y) * screen->pitch + target.left + x] =
          frame->pixels[(from.top + y * fh / th) * frame->pitch + from.left + x * fw / tw];
  return kVidOk;
}

VidResult VidLock(VidSurface* surface, VidFrame* locked) {
  VidResult result = kVidOk;
  if (Injected(MemoryCall::Lock, "Lock", &result) && result != kVidOk) return result;
  if (Released(surface)) return kMemoryGeneric;
  if (surface->lost) return kVidSurfaceLost;
  if (surface->locked) return kMemorySurfaceBusy;
  surface->locked = true;
  *locked = VidFrame{surface->pixels.data(), surface->width, surface->height, surface->pitch};
  return kVidOk;
}

VidResult VidUnlock(VidSurface* surface) {
  VidResult result = kVidOk;
  if (Injected(MemoryCall::Unlock, "Unlock", &result)) {
    if (result == kVidOk && surface != nullptr) surface->locked = false;
    return result;
  }
  if (Released(surface)) return kMemoryGeneric;
  if (!surface->locked) return kMemoryNotLocked;
  surface->locked = false;
  return kVidOk;
}

VidResult VidRestore(VidSurface* surface) {
  VidResult result = kVidOk;
  if (Injected(MemoryCall::Restore, "Restore", &result) && result != kVidOk) return result;
  if (Released(surface)) return kMemoryGeneric;
  // A surface in video memory comes back without its picture; one in system memory never lost it.
  if (surface->lost && !surface->systemMemory) std::fill(surface->pixels.begin(), surface->pixels.end(), 0);
  surface->lost = false;
  return kVidOk;
}

VidResult VidSetEntries(VidPalette* palette, const VidColour entries[256]) {
  VidResult result = kVidOk;
  if (Injected(MemoryCall::SetEntries, "SetEntries", &result) && result != kVidOk) return result;
  if (Released(palette)) return kMemoryGeneric;
  std::memcpy(palette->entries, entries, sizeof palette->entries);
  return kVidOk;
}

bool VidDrawErrorText(VidSurface* screen, const char* text) {
  if (Fails(MemoryCall::ErrorText, "ErrorText") || Released(screen) || screen->lost) return false;
  D().texts.push_back(text);
  return true;
}

void VidRelease(VidSurface* surface) {
  D().calls.push_back("ReleaseSurface");
  if (!Released(surface)) surface->released = true;
}
void VidRelease(VidPalette* palette) {
  D().calls.push_back("ReleasePalette");
  if (!Released(palette)) palette->released = true;
}
void VidRelease(VidDevice* device) {
  D().calls.push_back("ReleaseDevice");
  if (Released(device)) return;
  device->released = true;
  D().mode = D().desktop;
}

bool VidRegisterClass(VisModule*) {
  if (Fails(MemoryCall::RegisterClass, "RegisterClass") || D().classRegistered) return false;
  D().classRegistered = true;
  return true;
}

void VidUnregisterClass(VisModule*) {
  D().calls.push_back("UnregisterClass");
  D().classRegistered = false;
}

VidWindow* VidCreateWindow(VisModule*) {
  if (Fails(MemoryCall::CreateWindow, "CreateWindow") || !D().classRegistered) return nullptr;
  D().windows.push_back(std::make_unique<VidWindow>());
  D().window = D().windows.back().get();
  D().window->exists = true;
  Resize(*D().window, VidDesktopRect());
  // Shown, it becomes the active window while the application is.
  if (D().plugin != nullptr) OnWindowActivated(*D().plugin, D().active);
  return D().window;
}

void VidDestroyWindow(VidWindow* window) {
  D().calls.push_back("DestroyWindow");
  if (window != nullptr) window->exists = false;
}

VidRect VidDesktopRect() { return Monitor(0); }

bool VidHostMonitor(VisModule*, VidRect* monitor, VidRect* work) {
  if (Fails(MemoryCall::HostMonitor, "HostMonitor")) return false;
  const int centre = D().hostX + 120;
  *monitor = Monitor(D().secondWidth > 0 && centre >= D().desktop.width ? 1 : 0);
  *work = *monitor;
  work->bottom -= kTaskBar;
  return true;
}

bool VidPlaceWindow(VidWindow* window, VidPlacement placement, const VidRect& outer) {
  if (Fails(MemoryCall::PlaceWindow, "PlaceWindow") || window == nullptr || !window->exists) return false;
  window->placement = placement;
  Resize(*window, outer);
  return true;
}

bool VidClientSize(VidWindow* window, int* width, int* height) {
  if (window == nullptr || !window->exists) return false;
  *width = window->clientWidth;
  *height = window->clientHeight;
  return true;
}

VidCanvas* VidBeginDraw(VidWindow* window) {
  if (Fails(MemoryCall::BeginDraw, "BeginDraw") || window == nullptr || !window->exists) return nullptr;
  D().canvases.push_back(std::make_unique<VidCanvas>(VidCanvas{window}));
  ++D().liveCanvases;
  return D().canvases.back().get();
}

void VidEndDraw(VidWindow*, VidCanvas* canvas) {
  if (canvas != nullptr && canvas->window != nullptr) --D().liveCanvases;
  if (canvas != nullptr) canvas->window = nullptr;
  if (D().canvases.size() > 64) D().canvases.pop_front();
}

namespace {
void Put(VidCanvas* canvas, int x, int y, std::uint32_t colour) {
  VidWindow& w = *canvas->window;
  if (x >= 0 && y >= 0 && x < w.clientWidth && y < w.clientHeight) w.pixels[y * w.clientWidth + x] = colour;
}
}  // namespace

void VidFillBlack(VidCanvas* canvas, const VidRect& area) {
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) Put(canvas, x, y, 0);
}

bool VidDrawRows(VidCanvas* canvas, int left, int top, int width, int rows, const std::uint8_t* row,
                 const std::uint32_t colours[256]) {
  if (Fails(MemoryCall::DrawRows, "DrawRows")) return false;
  for (int y = top; y < top + rows; ++y)
    for (int x = 0; x < width; ++x) Put(canvas, left + x, y, colours[row[x]] & 0xFFFFFF);
  return true;
}

bool VidDrawPixels(VidCanvas* canvas, int width, int height, const std::uint32_t* pixels) {
  if (Fails(MemoryCall::DrawPixels, "DrawPixels")) return false;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) Put(canvas, x, y, pixels[y * width + x] & 0xFFFFFF);
  return true;
}

// A job runs at once, in the caller's thread, unless the test holds it back to see the frames meanwhile.
VidWork* VidStartWork(VidJob* job) {
  D().calls.push_back("StartWork");
  D().works.push_back(std::make_unique<VidWork>(VidWork{job, false}));
  if (!D().holdWork) VidFinishWork(D().works.back().get());
  return D().works.back().get();
}

bool VidWorkDone(VidWork* work) { return work->done; }

void VidFinishWork(VidWork* work) {
  if (!work->done) work->job->run(work->job);
  work->done = true;
}

void VidTell(VisModule*, const char* text, const char* caption, bool errorIcon, bool afterTeardown) {
  D().calls.push_back("MessageBox");
  D().boxes.push_back(MemoryMessageBox{text, caption, errorIcon, afterTeardown});
}

std::size_t VidModuleFileName(VisModule*, char* name, std::size_t size) {
  const std::size_t length = std::min(D().moduleFileName.size(), size);
  std::memcpy(name, D().moduleFileName.data(), length);
  if (length < size) name[length] = '\0';
  return length;
}

// --- The window ways and the dialog, where the device has no player frame and no dialog ----------------------------

DockOpenStatus OpenDockedWindow(Plugin&, VisModule*) { return kDockNotOffered; }
bool DockFrameAlive(Plugin&) { return false; }
bool PlayerOffersFrame(Plugin&, VisModule*) { return false; }
void FollowDockFrame(Plugin&) {}
void LeaveDock(Plugin&, VisModule*) {}
void CloseDock(Plugin&, VisModule*) {}
void NoteWindowGeometry(Plugin&) {}
VidRect CoveredArea(Plugin&) { return VidRect{}; }
void InvalidateCoveredArea(const VidRect&) {}

VidRect NormalWindowPlace(Plugin&, VisModule*, const VidRect& work, int clientWidth, int clientHeight) {
  const int width = std::min(clientWidth + kFrame.left + kFrame.right, work.right - work.left);
  const int height = std::min(clientHeight + kFrame.top + kFrame.bottom, work.bottom - work.top);
  const int left = work.left + (work.right - work.left - width) / 2;
  const int top = work.top + (work.bottom - work.top - height) / 2;
  return VidRect{left, top, left + width, top + height};
}

int ShowSettingsDialog(Plugin& plugin, VisModule* module) {
  plugin.Dialog.Module = module;
  LoadSettingsAndParams(plugin, module);
  return 2;
}

// --- Controls -------------------------------------------------------------------------------------------------------

void MemoryFail(MemoryCall call, VidResult result) { D().injected[static_cast<int>(call)].push_back(result); }

void MemoryReset(Plugin* plugin) {
  const std::string name = D().moduleFileName;
  D() = Device{};
  D().plugin = plugin;
  D().moduleFileName = name;
}

void MemorySetVideoMemoryExhausted(bool exhausted) { D().videoMemoryExhausted = exhausted; }
void MemorySetOffscreenPitch(int pitch) { D().offscreenPitch = pitch; }
void MemorySetModesRefused(bool refused) { D().modesRefused = refused; }
void MemoryLoseSurfaces() {
  for (auto& s : D().surfaces) s->lost = !s->released;
}
void MemorySetDesktopSize(int width, int height) { D().desktop = D().mode = MemoryMode{width, height, 32}; }
void MemorySetSecondMonitor(int width, int height) {
  D().secondWidth = width;
  D().secondHeight = height;
}
void MemoryPlaceHostWindow(int x, int y) {
  D().hostX = x;
  D().hostY = y;
}
void MemorySetModuleFileName(const std::string& name) { D().moduleFileName = name; }

void MemorySetApplicationActive(bool active) {
  D().active = active;
  if (D().plugin != nullptr && D().window != nullptr && D().window->exists) OnWindowActivated(*D().plugin, active);
}
void MemoryAskSwitch() {
  if (D().plugin != nullptr) OnSwitchAsked(*D().plugin);
}
void MemoryHoldWork(bool hold) { D().holdWork = hold; }
void MemoryRunHeldWork() {
  for (auto& work : D().works) VidFinishWork(work.get());
}
void MemoryCloseWindow() {
  if (D().window != nullptr) D().window->exists = false;
}
void MemoryResizeClient(int width, int height) {
  if (D().window == nullptr || !D().window->exists) return;
  VidWindow& w = *D().window;
  const bool framed = w.placement == VidPlacement::Normal;
  Resize(w, VidRect{w.outer.left, w.outer.top, w.outer.left + width + (framed ? kFrame.left + kFrame.right : 0),
                    w.outer.top + height + (framed ? kFrame.top + kFrame.bottom : 0)});
  if (D().plugin != nullptr) OnClientResized(*D().plugin, width, height);
}

MemoryMode MemoryDisplayMode() { return D().mode; }
std::vector<std::uint8_t> MemoryScreenBytes() { return Bytes(Newest(true)); }
std::vector<std::uint8_t> MemoryOffscreenBytes() { return Bytes(Newest(false)); }
MemorySurfaceState MemoryOffscreen() {
  VidSurface* s = Newest(false);
  if (s == nullptr) return MemorySurfaceState{};
  return MemorySurfaceState{true, s->systemMemory, s->locked, s->width, s->height, s->pitch, s->pixels.data()};
}
bool MemoryScreenPalette(VidColour entries[256]) {
  VidSurface* s = Newest(true);
  if (s == nullptr || s->palette == nullptr) return false;
  std::memcpy(entries, s->palette->entries, sizeof s->palette->entries);
  return true;
}
MemoryLive MemoryLiveObjects() {
  MemoryLive live{};
  for (auto& d : D().devices) live.devices += !d->released;
  for (auto& s : D().surfaces) live.surfaces += !s->released;
  for (auto& p : D().palettes) live.palettes += !p->released;
  live.canvases = D().liveCanvases;
  return live;
}
int MemoryCallsOnReleasedObjects() { return D().callsOnReleased; }
MemoryWindow MemoryWindowState() {
  MemoryWindow state{};
  state.classRegistered = D().classRegistered;
  if (D().window == nullptr) return state;
  const VidWindow& w = *D().window;
  state.exists = w.exists;
  state.placement = w.placement;
  state.outer = w.outer;
  state.clientWidth = w.clientWidth;
  state.clientHeight = w.clientHeight;
  state.pixels = w.pixels;
  return state;
}
const std::vector<MemoryMessageBox>& MemoryMessageBoxes() { return D().boxes; }
const std::vector<std::string>& MemoryErrorTexts() { return D().texts; }
const std::vector<std::string>& MemoryCalls() { return D().calls; }
void MemoryClearRecords() {
  D().boxes.clear();
  D().texts.clear();
  D().calls.clear();
}
