// The host's own (parent) window, on a thread of its own or on the caller's, recording the keys it receives.
#pragma once
#include <windows.h>

#include <vector>

struct KeyMessage {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

struct HostWindow {
  HWND window = nullptr;
  HANDLE thread = nullptr;  // null when the window lives on the caller's thread
  DWORD threadId = 0;
};

// Creates a visible, active parent window on a new thread that pumps its messages (the common host model: the
// player's window has its own thread, the visualization another).
bool StartHostWindowThread(HostWindow* host);
// Creates the parent window on the calling thread, which then has to pump its messages itself.
bool CreateHostWindowHere(HostWindow* host);
void DestroyHostWindow(HostWindow* host);

// Key messages (WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP) the parent window received, oldest first;
// taking them clears the record.
std::vector<KeyMessage> TakeHostKeys();

// The rectangles of the host window's client area that it painted (on WM_PAINT) since the last call, oldest
// first; taking them clears the record.
std::vector<RECT> TakeHostPaints();

// Dispatches every message waiting for the calling thread. Returns true (and the exit code) once WM_QUIT was seen.
bool PumpMessages(int* quitCode);
