// Headless window system (placeholder).
#include "platform/headless/headless_window.h"

namespace {
std::vector<HeadlessMessage> g_posted;
}
ATOM RegisterClassA(const WNDCLASSA*) { return 0; }
BOOL UnregisterClassA(LPCSTR, HINSTANCE) { return FALSE; }
HICON LoadIconA(HINSTANCE, LPCSTR) { return nullptr; }
HCURSOR LoadCursorA(HINSTANCE, LPCSTR) { return nullptr; }
HCURSOR SetCursor(HCURSOR) { return nullptr; }
int GetSystemMetrics(int) { return 0; }
HWND CreateWindowExA(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID) { return nullptr; }
LONG_PTR SetWindowLongA(HWND, int, LONG_PTR) { return 0; }
LONG_PTR GetWindowLongA(HWND, int) { return 0; }
BOOL ShowWindow(HWND, int) { return FALSE; }
BOOL UpdateWindow(HWND) { return FALSE; }
BOOL DestroyWindow(HWND) { return FALSE; }
BOOL IsWindow(HWND) { return FALSE; }
LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) { return 0; }
LRESULT SendMessageA(HWND, UINT, WPARAM, LPARAM) { return 0; }
BOOL PostMessageA(HWND w, UINT m, WPARAM wp, LPARAM lp) { g_posted.push_back({w, m, wp, lp}); return TRUE; }
BOOL SendNotifyMessageA(HWND w, UINT m, WPARAM wp, LPARAM lp) { g_posted.push_back({w, m, wp, lp}); return TRUE; }
void PostQuitMessage(int code) { g_posted.push_back({nullptr, WM_QUIT, static_cast<WPARAM>(code), 0}); }
const std::vector<HeadlessMessage>& HeadlessPostedMessages() { return g_posted; }
void HeadlessClearPostedMessages() { g_posted.clear(); }
void HeadlessPumpMessages() {}
void HeadlessSetNotifySink(HeadlessNotifySink, void*) {}
HWND HeadlessHostWindow() { return reinterpret_cast<HWND>(0x1000); }
LRESULT HeadlessDeliver(HWND, UINT, WPARAM, LPARAM) { return 0; }
void HeadlessFailNextRegisterClass() {}
void HeadlessFailNextCreateWindow() {}
void HeadlessResetWindows() { g_posted.clear(); }
