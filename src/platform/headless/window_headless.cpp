// Headless window system: classes, windows, the messages the system sends them, queues and the event log.
#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <strings.h>

#include "platform/headless/headless_files.h"
#include "platform/headless/headless_window.h"

namespace {

struct WindowClass {
  WNDCLASSA cls;
  std::string name;
};

struct Window {
  HeadlessWindowInfo info;
  WNDPROC proc;
  std::vector<std::uint32_t> canvas;  // the client area, as drawn through GetDC
  int canvasWidth, canvasHeight;
  int liveDCs;
};

// Window handles are small tagged integers, never dereferenced; the host window lies below them.
constexpr std::uintptr_t kHostWindow = 0x1000;
constexpr std::uintptr_t kFirstWindow = 0x10000;
constexpr std::uintptr_t kWindowStep = 0x10;
// Window drawing contexts lie far above the GDI substitute's own handles, at the same steps as the windows.
constexpr std::uintptr_t kFirstWindowDC = 0x40000000;
// The frame of a window with a caption and a sizing border, and the taskbar below each monitor's work area.
constexpr int kFrameSide = 8, kFrameTop = 31, kTaskbar = 40;
// Pixels never drawn: neither black nor any colour a test expects.
constexpr std::uint32_t kUndrawn = 0x00FF00FF;

const HCURSOR kArrowCursor = reinterpret_cast<HCURSOR>(static_cast<std::uintptr_t>(0x7F00));
const HICON kApplicationIcon = reinterpret_cast<HICON>(static_cast<std::uintptr_t>(0x7F01));

std::vector<WindowClass> g_classes;
std::vector<Window> g_windows;  // index = (handle - kFirstWindow) / kWindowStep; destroyed ones stay
std::vector<HeadlessMessage> g_posted;
std::deque<HeadlessMessage> g_queue;
std::vector<HeadlessEvent> g_events;
bool g_applicationActive = true;
bool g_activationWithinThread = false;
bool g_failRegisterClass = false;
bool g_failCreateWindow = false;
HCURSOR g_cursor = nullptr;
bool g_quitPending = false;
int g_quitCode = 0;
int g_desktopWidth = 1024, g_desktopHeight = 768;
int g_secondWidth = 0, g_secondHeight = 0;
RECT g_hostRect{20, 20, 260, 140};
bool g_failSetWindowPos = false;
bool g_failMonitorInfo = false;
bool g_failGetDC = false;

Window* Find(HWND handle) {
  auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value < kFirstWindow || (value - kFirstWindow) % kWindowStep != 0) return nullptr;
  std::size_t index = (value - kFirstWindow) / kWindowStep;
  return index < g_windows.size() ? &g_windows[index] : nullptr;
}

Window* FindLive(HWND handle) {
  Window* w = Find(handle);
  return w != nullptr && w->info.exists ? w : nullptr;
}

HWND HandleOf(std::size_t index) { return reinterpret_cast<HWND>(kFirstWindow + index * kWindowStep); }

bool Framed(DWORD style) { return (style & WS_CAPTION) != 0; }

void ClientSize(const HeadlessWindowInfo& info, int* width, int* height) {
  bool framed = Framed(info.style);
  *width = std::max(0, info.width - (framed ? 2 * kFrameSide : 0));
  *height = std::max(0, info.height - (framed ? kFrameTop + kFrameSide : 0));
}

// The canvas follows the client area's size; a new size starts undrawn, as a resized window's new area would.
void FitCanvas(Window& w) {
  int width = 0, height = 0;
  ClientSize(w.info, &width, &height);
  if (width == w.canvasWidth && height == w.canvasHeight) return;
  w.canvasWidth = width;
  w.canvasHeight = height;
  w.canvas.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), kUndrawn);
}

RECT MonitorRect(int index) {
  if (index == 2) return RECT{g_desktopWidth, 0, g_desktopWidth + g_secondWidth, g_secondHeight};
  return RECT{0, 0, g_desktopWidth, g_desktopHeight};
}

std::vector<WindowClass>::iterator FindClass(const char* name) {
  for (auto it = g_classes.begin(); it != g_classes.end(); ++it)
    if (name != nullptr && strcasecmp(it->name.c_str(), name) == 0) return it;
  return g_classes.end();
}

// Sends to the window's procedure; the window may be destroyed by it, so nothing is kept across the call.
LRESULT Send(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = FindLive(handle);
  if (w == nullptr || w->proc == nullptr) return 0;
  WNDPROC proc = w->proc;
  return proc(handle, message, wParam, lParam);
}

}  // namespace

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  bool fail = g_failRegisterClass;
  g_failRegisterClass = false;
  if (fail || windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr ||
      FindClass(windowClass->lpszClassName) != g_classes.end()) {
    HeadlessLogEvent("RegisterClassA", 0);
    return 0;
  }
  WindowClass c{*windowClass, windowClass->lpszClassName};
  c.cls.lpszClassName = nullptr;  // the caller's text need not outlive the call
  c.cls.lpszMenuName = nullptr;
  g_classes.push_back(c);
  ATOM atom = static_cast<ATOM>(0xC000 + g_classes.size());
  HeadlessLogEvent("RegisterClassA", atom);
  return atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance) {
  auto it = FindClass(className);
  BOOL ok = FALSE;
  if (it != g_classes.end() && it->cls.hInstance == instance) {
    // As the system does, a class that still has windows stays registered.
    bool hasWindows = false;
    for (const Window& w : g_windows)
      if (w.info.exists && strcasecmp(w.info.className.c_str(), className) == 0) hasWindows = true;
    if (!hasWindows) {
      g_classes.erase(it);
      ok = TRUE;
    }
  }
  HeadlessLogEvent("UnregisterClassA", ok);
  return ok;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  // The system's own icons come with no instance; a module without icon resources has none to give.
  return instance == nullptr && name == IDI_APPLICATION ? kApplicationIcon : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  return instance == nullptr && name == IDC_ARROW ? kArrowCursor : nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = g_cursor;
  g_cursor = cursor;
  return previous;
}

int GetSystemMetrics(int index) {
  if (index == SM_CXSCREEN) return g_desktopWidth;
  if (index == SM_CYSCREEN) return g_desktopHeight;
  return 0;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width, int height,
                     HWND parent, HMENU, HINSTANCE instance, LPVOID) {
  bool fail = g_failCreateWindow;
  g_failCreateWindow = false;
  auto cls = FindClass(className);
  if (fail || cls == g_classes.end()) {
    HeadlessLogEvent("CreateWindowExA", 0);
    return nullptr;
  }
  Window w{};
  w.proc = cls->cls.lpfnWndProc;
  w.info.exists = true;
  w.info.visible = (style & WS_VISIBLE) != 0;
  w.info.className = cls->name;
  w.info.title = title != nullptr ? title : "";
  w.info.exStyle = exStyle;
  w.info.style = style;
  w.info.x = x;
  w.info.y = y;
  w.info.width = width;
  w.info.height = height;
  w.info.parent = parent;
  w.info.instance = instance;
  g_windows.push_back(w);
  HWND handle = HandleOf(g_windows.size() - 1);
  HeadlessLogEvent("CreateWindowExA", static_cast<long>(reinterpret_cast<std::uintptr_t>(handle)));
  g_windows.back().info.createMessages++;
  if (Send(handle, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  return handle;
}

LONG_PTR SetWindowLongA(HWND window, int index, LONG_PTR value) {
  Window* w = FindLive(window);
  if (w == nullptr) return 0;
  LONG_PTR previous = 0;
  if (index == GWL_USERDATA) {
    previous = w->info.userData;
    w->info.userData = value;
  } else if (index == GWL_STYLE) {
    previous = static_cast<LONG_PTR>(w->info.style);
    // Visibility is kept apart, as CreateWindowExA keeps it.
    w->info.style = static_cast<DWORD>(value) & ~static_cast<DWORD>(WS_VISIBLE);
    w->info.visible = (static_cast<DWORD>(value) & WS_VISIBLE) != 0;
  } else if (index == GWL_EXSTYLE) {
    previous = static_cast<LONG_PTR>(w->info.exStyle);
    w->info.exStyle = static_cast<DWORD>(value);
  }
  return previous;
}

LONG_PTR GetWindowLongA(HWND window, int index) {
  Window* w = FindLive(window);
  if (w == nullptr) return 0;
  if (index == GWL_USERDATA) return w->info.userData;
  if (index == GWL_STYLE) return static_cast<LONG_PTR>(w->info.style | (w->info.visible ? WS_VISIBLE : 0));
  if (index == GWL_EXSTYLE) return static_cast<LONG_PTR>(w->info.exStyle);
  return 0;
}

BOOL SetWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags) {
  bool fail = g_failSetWindowPos;
  g_failSetWindowPos = false;
  Window* w = FindLive(window);
  if (fail || w == nullptr) {
    HeadlessLogEvent("SetWindowPos", FALSE, flags);
    return FALSE;
  }
  if ((flags & SWP_NOMOVE) == 0) {
    w->info.x = x;
    w->info.y = y;
  }
  if ((flags & SWP_NOSIZE) == 0) {
    w->info.width = std::max(0, width);
    w->info.height = std::max(0, height);
  }
  if ((flags & SWP_NOZORDER) == 0 && after == HWND_TOPMOST) w->info.exStyle |= WS_EX_TOPMOST;
  if ((flags & SWP_NOZORDER) == 0 && after == HWND_NOTOPMOST) w->info.exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
  if ((flags & SWP_SHOWWINDOW) != 0) w->info.visible = true;
  HeadlessLogEvent("SetWindowPos", TRUE, flags);
  int clientWidth = 0, clientHeight = 0;
  ClientSize(w->info, &clientWidth, &clientHeight);
  Send(window, WM_SIZE, 0, MAKELPARAM(clientWidth, clientHeight));
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  Window* w = FindLive(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  int width = 0, height = 0;
  ClientSize(w->info, &width, &height);
  *rect = RECT{0, 0, width, height};
  return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD) {
  if (rect == nullptr) return FALSE;
  if (Framed(style)) {
    rect->left -= kFrameSide;
    rect->right += kFrameSide;
    rect->top -= kFrameTop;
    rect->bottom += kFrameSide;
  }
  return TRUE;
}

HMONITOR MonitorFromWindow(HWND window, DWORD) {
  RECT r = g_hostRect;
  if (Window* w = FindLive(window))
    r = RECT{w->info.x, w->info.y, w->info.x + w->info.width, w->info.y + w->info.height};
  int centreX = (r.left + r.right) / 2;
  bool second = g_secondWidth > 0 && centreX >= g_desktopWidth;
  return reinterpret_cast<HMONITOR>(static_cast<std::uintptr_t>(second ? 2 : 1));
}

BOOL GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info) {
  bool fail = g_failMonitorInfo;
  g_failMonitorInfo = false;
  auto index = reinterpret_cast<std::uintptr_t>(monitor);
  if (fail || info == nullptr || info->cbSize != sizeof(MONITORINFO) || index < 1 || index > 2 ||
      (index == 2 && g_secondWidth == 0)) {
    HeadlessLogEvent("GetMonitorInfoA", FALSE);
    return FALSE;
  }
  info->rcMonitor = MonitorRect(static_cast<int>(index));
  info->rcWork = info->rcMonitor;
  info->rcWork.bottom -= kTaskbar;
  info->dwFlags = index == 1 ? 1 : 0;
  HeadlessLogEvent("GetMonitorInfoA", TRUE);
  return TRUE;
}

HDC GetDC(HWND window) {
  bool fail = g_failGetDC;
  g_failGetDC = false;
  Window* w = FindLive(window);
  if (fail || w == nullptr) {
    HeadlessLogEvent("GetDC", 0);
    return nullptr;
  }
  FitCanvas(*w);
  ++w->liveDCs;
  auto index = (reinterpret_cast<std::uintptr_t>(window) - kFirstWindow) / kWindowStep;
  HeadlessLogEvent("GetDC", 1);
  return reinterpret_cast<HDC>(kFirstWindowDC + index * kWindowStep);
}

namespace {
Window* WindowOfDC(HDC dc) {
  auto value = reinterpret_cast<std::uintptr_t>(dc);
  if (value < kFirstWindowDC || (value - kFirstWindowDC) % kWindowStep != 0) return nullptr;
  Window* w = FindLive(HandleOf((value - kFirstWindowDC) / kWindowStep));
  return w != nullptr && w->liveDCs > 0 ? w : nullptr;
}
}  // namespace

int ReleaseDC(HWND window, HDC dc) {
  Window* w = WindowOfDC(dc);
  if (w == nullptr || w != FindLive(window)) return 0;
  --w->liveDCs;
  return 1;
}

std::uint32_t* HeadlessWindowCanvas(HDC dc, int* width, int* height) {
  Window* w = WindowOfDC(dc);
  if (w == nullptr) return nullptr;
  FitCanvas(*w);
  *width = w->canvasWidth;
  *height = w->canvasHeight;
  return w->canvas.data();
}

std::vector<std::uint32_t> HeadlessWindowPixels(HWND window, int* width, int* height) {
  Window* w = Find(window);
  if (w == nullptr) return {};
  FitCanvas(*w);
  if (width != nullptr) *width = w->canvasWidth;
  if (height != nullptr) *height = w->canvasHeight;
  return w->canvas;
}

int HeadlessLiveWindowDCs() {
  int n = 0;
  for (const Window& w : g_windows) n += w.info.exists ? w.liveDCs : 0;
  return n;
}

BOOL ShowWindow(HWND window, int) {
  Window* w = FindLive(window);
  if (w == nullptr) return FALSE;
  BOOL wasVisible = w->info.visible ? TRUE : FALSE;
  w->info.visible = true;
  HeadlessLogEvent("ShowWindow", wasVisible);
  // Showing a new top-level window activates it, and with it the application, while the application may
  // take the foreground. WM_ACTIVATEAPP comes only when the previous active window had another thread.
  if (!wasVisible && g_applicationActive) {
    if (!g_activationWithinThread) Send(window, WM_ACTIVATEAPP, 1, 0);
    if (FindLive(window) != nullptr) Send(window, WM_ACTIVATE, WA_ACTIVE, 0);
  }
  return wasVisible;
}

BOOL UpdateWindow(HWND window) { return FindLive(window) != nullptr ? TRUE : FALSE; }

BOOL DestroyWindow(HWND window) {
  Window* w = FindLive(window);
  if (w == nullptr) {
    HeadlessLogEvent("DestroyWindow", FALSE);
    return FALSE;
  }
  w->info.destroyMessages++;
  HeadlessLogEvent("DestroyWindow", TRUE);
  Send(window, WM_DESTROY, 0, 0);
  w = Find(window);  // the vector may have grown while the procedure ran
  w->info.exists = false;
  w->info.visible = false;
  return TRUE;
}

BOOL IsWindow(HWND window) {
  return FindLive(window) != nullptr || reinterpret_cast<std::uintptr_t>(window) == kHostWindow ? TRUE : FALSE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) DestroyWindow(window);
  return 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window != nullptr && !IsWindow(window)) return FALSE;
  g_posted.push_back({window, message, wParam, lParam});
  if (FindLive(window) != nullptr) g_queue.push_back({window, message, wParam, lParam});
  return TRUE;
}

BOOL SendNotifyMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  g_posted.push_back({window, message, wParam, lParam});
  // A window of the calling thread gets the message at once, as from a sent message.
  if (FindLive(window) != nullptr) Send(window, message, wParam, lParam);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  g_posted.push_back({nullptr, WM_QUIT, static_cast<WPARAM>(static_cast<unsigned>(exitCode)), 0});
  g_quitPending = true;
  g_quitCode = exitCode;
  HeadlessLogEvent("PostQuitMessage", exitCode);
}

BOOL PeekMessageA(MSG* message, HWND window, UINT first, UINT last, UINT remove) {
  auto inRange = [&](UINT m) { return (first == 0 && last == 0) || (m >= first && m <= last); };
  for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
    if (!inRange(it->message) || (window != nullptr && it->window != window)) continue;
    if (message != nullptr) *message = MSG{it->window, it->message, it->wParam, it->lParam, 0, {0, 0}};
    if ((remove & PM_REMOVE) != 0) g_queue.erase(it);
    HeadlessLogEvent("PeekMessageA", TRUE);
    return TRUE;
  }
  if (g_quitPending && inRange(WM_QUIT)) {
    if (message != nullptr)
      *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(static_cast<unsigned>(g_quitCode)), 0, 0, {0, 0}};
    if ((remove & PM_REMOVE) != 0) g_quitPending = false;
    HeadlessLogEvent("PeekMessageA", TRUE, WM_QUIT);
    return TRUE;
  }
  HeadlessLogEvent("PeekMessageA", FALSE);
  return FALSE;
}

const std::vector<HeadlessMessage>& HeadlessPostedMessages() { return g_posted; }
void HeadlessClearPostedMessages() {
  g_posted.clear();
  g_queue.clear();
  g_quitPending = false;
}

bool HeadlessPumpMessages() {
  while (!g_queue.empty()) {
    HeadlessMessage m = g_queue.front();
    g_queue.pop_front();
    Send(m.window, m.message, m.wParam, m.lParam);
  }
  return g_quitPending;
}

bool HeadlessQuitPending(int* exitCode) {
  if (exitCode != nullptr) *exitCode = g_quitPending ? g_quitCode : 0;
  return g_quitPending;
}

HWND HeadlessHostWindow() { return reinterpret_cast<HWND>(kHostWindow); }

LRESULT HeadlessDeliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Send(window, message, wParam, lParam);
}

void HeadlessSetApplicationActive(bool active) {
  if (active == g_applicationActive) return;
  g_applicationActive = active;
  for (std::size_t i = 0; i < g_windows.size(); ++i) {
    if (!g_windows[i].info.exists || !g_windows[i].info.visible) continue;
    Send(HandleOf(i), WM_ACTIVATEAPP, active ? 1 : 0, 0);
    Send(HandleOf(i), WM_ACTIVATE, active ? WA_ACTIVE : WA_INACTIVE, 0);
  }
}

void HeadlessSetActivationWithinThread(bool withinThread) { g_activationWithinThread = withinThread; }

HeadlessWindowInfo HeadlessWindowDetails(HWND window) {
  Window* w = Find(window);
  return w != nullptr ? w->info : HeadlessWindowInfo{};
}

bool HeadlessFindClass(const char* className, WNDCLASSA* out) {
  auto it = FindClass(className);
  if (it == g_classes.end()) return false;
  if (out != nullptr) {
    *out = it->cls;
    out->lpszClassName = it->name.c_str();
  }
  return true;
}

int HeadlessLiveWindows() {
  int n = 0;
  for (const Window& w : g_windows) n += w.info.exists ? 1 : 0;
  return n;
}

int HeadlessRegisteredClasses() { return static_cast<int>(g_classes.size()); }
HCURSOR HeadlessCurrentCursor() { return g_cursor; }

void HeadlessSetDesktopSize(int width, int height) {
  g_desktopWidth = width;
  g_desktopHeight = height;
}

void HeadlessSetSecondMonitor(int width, int height) {
  g_secondWidth = width;
  g_secondHeight = height;
}

void HeadlessPlaceHostWindow(int x, int y) { g_hostRect = RECT{x, y, x + 240, y + 120}; }

const std::vector<HeadlessEvent>& HeadlessEvents() { return g_events; }
void HeadlessClearEvents() { g_events.clear(); }
void HeadlessLogEvent(const char* call, long result, unsigned long detail) {
  g_events.push_back({call, result, detail, HeadlessMessageBoxes().size()});
}

void HeadlessFailNextRegisterClass() { g_failRegisterClass = true; }
void HeadlessFailNextCreateWindow() { g_failCreateWindow = true; }
void HeadlessFailNextSetWindowPos() { g_failSetWindowPos = true; }
void HeadlessFailNextGetMonitorInfo() { g_failMonitorInfo = true; }
void HeadlessFailNextGetDC() { g_failGetDC = true; }

void HeadlessResetWindows() {
  g_classes.clear();
  g_windows.clear();
  g_posted.clear();
  g_queue.clear();
  g_events.clear();
  g_applicationActive = true;
  g_activationWithinThread = false;
  g_failRegisterClass = false;
  g_failCreateWindow = false;
  g_cursor = nullptr;
  g_quitPending = false;
  g_quitCode = 0;
  g_desktopWidth = 1024;
  g_desktopHeight = 768;
  g_secondWidth = g_secondHeight = 0;
  g_hostRect = RECT{20, 20, 260, 140};
  g_failSetWindowPos = false;
  g_failMonitorInfo = false;
  g_failGetDC = false;
}
