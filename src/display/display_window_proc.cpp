// The full-screen window's procedure: no cursor, no background, Escape closes, other keys go to the host.
#include "display/display.h"
#include "host/effect_state.h"

namespace {

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

}  // namespace

LRESULT CALLBACK DisplayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_ERASEBKGND:
      return 0;  // every frame covers the screen; erasing would only flash
    case WM_ACTIVATEAPP:
      g_state.WindowActive = static_cast<std::int32_t>(wParam);
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_SETCURSOR:
      SetCursor(nullptr);
      return 1;
    case WM_KEYDOWN:
    case WM_KEYUP:
      ForwardKey(window, message, wParam, lParam);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
