// Headless substitute: window classes, windows, their messages and the posted-message queues.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/headless/headless_types.h"

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};

#define CS_VREDRAW 0x1
#define CS_HREDRAW 0x2
#define WS_POPUP 0x80000000u
#define WS_VISIBLE 0x10000000u
#define WS_CAPTION 0x00C00000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_MAXIMIZEBOX 0x00010000u
#define WS_OVERLAPPEDWINDOW (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_EX_TOPMOST 0x8
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define HWND_TOPMOST (reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1)))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(static_cast<std::intptr_t>(-2)))
#define HWND_BOTTOM (reinterpret_cast<HWND>(static_cast<std::intptr_t>(1)))
#define SWP_NOSIZE 0x1
#define SWP_NOMOVE 0x2
#define SWP_NOZORDER 0x4
#define SWP_NOACTIVATE 0x10
#define SWP_FRAMECHANGED 0x20
#define SWP_SHOWWINDOW 0x40
#define MONITOR_DEFAULTTOPRIMARY 0x1
#define MONITOR_DEFAULTTONEAREST 0x2
#define HTCLIENT 1
#define SW_SHOWNORMAL 1
#define GWL_USERDATA (-21)
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDOK 1
#define IDCANCEL 2

#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_ACTIVATE 0x0006
#define WM_SIZE 0x0005
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_ACTIVATEAPP 0x001C
#define WM_SETCURSOR 0x0020
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_USER 0x0400
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2
#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20

#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
struct MONITORINFO {
  DWORD cbSize;
  RECT rcMonitor;
  RECT rcWork;
  DWORD dwFlags;
};
#define PM_NOREMOVE 0x0
#define PM_REMOVE 0x1

ATOM RegisterClassA(const WNDCLASSA* windowClass);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HCURSOR SetCursor(HCURSOR cursor);
int GetSystemMetrics(int index);
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width, int height,
                     HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
LONG_PTR SetWindowLongA(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongA(HWND window, int index);
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL SetWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
HMONITOR MonitorFromWindow(HWND window, DWORD flags);
BOOL GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info);
// A window's drawing context covers its client area (see HeadlessWindowPixels).
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SendNotifyMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// The thread's queue: messages posted to the substitute's windows, and the quit message, which (as on the
// platform) is kept apart and handed out only when nothing else in the asked range is waiting.
BOOL PeekMessageA(MSG* message, HWND window, UINT first, UINT last, UINT remove);

// --- Controls for tests ----------------------------------------------------------------------------------------------

struct HeadlessMessage {
  HWND window;  // null for the thread's quit message
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// Messages posted (PostMessageA, PostQuitMessage) and notified (SendNotifyMessageA) since the last clear, in order.
// Posted messages addressed to a window the substitute created are delivered to its procedure by
// HeadlessPumpMessages; the rest (for example to a host's parent window) are only recorded.
const std::vector<HeadlessMessage>& HeadlessPostedMessages();
void HeadlessClearPostedMessages();
// Delivers every queued message addressed to a live window of the substitute, including those posted while
// pumping; messages for destroyed windows are dropped. Returns whether a quit message is waiting (it stays).
bool HeadlessPumpMessages();
// Whether a quit message is waiting in the thread's queue, and its exit code.
bool HeadlessQuitPending(int* exitCode = nullptr);

// A window handle for the host's own (parent) window; the substitute records what is posted to it.
HWND HeadlessHostWindow();

// Deliver a message to a window's procedure as the system would (for example WM_KEYDOWN, WM_ACTIVATEAPP).
// Returns 0 for a window that does not exist.
LRESULT HeadlessDeliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Whether the process is the active application (default true). ShowWindow activates a new window only while
// it is; switching sends WM_ACTIVATEAPP (1 or 0), then WM_ACTIVATE, to every live window, as a task switch would.
void HeadlessSetApplicationActive(bool active);
// Whether the active window before a new one belongs to the same thread (default false: the host's window has a
// thread of its own). The system sends WM_ACTIVATEAPP only when activation moves between threads, so with this
// on, showing a new window sends it WM_ACTIVATE alone.
void HeadlessSetActivationWithinThread(bool withinThread);

// What the substitute knows of a window; all zero for a handle it never created.
struct HeadlessWindowInfo {
  bool exists;  // created and not yet destroyed
  bool visible;
  std::string className, title;
  DWORD exStyle, style;
  int x, y, width, height;
  HWND parent;
  HINSTANCE instance;
  LONG_PTR userData;
  int createMessages, destroyMessages;  // WM_CREATE and WM_DESTROY sent to it
};
HeadlessWindowInfo HeadlessWindowDetails(HWND window);
// The registered class of that name, if any (name compared without regard to case).
bool HeadlessFindClass(const char* className, WNDCLASSA* out);
int HeadlessLiveWindows();
int HeadlessRegisteredClasses();
// The cursor last passed to SetCursor (null at start).
HCURSOR HeadlessCurrentCursor();
// The screen size GetSystemMetrics reports (default 1024 x 768); also the first monitor's rectangle.
void HeadlessSetDesktopSize(int width, int height);
// Where the host's own window lies (default (20, 20), 240 x 120): it decides the monitor of MonitorFromWindow.
void HeadlessPlaceHostWindow(int x, int y);
// A second monitor, right of the first, of this size; windows whose centre lies on it belong to it (0 x 0: none).
void HeadlessSetSecondMonitor(int width, int height);

// The client area's pixels as 0x00RRGGBB, row by row, as drawn through GetDC (empty for an unknown window);
// a window's client area is its size less a frame when it has a caption (AdjustWindowRectEx tells how much).
std::vector<std::uint32_t> HeadlessWindowPixels(HWND window, int* width = nullptr, int* height = nullptr);
// Drawing contexts of windows not yet released (a leak check).
int HeadlessLiveWindowDCs();
// For the GDI substitute: the pixels behind a window's drawing context, or null for any other context.
std::uint32_t* HeadlessWindowCanvas(HDC dc, int* width, int* height);

// A log of platform events shared by the window, DirectDraw and GDI substitutes, in order: the name of the call
// (for example "DestroyWindow", "IDirectDraw::Release", "IDirectDrawSurface::Lock"), its result, a call-specific
// detail (flags, or the caps of a created surface), and how many message boxes had been shown at that moment,
// so that a test can tell whether a teardown happened before a message box.
struct HeadlessEvent {
  std::string call;
  long result;
  unsigned long detail;
  std::size_t messageBoxesBefore;
};
const std::vector<HeadlessEvent>& HeadlessEvents();
void HeadlessClearEvents();
void HeadlessLogEvent(const char* call, long result, unsigned long detail = 0);

// Failure injection: the next call of the named function fails once.
void HeadlessFailNextRegisterClass();
void HeadlessFailNextCreateWindow();
void HeadlessFailNextSetWindowPos();
void HeadlessFailNextGetMonitorInfo();
void HeadlessFailNextGetDC();

// Back to the state at start: no classes, no windows, no queued messages, no events, no injected failures,
// application active, no notify sink.
void HeadlessResetWindows();
