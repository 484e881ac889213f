// The CBT hook that records and dismisses message boxes, so Init's failures can be checked without a user.
#include "message_box_hook.h"

namespace {

HHOOK g_hook = nullptr;
std::vector<CaughtMessageBox> g_boxes;
HWND g_openBox = nullptr;
constexpr UINT_PTR kCloseTimer = 0x7A5E;

void CALLBACK CloseBox(HWND box, UINT, UINT_PTR timer, DWORD) {
  KillTimer(box, timer);
  if (box == g_openBox && !g_boxes.empty()) g_boxes.back().stayedUp = true;
  g_openBox = nullptr;
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

std::string WindowText(HWND window) {
  char buffer[512] = {};
  if (window != nullptr) GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

bool IsVisibleButton(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  return button != nullptr && (GetWindowLongA(button, GWL_STYLE) & WS_VISIBLE) != 0;
}

// The icon control of a message box is number 20 on Windows; older Wine templates use 0x440.
HICON BoxIcon(HWND box) {
  for (int id : {20, 0x440}) {
    HWND control = GetDlgItem(box, id);
    if (control == nullptr) continue;
    HICON icon = reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0));
    if (icon != nullptr) return icon;
  }
  return nullptr;
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char className[64] = {};
    GetClassNameA(box, className, sizeof className);
    if (std::string(className) == "#32770" && GetDlgItem(box, 0xFFFF) != nullptr) {
      CaughtMessageBox caught;
      caught.text = WindowText(GetDlgItem(box, 0xFFFF));
      caught.caption = WindowText(box);
      caught.owner = GetWindow(box, GW_OWNER);
      caught.errorIcon = BoxIcon(box) == LoadIconA(nullptr, IDI_ERROR);
      caught.onlyOkButton = IsVisibleButton(box, IDOK);
      for (int id : {IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        if (IsVisibleButton(box, id)) caught.onlyOkButton = false;
      }
      caught.screenWidth = GetSystemMetrics(SM_CXSCREEN);
      caught.displayWindow = FindWindowA("MainWndClass", nullptr) != nullptr;
      caught.stayedUp = false;
      g_boxes.push_back(caught);
      g_openBox = box;
      SetTimer(box, kCloseTimer, 150, CloseBox);
    }
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

}  // namespace

bool StartCatchingMessageBoxes() {
  g_boxes.clear();
  g_hook = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
  return g_hook != nullptr;
}

void StopCatchingMessageBoxes() {
  if (g_hook != nullptr) UnhookWindowsHookEx(g_hook);
  g_hook = nullptr;
}

std::vector<CaughtMessageBox> TakeMessageBoxes() {
  std::vector<CaughtMessageBox> boxes;
  boxes.swap(g_boxes);
  return boxes;
}
