// Config on its own thread with a parent window; hooks on that thread catch message boxes, the progress bar's
// positions, the settings dialog's opening and its first paint.
#include "dialog_session.h"

#include <commctrl.h>

#include <cstring>

#include "../host/host_log.h"
#include "../host/host_window.h"

namespace {

constexpr char kSettingsCaption[] = "Tavelmir Settings";
constexpr int kProgressBarId = 1011;

struct HookState {
  CRITICAL_SECTION lock;
  DialogSession* session = nullptr;
  HHOOK cbt = nullptr, callWndProc = nullptr, callWndProcRet = nullptr, getMessage = nullptr;
  std::vector<CaughtBox> boxes;
  std::vector<int> positions;
  volatile LONG painted = 0;
  volatile LONG closedBoxes = 0;
  volatile LONG aboutCancels = 0;
};
HookState g_hooks;

std::string WindowText(HWND window) {
  char buffer[1024] = {};
  if (window != nullptr) GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

std::string ClassName(HWND window) {
  char buffer[64] = {};
  GetClassNameA(window, buffer, sizeof buffer);
  return buffer;
}

bool IsSettingsDialog(HWND window) { return ClassName(window) == "#32770" && WindowText(window) == kSettingsCaption; }

bool IsVisibleButton(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  return button != nullptr && (GetWindowLongA(button, GWL_STYLE) & WS_VISIBLE) != 0;
}

HICON BoxIcon(HWND box) {
  for (int id : {20, 0x440}) {  // the icon control's number differs between system versions
    HWND control = GetDlgItem(box, id);
    HICON icon = control != nullptr ? reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0)) : nullptr;
    if (icon != nullptr) return icon;
  }
  return nullptr;
}

// A message box is a dialog with its text in control 0xFFFF. Our own dialogs have 0xFFFF labels too, so they
// are told apart by their captions.
bool IsMessageBox(HWND window) {
  if (ClassName(window) != "#32770" || GetDlgItem(window, 0xFFFF) == nullptr) return false;
  const std::string caption = WindowText(window);
  return caption != kSettingsCaption && caption != "Tagada!" && caption != "Gribola" && caption != "Display";
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
  HWND window = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_ACTIVATE && IsMessageBox(window)) {
    CaughtBox box{WindowText(GetDlgItem(window, 0xFFFF)), WindowText(window), GetWindow(window, GW_OWNER),
                  BoxIcon(window) == LoadIconA(nullptr, IDI_ERROR), IsVisibleButton(window, IDOK)};
    for (int id : {IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
      if (IsVisibleButton(window, id)) box.onlyOkButton = false;
    }
    EnterCriticalSection(&g_hooks.lock);
    g_hooks.boxes.push_back(box);
    LeaveCriticalSection(&g_hooks.lock);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
  } else if (code == HCBT_DESTROYWND && IsMessageBox(window)) {
    InterlockedIncrement(&g_hooks.closedBoxes);
  }
  return CallNextHookEx(g_hooks.cbt, code, wParam, lParam);
}

LRESULT CALLBACK CallWndProcHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == PBM_SETPOS && GetDlgCtrlID(call->hwnd) == kProgressBarId) {
    EnterCriticalSection(&g_hooks.lock);
    g_hooks.positions.push_back(static_cast<int>(call->wParam));
    LeaveCriticalSection(&g_hooks.lock);
  }
  if (code == HC_ACTION && call->message == WM_COMMAND && LOWORD(call->wParam) == IDCANCEL &&
      WindowText(call->hwnd) == "Tagada!") {
    InterlockedIncrement(&g_hooks.aboutCancels);
  }
  return CallNextHookEx(g_hooks.callWndProc, code, wParam, lParam);
}

LRESULT CALLBACK CallWndProcRetHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == WM_INITDIALOG && IsSettingsDialog(call->hwnd) &&
      g_hooks.session->confirmAtOpening) {
    // Queued before the first WM_PAINT can be generated: OK arrives while the sliders have never been set.
    PostMessageA(call->hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(call->hwnd, IDOK)));
  }
  return CallNextHookEx(g_hooks.callWndProcRet, code, wParam, lParam);
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_PAINT && IsSettingsDialog(message->hwnd)) {
    InterlockedExchange(&g_hooks.painted, 1);
  }
  return CallNextHookEx(g_hooks.getMessage, code, wParam, lParam);
}

DWORD WINAPI ConfigThread(void* parameter) {
  auto* session = static_cast<DialogSession*>(parameter);
  HostWindow host;
  if (!CreateHostWindowHere(&host)) return 1;
  SetWindowPos(host.window, nullptr, session->parentOrigin.x, session->parentOrigin.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  session->parent = host.window;
  const DWORD self = GetCurrentThreadId();
  g_hooks.cbt = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, self);
  g_hooks.callWndProc = SetWindowsHookExA(WH_CALLWNDPROC, CallWndProcHook, nullptr, self);
  g_hooks.callWndProcRet = SetWindowsHookExA(WH_CALLWNDPROCRET, CallWndProcRetHook, nullptr, self);
  g_hooks.getMessage = SetWindowsHookExA(WH_GETMESSAGE, GetMessageHook, nullptr, self);
  session->plugin.module->parent = host.window;
  session->plugin.module->Config(session->plugin.module);
  for (HHOOK hook : {g_hooks.cbt, g_hooks.callWndProc, g_hooks.callWndProcRet, g_hooks.getMessage}) {
    if (hook != nullptr) UnhookWindowsHookEx(hook);
  }
  DestroyHostWindow(&host);
  return 0;
}

struct WindowSearch {
  const char* caption;
  HWND found;
};

BOOL CALLBACK FindCaption(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  if (IsWindowVisible(window) && WindowText(window) == search->caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

bool LoadSessionPlugin(DialogSession& session, const std::string& folder) {
  return LoadPlugin(folder, nullptr, &session.plugin);
}

bool OpenSettings(DialogSession& session) {
  static bool lockReady = false;
  if (!lockReady) InitializeCriticalSection(&g_hooks.lock);
  lockReady = true;
  g_hooks.session = &session;
  g_hooks.boxes.clear();
  g_hooks.positions.clear();
  g_hooks.painted = 0;
  g_hooks.closedBoxes = 0;
  g_hooks.aboutCancels = 0;
  session.thread = CreateThread(nullptr, 0, ConfigThread, &session, 0, &session.threadId);
  if (session.thread == nullptr) {
    Fail("could not start the Config thread");
    return false;
  }
  if (session.confirmAtOpening) return true;  // the dialog may be gone before anyone could look at it
  session.dialog = WaitForThreadWindow(session, kSettingsCaption);
  if (session.dialog == nullptr) {
    Fail("the settings dialog did not open");
    return false;
  }
  for (int i = 0; i < 1000 && g_hooks.painted == 0; ++i) Sleep(10);
  if (g_hooks.painted == 0) Fail("the settings dialog was never painted");
  // The dialog thread takes this only after it has finished dispatching the paint.
  SendMessageA(session.dialog, WM_NULL, 0, 0);
  return true;
}

bool WaitForConfigEnd(DialogSession& session, DWORD milliseconds) {
  if (session.thread == nullptr) return true;
  if (WaitForSingleObject(session.thread, milliseconds) != WAIT_OBJECT_0) return false;
  CloseHandle(session.thread);
  session.thread = nullptr;
  session.dialog = nullptr;
  return true;
}

void EndSession(DialogSession& session) {
  if (session.thread != nullptr && !WaitForConfigEnd(session, 100)) {
    Fail("the settings dialog was still open at the end of the case");
    if (session.dialog != nullptr) PostMessageA(session.dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    if (!WaitForConfigEnd(session, 10000)) {
      TerminateThread(session.thread, 1);  // leaves the library loaded: the case's failure is already recorded
      CloseHandle(session.thread);
      session.thread = nullptr;
      return;
    }
  }
  UnloadPlugin(&session.plugin);
}

bool IsChecked(const DialogSession& session, int id) { return IsDlgButtonChecked(session.dialog, id) == BST_CHECKED; }

bool IsEnabled(const DialogSession& session, int id) {
  HWND control = GetDlgItem(session.dialog, id);
  return control != nullptr && IsWindowEnabled(control);
}

int SliderPos(const DialogSession& session, int id) {
  return static_cast<int>(SendDlgItemMessageA(session.dialog, id, TBM_GETPOS, 0, 0));
}

int FocusedId(const DialogSession& session) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(session.threadId, &info) || info.hwndFocus == nullptr) return 0;
  return GetDlgCtrlID(info.hwndFocus);
}

void ClickNow(const DialogSession& session, int id) { SendDlgItemMessageA(session.dialog, id, BM_CLICK, 0, 0); }

void ClickLater(const DialogSession& session, int id) { PostMessageA(GetDlgItem(session.dialog, id), BM_CLICK, 0, 0); }

HWND WaitForThreadWindow(const DialogSession& session, const char* caption, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  do {
    WindowSearch search{caption, nullptr};
    EnumThreadWindows(session.threadId, FindCaption, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    Sleep(10);
  } while (GetTickCount() - start < milliseconds);
  return nullptr;
}

bool WaitUntilGone(HWND window, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start >= milliseconds) return false;
    Sleep(10);
  }
  return true;
}

std::vector<CaughtBox> TakeCaughtBoxes() {
  EnterCriticalSection(&g_hooks.lock);
  std::vector<CaughtBox> boxes;
  boxes.swap(g_hooks.boxes);
  LeaveCriticalSection(&g_hooks.lock);
  return boxes;
}

std::vector<int> TakeProgressPositions() {
  EnterCriticalSection(&g_hooks.lock);
  std::vector<int> positions;
  positions.swap(g_hooks.positions);
  LeaveCriticalSection(&g_hooks.lock);
  return positions;
}

bool WaitForClosedBoxes(int count, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (g_hooks.closedBoxes < count) {
    if (GetTickCount() - start >= milliseconds) return false;
    Sleep(10);
  }
  return true;
}

int AboutCancelCommands() { return static_cast<int>(g_hooks.aboutCancels); }
