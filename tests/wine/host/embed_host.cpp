// The test host's embed frame: made on the host window's thread on request, resizing its child with itself, and
// the records of what the visualization asked for.
#include "embed_host.h"

#include "host_log.h"

namespace {

constexpr char kFrameClass[] = "TavelmirTestEmbedFrame";

CRITICAL_SECTION g_lock;
bool g_lockReady = false;
bool g_offered = false;
HWND g_frame = nullptr;
int g_requests = 0;
EmbedWindowState* g_state = nullptr;
std::vector<HWND> g_visWindows;

struct Locked {
  Locked() { EnterCriticalSection(&g_lock); }
  ~Locked() { LeaveCriticalSection(&g_lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

// As a player's frame: its child fills its client area whatever size the user gives the frame.
LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    if (HWND child = GetWindow(frame, GW_CHILD)) MoveWindow(child, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
    return 0;
  }
  return DefWindowProcA(frame, message, wParam, lParam);
}

bool RegisterFrameClass() {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = FrameProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = CreateSolidBrush(kFrameColour);
  windowClass.lpszClassName = kFrameClass;
  registered = RegisterClassA(&windowClass) != 0;
  return registered;
}

// The frame, hidden until the visualization shows it, where the record asks (or at a place of the host's).
HWND MakeFrame(HWND host, EmbedWindowState* state) {
  if (!RegisterFrameClass()) return nullptr;
  RECT r = state->r;
  if (r.right - r.left <= 0 || r.bottom - r.top <= 0) r = RECT{300, 40, 300 + 400, 40 + 320};
  HWND frame = CreateWindowExA(0, kFrameClass, "Player frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, host, nullptr, GetModuleHandleA(nullptr), nullptr);
  state->me = frame;
  return frame;
}

}  // namespace

void OfferEmbedding(bool offered) {
  if (!g_lockReady) {
    InitializeCriticalSection(&g_lock);
    g_lockReady = true;
  }
  Locked lock;
  g_offered = offered;
  g_frame = nullptr;
  g_requests = 0;
  g_state = nullptr;
  g_visWindows.clear();
}

LRESULT AnswerPlayerIpc(HWND host, WPARAM wParam, LPARAM lParam) {
  if (!g_lockReady) return 0;
  if (lParam == kIpcGetEmbedInterface) {
    bool offered;
    {
      Locked lock;
      offered = g_offered;
      ++g_requests;
    }
    // The other form of the request (wParam 0 asks for a function) is not offered: a host may answer either way.
    if (!offered || wParam == 0) return 0;
    auto* state = reinterpret_cast<EmbedWindowState*>(wParam);
    HWND frame = MakeFrame(host, state);
    Locked lock;
    g_frame = frame;
    g_state = state;
    return reinterpret_cast<LRESULT>(frame);
  }
  if (lParam == kIpcSetVisWindow) {
    Locked lock;
    g_visWindows.push_back(reinterpret_cast<HWND>(wParam));
    return 0;
  }
  return 0;
}

HWND EmbedFrame() {
  Locked lock;
  return g_frame;
}

int EmbedRequests() {
  Locked lock;
  return g_requests;
}

const EmbedWindowState* EmbedState() {
  Locked lock;
  return g_state;
}

std::vector<HWND> VisWindowsSet() {
  Locked lock;
  return g_visWindows;
}

HWND DockedWindow() {
  HWND frame = EmbedFrame();
  return frame != nullptr ? GetWindow(frame, GW_CHILD) : nullptr;
}

bool ResizeFrameClient(int width, int height) {
  HWND frame = EmbedFrame();
  if (frame == nullptr) return false;
  RECT outer{0, 0, width, height};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(frame, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(frame, GWL_EXSTYLE)));
  return SetWindowPos(frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
}

bool PostVisCommand(WORD command) {
  std::vector<HWND> named = VisWindowsSet();
  if (named.empty() || named.back() == nullptr) return false;
  return PostMessageA(named.back(), WM_COMMAND, MAKEWPARAM(command, 0), 0) != 0;
}
