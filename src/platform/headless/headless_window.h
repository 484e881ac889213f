// Headless substitute: window classes, windows, their messages and the posted-message queues.
#pragma once
#include <cstddef>
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
#define WS_EX_TOPMOST 0x8
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
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_ACTIVATEAPP 0x001C
#define WM_SETCURSOR 0x0020
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_USER 0x0400
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
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SendNotifyMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// The thread's queue: messages posted to the substitute's windows, and the quit message, which (as on the
// platform) is kept apart and handed out only when nothing else in the asked range is waiting.
BOOL PeekMessageA(MSG* message, HWND window, UINT first, UINT last, UINT remove);

// --- Controls for tests and the command-line host ----------------------------------------------------------------

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

// Receives every SendNotifyMessageA, for example to show a fade-table build's progress; null to only record.
using HeadlessNotifySink = void (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam, void* context);
void HeadlessSetNotifySink(HeadlessNotifySink sink, void* context);

// A window handle for the host's own (parent) window; the substitute records what is posted to it.
HWND HeadlessHostWindow();

// Deliver a message to a window's procedure as the system would (for example WM_KEYDOWN, WM_ACTIVATEAPP).
// Returns 0 for a window that does not exist.
LRESULT HeadlessDeliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Whether the process is the active application (default true). ShowWindow activates a new window only while
// it is; switching sends WM_ACTIVATEAPP (1 or 0) to every live window, as a task switch would.
void HeadlessSetApplicationActive(bool active);

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
// The screen size GetSystemMetrics reports (default 1024 x 768).
void HeadlessSetDesktopSize(int width, int height);

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

// Back to the state at start: no classes, no windows, no queued messages, no events, no injected failures,
// application active, no notify sink.
void HeadlessResetWindows();
