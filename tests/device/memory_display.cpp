// The in-memory display device: surfaces, palettes and one window as plain memory, the system's window ways reduced
// to one monitor's worth, and no player frame.
#include "device/memory_display.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <thread>

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
struct VidSurface : MemorySurfaceState {
  bool primary = false, lost = false, released = false;
  std::vector<std::uint8_t> bytes;  // with the pitch
  VidPalette* palette = nullptr;
};
struct VidWindow : MemoryWindow {};
struct VidCanvas {
  VidWindow* window = nullptr;
};
// A job on a thread of its own, as the system runs it; a held one is not started until it is waited for.
struct VidWork {
  VidJob* job = nullptr;
  std::jthread thread;
  bool done = false;
};

namespace {

#define MEMORY_CALL_NAME(name) #name
constexpr const char* kCallNames[] = {MEMORY_CALLS(MEMORY_CALL_NAME)};

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
  std::vector<VidResult> injected[static_cast<int>(MemoryCall::Count)];
  MemoryMode desktop{1024, 768, 32}, mode{1024, 768, 32};
  bool videoMemoryExhausted = false, modesRefused = false, classRegistered = false, active = true, holdWork = false;
  int offscreenPitch = 0, secondWidth = 0, secondHeight = 0, hostX = 20, liveCanvases = 0, callsOnReleased = 0;
  std::string moduleFileName;
  std::vector<MemoryMessageBox> boxes;
  std::vector<std::string> texts, calls;
};

Device& D() {
  static Device device;
  return device;
}

bool Released(const void* object, bool released) {
  if (object == nullptr || released) ++D().callsOnReleased;
  return object == nullptr || released;
}
template <typename T>
bool Released(const T* object) {
  return Released(object, object != nullptr && object->released);
}

// The step is logged and its injected result, if any, taken.
std::optional<VidResult> Injected(MemoryCall call) {
  D().calls.push_back(kCallNames[static_cast<int>(call)]);
  std::vector<VidResult>& queue = D().injected[static_cast<int>(call)];
  if (queue.empty()) return std::nullopt;
  const VidResult injected = queue.front();
  queue.erase(queue.begin());
  return injected;
}
// The step's injected failure, if any, else kMemoryGeneric where an object it is given is gone.
template <typename... T>
VidResult Step(MemoryCall call, const T*... objects) {
  const std::optional<VidResult> injected = Injected(call);
  if (injected && *injected != kVidOk) return *injected;
  return (false || ... || Released(objects)) ? kMemoryGeneric : kVidOk;
}
bool Fails(MemoryCall call) { return Step(call) != kVidOk; }

VidSurface* Newest(bool primary) {
  for (auto it = D().surfaces.rbegin(); it != D().surfaces.rend(); ++it)
    if (!(*it)->released && (*it)->primary == primary) return it->get();
  return nullptr;
}
std::vector<std::uint8_t> Bytes(const VidSurface* s) {
  std::vector<std::uint8_t> bytes;
  for (int y = 0; s != nullptr && y < s->height; ++y)
    bytes.insert(bytes.end(), s->bytes.begin() + y * s->pitch, s->bytes.begin() + y * s->pitch + s->width);
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
  s->exists = true;
  s->primary = primary;
  s->systemMemory = systemMemory;
  s->width = width;
  s->height = height;
  s->pitch = std::max(pitch, width);
  s->bytes.assign(static_cast<std::size_t>(s->pitch) * height, 0);
  s->pixels = s->bytes.data();
  *out = s.get();
  D().surfaces.push_back(std::move(s));
  return kVidOk;
}

void Put(VidCanvas* canvas, int x, int y, std::uint32_t colour) {
  VidWindow& w = *canvas->window;
  if (x >= 0 && y >= 0 && x < w.clientWidth && y < w.clientHeight) w.pixels[y * w.clientWidth + x] = colour & 0xFFFFFF;
}

}  // namespace

// --- The seam -------------------------------------------------------------------------------------------------------

VidResult VidCreateDevice(VidDevice** device) {
  *device = nullptr;
  if (VidResult result = Step(MemoryCall::CreateDevice); result != kVidOk) return result;
  *device = D().devices.emplace_back(std::make_unique<VidDevice>()).get();
  return kVidOk;
}

VidResult VidSetExclusive(VidDevice* device, VidWindow*) { return Step(MemoryCall::SetExclusive, device); }

VidResult VidSetMode(VidDevice* device, int width, int height) {
  if (VidResult result = Step(MemoryCall::SetMode, device); result != kVidOk) return result;
  if (D().modesRefused) return kMemoryUnsupported;
  D().mode = MemoryMode{width, height, 8};
  return kVidOk;
}

VidResult VidCreatePalette(VidDevice* device, const VidColour entries[256], VidPalette** palette) {
  *palette = nullptr;
  if (VidResult result = Step(MemoryCall::CreatePalette, device); result != kVidOk) return result;
  *palette = D().palettes.emplace_back(std::make_unique<VidPalette>()).get();
  std::memcpy((*palette)->entries, entries, sizeof(*palette)->entries);
  return kVidOk;
}

VidResult VidCreatePrimary(VidDevice* device, VidSurface** surface) {
  *surface = nullptr;
  if (VidResult result = Step(MemoryCall::CreatePrimary, device); result != kVidOk) return result;
  return NewSurface(true, D().mode.width, D().mode.height, 0, false, surface);
}

VidResult VidCreateOffscreen(VidDevice* device, int width, int height, bool systemMemory, VidSurface** surface) {
  *surface = nullptr;
  if (VidResult result = Step(MemoryCall::CreateOffscreen, device); result != kVidOk) return result;
  if (!systemMemory && D().videoMemoryExhausted) return kVidOutOfVideoMemory;
  return NewSurface(false, width, height, D().offscreenPitch, systemMemory, surface);
}

VidResult VidDescribe(VidSurface* surface, VidFrame* geometry) {
  if (VidResult result = Step(MemoryCall::Describe, surface); result != kVidOk) return result;
  *geometry = VidFrame{surface->locked ? surface->pixels : nullptr, surface->width, surface->height, surface->pitch};
  return kVidOk;
}

VidResult VidAttachPalette(VidSurface* screen, VidPalette* palette) {
  if (VidResult result = Step(MemoryCall::AttachPalette, screen, palette); result != kVidOk) return result;
  screen->palette = palette;
  return kVidOk;
}

VidResult VidClear(VidSurface* screen) {
  if (VidResult result = Step(MemoryCall::Clear, screen); result != kVidOk) return result;
  if (screen->lost) return kVidSurfaceLost;
  std::fill(screen->bytes.begin(), screen->bytes.end(), 0);
  return kVidOk;
}

VidResult VidCopy(VidSurface* screen, const VidRect* to, VidSurface* frame, const VidRect& from, bool fast) {
  if (VidResult result = Step(fast ? MemoryCall::CopyFast : MemoryCall::Copy, screen, frame); result != kVidOk)
    return result;
  if (screen->lost || frame->lost) return kVidSurfaceLost;
  if (fast && frame->systemMemory) return kMemoryGeneric;
  const int fw = from.right - from.left, fh = from.bottom - from.top;
  const VidRect target = to != nullptr ? *to
                         : fast        ? VidRect{0, 0, fw, fh}
                                       : VidRect{0, 0, screen->width, screen->height};
  const int tw = target.right - target.left, th = target.bottom - target.top;
  for (int y = 0; y < th; ++y)
    for (int x = 0; x < tw; ++x)
      screen->bytes[(target.top + y) * screen->pitch + target.left + x] =
          frame->bytes[(from.top + y * fh / th) * frame->pitch + from.left + x * fw / tw];
  return kVidOk;
}

VidResult VidLock(VidSurface* surface, VidFrame* locked) {
  if (VidResult result = Step(MemoryCall::Lock, surface); result != kVidOk) return result;
  if (surface->lost) return kVidSurfaceLost;
  if (surface->locked) return kMemorySurfaceBusy;
  surface->locked = true;
  *locked = VidFrame{surface->pixels, surface->width, surface->height, surface->pitch};
  return kVidOk;
}

VidResult VidUnlock(VidSurface* surface) {
  // An injected success unlocks even a surface that is not locked.
  const std::optional<VidResult> injected = Injected(MemoryCall::Unlock);
  if (injected && *injected != kVidOk) return *injected;
  if (Released(surface)) return kMemoryGeneric;
  if (!surface->locked && !injected) return kMemoryNotLocked;
  surface->locked = false;
  return kVidOk;
}

VidResult VidRestore(VidSurface* surface) {
  if (VidResult result = Step(MemoryCall::Restore, surface); result != kVidOk) return result;
  // A surface in video memory comes back without its picture; one in system memory never lost it.
  if (surface->lost && !surface->systemMemory) std::fill(surface->bytes.begin(), surface->bytes.end(), 0);
  surface->lost = false;
  return kVidOk;
}

VidResult VidSetEntries(VidPalette* palette, const VidColour entries[256]) {
  if (VidResult result = Step(MemoryCall::SetEntries, palette); result != kVidOk) return result;
  std::memcpy(palette->entries, entries, sizeof palette->entries);
  return kVidOk;
}

bool VidDrawErrorText(VidSurface* screen, const char* text) {
  if (Step(MemoryCall::ErrorText, screen) != kVidOk || screen->lost) return false;
  D().texts.push_back(text);
  return true;
}

template <typename T>
void Release(T* object, const char* name) {
  D().calls.push_back(name);
  if (!Released(object)) object->released = true;
}
void VidRelease(VidSurface* surface) { Release(surface, "ReleaseSurface"); }
void VidRelease(VidPalette* palette) { Release(palette, "ReleasePalette"); }
void VidRelease(VidDevice* device) {
  if (device != nullptr && !device->released) D().mode = D().desktop;
  Release(device, "ReleaseDevice");
}

bool VidRegisterClass(VisModule*) {
  if (Fails(MemoryCall::RegisterClass) || D().classRegistered) return false;
  return D().classRegistered = true;
}

void VidUnregisterClass(VisModule*) {
  D().calls.push_back("UnregisterClass");
  D().classRegistered = false;
}

VidWindow* VidCreateWindow(VisModule*) {
  if (Fails(MemoryCall::CreateWindow) || !D().classRegistered) return nullptr;
  D().window = D().windows.emplace_back(std::make_unique<VidWindow>()).get();
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
  if (Fails(MemoryCall::HostMonitor)) return false;
  *monitor = Monitor(D().secondWidth > 0 && D().hostX + 120 >= D().desktop.width ? 1 : 0);
  *work = *monitor;
  work->bottom -= kTaskBar;
  return true;
}

bool VidPlaceWindow(VidWindow* window, VidPlacement placement, const VidRect& outer) {
  if (Fails(MemoryCall::PlaceWindow) || window == nullptr || !window->exists) return false;
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
  if (Fails(MemoryCall::BeginDraw) || window == nullptr || !window->exists) return nullptr;
  ++D().liveCanvases;
  return D().canvases.emplace_back(std::make_unique<VidCanvas>(VidCanvas{window})).get();
}

void VidEndDraw(VidWindow*, VidCanvas* canvas) {
  if (canvas != nullptr && canvas->window != nullptr) --D().liveCanvases;
  if (canvas != nullptr) canvas->window = nullptr;
  if (D().canvases.size() > 64) D().canvases.pop_front();
}

void VidFillBlack(VidCanvas* canvas, const VidRect& area) {
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) Put(canvas, x, y, 0);
}

bool VidDrawRows(VidCanvas* canvas, int left, int top, int width, int rows, const std::uint8_t* row,
                 const std::uint32_t colours[256]) {
  if (Fails(MemoryCall::DrawRows)) return false;
  for (int y = top; y < top + rows; ++y)
    for (int x = 0; x < width; ++x) Put(canvas, left + x, y, colours[row[x]]);
  return true;
}

bool VidDrawPixels(VidCanvas* canvas, int width, int height, const std::uint32_t* pixels) {
  if (Fails(MemoryCall::DrawPixels)) return false;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) Put(canvas, x, y, pixels[y * width + x]);
  return true;
}

VidWork* VidStartWork(VidJob* job) {
  D().calls.push_back("StartWork");
  VidWork* work = D().works.emplace_back(std::make_unique<VidWork>()).get();
  work->job = job;
  if (!D().holdWork) work->thread = std::jthread([job] { job->run(job); });
  return work;
}

// A job started is waited for in full whatever the time asked, so that every run shows the same frames.
bool VidWaitWork(VidWork* work, int) {
  if (!work->done && !work->thread.joinable()) return false;
  VidFinishWork(work);
  return true;
}

void VidFinishWork(VidWork* work) {
  if (work->thread.joinable()) {
    work->thread.join();
  } else if (!work->done) {
    work->job->run(work->job);  // held: it runs now
  }
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
void MemoryPlaceHostWindow(int x, int) { D().hostX = x; }
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
  D().holdWork = false;
  for (auto& work : D().works) VidFinishWork(work.get());
}
void MemoryCloseWindow() {
  if (D().window != nullptr) D().window->exists = false;
}
void MemoryResizeClient(int width, int height) {
  if (D().window == nullptr || !D().window->exists) return;
  VidWindow& w = *D().window;
  const VidRect frame = w.placement == VidPlacement::Normal ? kFrame : VidRect{};
  Resize(w, VidRect{w.outer.left, w.outer.top, w.outer.left + width + frame.left + frame.right,
                    w.outer.top + height + frame.top + frame.bottom});
  if (D().plugin != nullptr) OnClientResized(*D().plugin, width, height);
}

MemoryMode MemoryDisplayMode() { return D().mode; }
std::vector<std::uint8_t> MemoryScreenBytes() { return Bytes(Newest(true)); }
std::vector<std::uint8_t> MemoryOffscreenBytes() { return Bytes(Newest(false)); }
MemorySurfaceState MemoryOffscreen() {
  VidSurface* s = Newest(false);
  return s == nullptr ? MemorySurfaceState{} : MemorySurfaceState(*s);
}
bool MemoryScreenPalette(VidColour entries[256]) {
  VidSurface* s = Newest(true);
  if (s == nullptr || s->palette == nullptr) return false;
  std::memcpy(entries, s->palette->entries, sizeof s->palette->entries);
  return true;
}
MemoryLive MemoryLiveObjects() {
  MemoryLive live{0, 0, 0, D().liveCanvases};
  for (auto& d : D().devices) live.devices += !d->released;
  for (auto& s : D().surfaces) live.surfaces += !s->released;
  for (auto& p : D().palettes) live.palettes += !p->released;
  return live;
}
int MemoryCallsOnReleasedObjects() { return D().callsOnReleased; }
MemoryWindow MemoryWindowState() {
  MemoryWindow state = D().window != nullptr ? MemoryWindow(*D().window) : MemoryWindow{};
  state.classRegistered = D().classRegistered;
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
