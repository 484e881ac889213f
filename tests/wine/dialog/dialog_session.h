// One run of the plug-in's Config on a thread of its own, with the hooks and probes that drive its dialogs.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "../host/plugin_api.h"

struct CaughtBox {
  std::string text;
  std::string caption;
  HWND owner;
  bool errorIcon;
  bool onlyOkButton;
};

struct DialogSession {
  LoadedPlugin plugin;
  HANDLE thread = nullptr;
  DWORD threadId = 0;
  HWND parent = nullptr;
  HWND dialog = nullptr;          // "Tavelmir Settings", once it is up
  POINT parentOrigin{40, 30};     // where the parent window is put before Config runs
  bool confirmAtOpening = false;  // post OK as soon as WM_INITDIALOG returns (before any paint)
};

// Loads "<folder>\vis_tavelmir.dll" (a fresh library state per folder).
bool LoadSessionPlugin(DialogSession& session, const std::string& folder);
// Starts Config on its own thread with a parent window and waits until the settings dialog has had its first
// paint. Returns false (after logging) when no dialog came up.
bool OpenSettings(DialogSession& session);
// Waits for Config to return (the dialog ended); false after the timeout.
bool WaitForConfigEnd(DialogSession& session, DWORD milliseconds = 10000);
void EndSession(DialogSession& session);

// Probes of the settings dialog from the driving thread.
bool IsChecked(const DialogSession& session, int id);
bool IsEnabled(const DialogSession& session, int id);
int SliderPos(const DialogSession& session, int id);
int FocusedId(const DialogSession& session);
// Clicks a button that opens no window of its own; returns once the click has been handled.
void ClickNow(const DialogSession& session, int id);
// Clicks a button whose handling opens a modal window; returns at once.
void ClickLater(const DialogSession& session, int id);
// A visible top-level window of the dialog thread with this caption, waited for up to `milliseconds`.
HWND WaitForThreadWindow(const DialogSession& session, const char* caption, DWORD milliseconds = 10000);
bool WaitUntilGone(HWND window, DWORD milliseconds = 10000);

// Message boxes shown on the dialog thread since the last call (each was closed with OK), and the PBM_SETPOS
// positions the progress bar received.
std::vector<CaughtBox> TakeCaughtBoxes();
std::vector<int> TakeProgressPositions();
// Waits until `count` message boxes have been destroyed since the dialog opened (the code that showed the last
// one then runs on without waiting for anything).
bool WaitForClosedBoxes(int count, DWORD milliseconds = 10000);
// WM_COMMAND IDCANCEL messages the About box received (Escape arrives as one).
int AboutCancelCommands();
