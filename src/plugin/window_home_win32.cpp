// The window ways on Windows: docking in the player's frame, the normal window's remembered place on the
// monitors there are now at their dots per inch, repainting, the player's commands, and the clean-up at Quit.
#include <array>
#include <atomic>
#include <span>

#include "plugin/display.h"
#include "plugin/display_events.h"
#include "plugin/lifecycle.h"
#include "plugin/plugin_state.h"
#include "plugin/video_win32.h"
#include "plugin/window_home.h"
#include "plugin/window_placement.h"

namespace {

// The player's interface, as its SDK publishes it: WM_WA_IPC with the request in lParam.
constexpr UINT kPlayerIpc = WM_USER;
constexpr LPARAM kIpcGetEmbedInterface = 505;  // wParam: the EmbedWindowState; answer: the frame
constexpr LPARAM kIpcSetVisWindow = 611;       // wParam: the window that takes the commands below, or 0
constexpr WORD kVisNext = 40382, kVisPrevious = 40383, kVisFullScreen = 40389, kVisConfigure = 40390;
// Sent to a window whose thread follows each monitor's dots per inch when it moves to another.
constexpr UINT kDpiChanged = 0x02E0;
// The frame's client area when the player asks where to put a new frame.
constexpr int kFrameClientWidth = 320;
constexpr int kFrameClientHeight = 240;
// The player is not waited for longer than this when it is told the window is gone: it may be waiting for Quit.
constexpr UINT kIpcTimeoutMs = 1000;

ScreenRect ToScreenRect(const RECT& r) { return ScreenRect{r.left, r.top, r.right, r.bottom}; }
ScreenRect ToScreenRect(const VidRect& r) { return ScreenRect{r.left, r.top, r.right, r.bottom}; }
VidRect ToVidRect(const ScreenRect& r) { return VidRect{r.left, r.top, r.right, r.bottom}; }
HWND FrameHandle(const WindowHome& home) { return static_cast<HWND>(home.Frame); }

// The monitor's dots per inch where the system can tell them per monitor (Windows 8.1 on), else the base. Looked
// up when first needed, so the library still loads where the function does not exist.
int MonitorDpi(HMONITOR monitor) {
  using GetDpiForMonitorCall = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const GetDpiForMonitorCall getDpi = [] {
    HMODULE library = LoadLibraryA("shcore.dll");
    return library != nullptr ? reinterpret_cast<GetDpiForMonitorCall>(
                                    reinterpret_cast<void*>(GetProcAddress(library, "GetDpiForMonitor")))
                              : nullptr;
  }();
  constexpr int kEffectiveDpi = 0;
  UINT x = kBaseDpi, y = kBaseDpi;
  if (getDpi == nullptr || monitor == nullptr || getDpi(monitor, kEffectiveDpi, &x, &y) != S_OK) return kBaseDpi;
  return static_cast<int>(x);
}

struct WorkAreas {
  std::array<ScreenRect, 16> areas{};
  std::size_t count = 0;
};

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  auto* list = reinterpret_cast<WorkAreas*>(data);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (list->count < list->areas.size() && GetMonitorInfoA(monitor, &info) != 0)
    list->areas[list->count++] = ToScreenRect(info.rcWork);
  return TRUE;
}

// The outer size of a normal window whose client area is width x height at the base resolution, on a monitor of
// `dpi`.
SIZE NormalWindowSize(int width, int height, int dpi) {
  RECT frame{0, 0, ScaleToDpi(width, dpi), ScaleToDpi(height, dpi)};
  AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
  return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

// Where the player is asked to put a new frame: below its own window, on its monitor.
VidRect FrameRequestPlace(VisModule* module) {
  RECT host{};
  GetWindowRect(module->parent, &host);
  HMONITOR monitor = MonitorFromWindow(module->parent, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoA(monitor, &info);
  const int dpi = MonitorDpi(monitor);
  const ScreenRect wanted{host.left, host.bottom, host.left + ScaleToDpi(kFrameClientWidth, dpi),
                          host.bottom + ScaleToDpi(kFrameClientHeight, dpi)};
  const ScreenRect work = ToScreenRect(info.rcWork);
  return ToVidRect(KeepReachable(wanted, std::span<const ScreenRect>(&work, 1), work));
}

// The plug-in's window as the frame's only child, filling its client area.
bool DockInto(HWND window, HWND frame) {
  SetWindowLongA(window, GWL_STYLE, static_cast<LONG_PTR>(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS));
  SetWindowLongA(window, GWL_EXSTYLE, 0);
  SetParent(window, frame);
  if (GetParent(window) != frame) return false;
  RECT client{};
  GetClientRect(frame, &client);
  return SetWindowPos(window, HWND_TOP, 0, 0, client.right, client.bottom, SWP_FRAMECHANGED | SWP_SHOWWINDOW) != 0;
}

// A frame of another thread can only be asked to close; its thread destroys it.
void CloseFrame(HWND frame) {
  if (IsWindow(frame) == 0) return;
  if (GetWindowThreadProcessId(frame, nullptr) == GetCurrentThreadId())
    DestroyWindow(frame);
  else
    PostMessageA(frame, WM_CLOSE, 0, 0);
}

}  // namespace

DockOpenStatus OpenDockedWindow(Plugin& plugin, VisModule* module) {
  WindowHome& home = plugin.Screen.Home;
  HWND window = WindowHandle(plugin.Screen.Window);
  if (!DockFrameAlive(plugin)) {
    home.Frame = nullptr;
    home.FrameState = EmbedWindowState{};
    home.FrameState.r = FrameRequestPlace(module);
    const LRESULT answer =
        SendMessageA(module->parent, kPlayerIpc, reinterpret_cast<WPARAM>(&home.FrameState), kIpcGetEmbedInterface);
    HWND frame = reinterpret_cast<HWND>(answer);
    if (frame == nullptr || IsWindow(frame) == 0) return kDockNotOffered;
    home.Frame = frame;
  }
  if (!DockInto(window, FrameHandle(home))) return kDockFailed;
  ShowWindow(FrameHandle(home), SW_SHOWNA);
  SendMessageA(module->parent, kPlayerIpc, reinterpret_cast<WPARAM>(window), kIpcSetVisWindow);
  return kDockOpen;
}

bool DockFrameAlive(Plugin& plugin) {
  const WindowHome& home = plugin.Screen.Home;
  return home.Frame != nullptr && IsWindow(FrameHandle(home)) != 0;
}

bool PlayerOffersFrame(Plugin& plugin, VisModule* module) {
  if (DockFrameAlive(plugin)) return true;
  // The player keeps a pointer to the record while the frame lives; the frame goes before the record does.
  static EmbedWindowState question{};
  question = EmbedWindowState{};
  question.r = FrameRequestPlace(module);
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutA(module->parent, kPlayerIpc, reinterpret_cast<WPARAM>(&question), kIpcGetEmbedInterface,
                          SMTO_ABORTIFHUNG, kIpcTimeoutMs, &answer) == 0)
    return false;
  HWND frame = reinterpret_cast<HWND>(answer);
  if (frame == nullptr || IsWindow(frame) == 0) return false;
  CloseFrame(frame);
  return true;
}

void FollowDockFrame(Plugin& plugin) {
  if (!DockFrameAlive(plugin)) return;
  HWND window = WindowHandle(plugin.Screen.Window);
  RECT frame{}, client{};
  GetClientRect(FrameHandle(plugin.Screen.Home), &frame);
  GetClientRect(window, &client);
  if (frame.right != client.right || frame.bottom != client.bottom)
    SetWindowPos(window, nullptr, 0, 0, frame.right, frame.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

void LeaveDock(Plugin& plugin, VisModule* module) {
  HWND window = WindowHandle(plugin.Screen.Window);
  SetParent(window, nullptr);
  // Owned by the host's window again, as Init made it, and in front: full screen draws only while active.
  SetWindowLongA(window, GWL_HWNDPARENT, reinterpret_cast<LONG_PTR>(module->parent));
  SetForegroundWindow(window);
}

void CloseDock(Plugin& plugin, VisModule* module) {
  WindowHome& home = plugin.Screen.Home;
  if (home.Frame == nullptr) return;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(module->parent, kPlayerIpc, 0, kIpcSetVisWindow, SMTO_ABORTIFHUNG, kIpcTimeoutMs, &ignored);
  CloseFrame(FrameHandle(home));
  home.Frame = nullptr;
}

VidRect NormalWindowPlace(Plugin& plugin, VisModule* module, const VidRect& work, int defaultClientWidth,
                          int defaultClientHeight) {
  WindowHome& home = plugin.Screen.Home;
  const WindowPlace& known = home.Current.Known ? home.Current : home.Stored;
  if (!known.Known) {
    const SIZE size = NormalWindowSize(defaultClientWidth, defaultClientHeight,
                                       MonitorDpi(MonitorFromWindow(module->parent, MONITOR_DEFAULTTOPRIMARY)));
    const ScreenRect place = CentreIn(ToScreenRect(work), size.cx, size.cy);
    // The first place given is what a later save compares with, so that an untouched window writes nothing.
    home.Stored = WindowPlace{true, place.left, place.top, defaultClientWidth, defaultClientHeight};
    return ToVidRect(place);
  }
  POINT corner{known.Left, known.Top};
  HMONITOR monitor = MonitorFromPoint(corner, MONITOR_DEFAULTTONULL);
  if (monitor == nullptr) monitor = MonitorFromWindow(module->parent, MONITOR_DEFAULTTOPRIMARY);
  const SIZE size = NormalWindowSize(known.Width, known.Height, MonitorDpi(monitor));
  const ScreenRect wanted{known.Left, known.Top, known.Left + size.cx, known.Top + size.cy};
  WorkAreas visible;
  EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&visible));
  return ToVidRect(
      KeepReachable(wanted, std::span<const ScreenRect>(visible.areas.data(), visible.count), ToScreenRect(work)));
}

void NoteWindowGeometry(Plugin& plugin) {
  HWND window = WindowHandle(plugin.Screen.Window);
  if (plugin.Screen.DisplayKind != kDisplayWindowed || IsWindow(window) == 0 || IsIconic(window) != 0 ||
      IsZoomed(window) != 0)
    return;
  RECT outer{}, client{};
  if (GetWindowRect(window, &outer) == 0 || GetClientRect(window, &client) == 0) return;
  const int dpi = MonitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
  plugin.Screen.Home.Current =
      WindowPlace{true, outer.left, outer.top, UnscaleFromDpi(client.right, dpi), UnscaleFromDpi(client.bottom, dpi)};
}

bool HandleWindowHomeMessage(Plugin& plugin, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const std::int32_t kind = plugin.Screen.DisplayKind;
  switch (message) {
    case WM_PAINT: {
      if (!IsWindowKind(kind)) return false;
      // Sizing, uncovering or the system asking: the last picture, never black.
      PAINTSTRUCT paint;
      if (BeginPaint(window, &paint) != nullptr) {
        RepaintWindowPicture(plugin, reinterpret_cast<VidCanvas*>(paint.hdc));
        EndPaint(window, &paint);
      }
      *result = 0;
      return true;
    }
    case WM_COMMAND: {
      // The player's visualization commands, for a window it was told of with IPC_SETVISWND.
      const WORD command = LOWORD(wParam);
      if (command == kVisNext || command == kVisPrevious) {
        OnPaletteCommand(plugin, command == kVisNext ? 1 : -1);
      } else if (command == kVisFullScreen) {
        OnSwitchAsked(plugin);
      } else if (command == kVisConfigure) {
        auto* module = reinterpret_cast<VisModule*>(static_cast<LONG_PTR>(GetWindowLongA(window, GWL_USERDATA)));
        if (module != nullptr && plugin.Dialog.Module == nullptr) Config(plugin, module);
      } else {
        return false;
      }
      *result = 0;
      return true;
    }
    case WM_LBUTTONDOWN:
      // A child window gets the keyboard only when it takes it: Escape and Alt+Enter then work in the dock.
      if (kind == kDisplayDocked) SetFocus(window);
      return false;
    case WM_SETCURSOR:
      // In the player's frame the pointer stays as the player shows it.
      if (kind != kDisplayDocked) return false;
      *result = DefWindowProcA(window, message, wParam, lParam);
      return true;
    case WM_EXITSIZEMOVE:
      NoteWindowGeometry(plugin);
      return false;
    case WM_DESTROY:
      // Escape destroys the window before Quit: where it was is noted now.
      NoteWindowGeometry(plugin);
      return false;
    case kDpiChanged:
      if (kind != kDisplayWindowed) return false;
      if (const auto* suggested = reinterpret_cast<const RECT*>(lParam))
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      *result = 0;
      return true;
    default:
      return false;
  }
}

VidRect CoveredArea(Plugin& plugin) {
  const std::int32_t kind = plugin.Screen.DisplayKind;
  HWND window = WindowHandle(plugin.Screen.Window);
  RECT area{};
  if ((kind == kDisplayWindowed || kind == kDisplayDocked) && IsWindow(window) != 0) GetWindowRect(window, &area);
  return ToVidRect(area);  // empty: the whole desktop
}

void InvalidateCoveredArea(const VidRect& area) {
  constexpr UINT kEverythingUnder = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN;
  const bool whole = area.right <= area.left || area.bottom <= area.top;
  const RECT rect = ToRect(area);
  RedrawWindow(nullptr, whole ? nullptr : &rect, nullptr, kEverythingUnder);
}
