// The host's parent window: creation on its own or the caller's thread, and the key messages it receives.
#include "host_window.h"

#include "embed_host.h"
#include "host_log.h"

namespace {

CRITICAL_SECTION g_recordsLock;
std::vector<KeyMessage> g_keys;
std::vector<RECT> g_paints;
constexpr char kHostClass[] = "TavelmirTestHostWindow";

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      EnterCriticalSection(&g_recordsLock);
      g_keys.push_back({message, wParam, lParam});
      LeaveCriticalSection(&g_recordsLock);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EnterCriticalSection(&g_recordsLock);
      g_paints.push_back(paint.rcPaint);
      LeaveCriticalSection(&g_recordsLock);
      EndPaint(window, &paint);
      return 0;
    }
    case kPlayerIpc:
      return AnswerPlayerIpc(window, wParam, lParam);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool RegisterHostClass() {
  static bool registered = false;
  if (registered) return true;
  InitializeCriticalSection(&g_recordsLock);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = HostWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kHostClass;
  registered = RegisterClassA(&windowClass) != 0;
  return registered;
}

HWND CreateParent() {
  HWND window = CreateWindowExA(0, kHostClass, "Tavelmir test host", WS_OVERLAPPEDWINDOW, 20, 20, 240, 120, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window != nullptr) {
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    SetForegroundWindow(window);
  }
  return window;
}

struct ThreadStart {
  HostWindow* host;
  HANDLE ready;
};

DWORD WINAPI HostWindowThread(void* parameter) {
  auto* start = static_cast<ThreadStart*>(parameter);
  HostWindow* host = start->host;
  host->window = CreateParent();
  SetEvent(start->ready);
  if (host->window == nullptr) return 1;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

}  // namespace

bool StartHostWindowThread(HostWindow* host) {
  if (!RegisterHostClass()) return false;
  ThreadStart start{host, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  host->thread = CreateThread(nullptr, 0, HostWindowThread, &start, 0, &host->threadId);
  if (host->thread == nullptr) return false;
  DWORD waited = WaitForSingleObject(start.ready, 10000);
  CloseHandle(start.ready);
  if (waited != WAIT_OBJECT_0 || host->window == nullptr) {
    Fail("the host window thread did not create its window");
    return false;
  }
  return true;
}

bool CreateHostWindowHere(HostWindow* host) {
  if (!RegisterHostClass()) return false;
  host->thread = nullptr;
  host->threadId = GetCurrentThreadId();
  host->window = CreateParent();
  return host->window != nullptr;
}

void DestroyHostWindow(HostWindow* host) {
  if (host->thread != nullptr) {
    // DestroyWindow must run on the window's own thread; closing it there ends that thread's loop too.
    PostMessageA(host->window, WM_CLOSE, 0, 0);
    PostThreadMessageA(host->threadId, WM_QUIT, 0, 0);
    if (WaitForSingleObject(host->thread, 10000) != WAIT_OBJECT_0) Fail("the host window thread did not end");
    CloseHandle(host->thread);
  } else if (host->window != nullptr) {
    DestroyWindow(host->window);
  }
  *host = HostWindow{};
}

std::vector<KeyMessage> TakeHostKeys() {
  EnterCriticalSection(&g_recordsLock);
  std::vector<KeyMessage> keys;
  keys.swap(g_keys);
  LeaveCriticalSection(&g_recordsLock);
  return keys;
}

std::vector<RECT> TakeHostPaints() {
  EnterCriticalSection(&g_recordsLock);
  std::vector<RECT> paints;
  paints.swap(g_paints);
  LeaveCriticalSection(&g_recordsLock);
  return paints;
}

bool PumpMessages(int* quitCode) {
  bool quit = false;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = true;
      if (quitCode != nullptr) *quitCode = static_cast<int>(message.wParam);
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return quit;
}
