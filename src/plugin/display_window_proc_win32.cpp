// The plug-in's window procedure, an entry point of the system's: no cursor, no background, Escape closes, Alt+Enter
// switches, other keys go on. It works on the plug-in's one static record, the one the module's functions use.
#include "plugin/display.h"
#include "plugin/display_events.h"
#include "plugin/plugin_state.h"
#include "plugin/video_win32.h"

extern Plugin g_state;

namespace {

// Key message bits: Alt held, and the key already down before (auto-repeat).
constexpr LPARAM kAltDown = 1 << 29;
constexpr LPARAM kKeyWasDown = 1 << 30;

// Escape closes the window; every other key goes on to the host's window unchanged, so that the host keeps the
// keyboard while the full-screen window has the focus. Posted, never sent: the host's window is not waited for.
void ForwardKey(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (wParam == VK_ESCAPE) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    return;
  }
  auto* module = reinterpret_cast<VisModule*>(static_cast<LONG_PTR>(GetWindowLongA(window, GWL_USERDATA)));
  if (module != nullptr) PostMessageA(module->parent, message, wParam, lParam);
}

// The borderless window stands for full screen and is top-most like it; when another window is activated it
// must not stay over that one, so it steps back (just above its owner, the host's window) until activated again.
void KeepBorderlessOnTopWhileActive(HWND window, bool active) {
  if (g_state.Screen.DisplayKind != kDisplayBorderless) return;
  constexpr UINT kOrderOnly = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  if (active) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, kOrderOnly);
    return;
  }
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, kOrderOnly);
  SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, kOrderOnly);
}

}  // namespace

LRESULT CALLBACK DisplayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT handled = 0;
  if (HandleWindowHomeMessage(g_state, window, message, wParam, lParam, &handled)) return handled;
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      // Before the next frame comes, the hd picture's map for the new size is on its way.
      OnClientResized(g_state, LOWORD(lParam), HIWORD(lParam));
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_ERASEBKGND:
      return 0;  // every frame covers the screen; erasing would only flash
    case WM_ACTIVATEAPP:
      OnWindowActivated(g_state, wParam != 0);
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_ACTIVATE:
      // WM_ACTIVATEAPP comes only when activation moves between threads; a host whose own window shares this
      // thread never sends it, and the window, although active, would never draw.
      OnWindowActivated(g_state, LOWORD(wParam) != WA_INACTIVE);
      KeepBorderlessOnTopWhileActive(window, g_state.Screen.WindowActive != 0);
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_SETCURSOR:
      // A normal window keeps the system's cursors on its frame, for moving and sizing it.
      if (g_state.Screen.DisplayKind == kDisplayWindowed && LOWORD(lParam) != HTCLIENT)
        return DefWindowProcA(window, message, wParam, lParam);
      SetCursor(nullptr);
      return 1;
    case WM_SYSKEYDOWN:
      // Alt+Enter switches between window and full screen; the next Render, which owns the display, does it.
      if (wParam == VK_RETURN && (lParam & kAltDown) != 0) {
        if ((lParam & kKeyWasDown) == 0) OnSwitchAsked(g_state);
        return 0;
      }
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_KEYDOWN:
    case WM_KEYUP:
      ForwardKey(window, message, wParam, lParam);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
