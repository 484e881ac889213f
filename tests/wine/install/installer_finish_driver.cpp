// Runs the installer with its pages, as a user clicks through them, and on its last page takes a display choice.
// Usage: installer_finish_driver.exe <setup.exe> <Winamp folder> <choice> <log file>
//   choice: a radio button's caption to click ("In a &window"), "default" to leave full screen chosen, or "none"
//   when the page must offer no choice (the folder's plugin.ini holds one already).
#include <windows.h>

#include <cstring>
#include <string>

#include "../host/host_log.h"

namespace {

constexpr char kWizardCaption[] = "Ombrelo Tunnel Setup";
constexpr char kFullScreen[] = "&Full screen (or the nearest the screen offers)";
constexpr char kFinishMark[] = "Show the guide";

struct Search {
  const char* text;
  HWND found;
};

BOOL CALLBACK FindText(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  if (std::strcmp(text, search->text) != 0 || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND Child(HWND wizard, const char* text) {
  Search search{text, nullptr};
  EnumChildWindows(wizard, FindText, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The installer's window; its caption gains a trailing blank on some pages.
BOOL CALLBACK FindWizardWindow(HWND window, LPARAM parameter) {
  char text[128] = {};
  GetWindowTextA(window, text, sizeof text);
  if (std::strncmp(text, kWizardCaption, sizeof kWizardCaption - 1) != 0 || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(parameter) = window;
  return FALSE;
}

HWND FindWizard() {
  HWND found = nullptr;
  EnumWindows(FindWizardWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Clicks Next on every page until the last one shows; null after the timeout.
HWND ReachFinishPage(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  HWND page = nullptr;
  while (GetTickCount() - start < milliseconds) {
    Sleep(300);
    HWND wizard = FindWizard();
    if (wizard == nullptr) continue;
    if (Child(wizard, kFinishMark) != nullptr) return wizard;
    HWND next = GetDlgItem(wizard, IDOK);
    // The inner page is the wizard's dialog child; click once per page, once Next can be clicked.
    HWND current = FindWindowExA(wizard, nullptr, "#32770", nullptr);
    if (current == nullptr || current == page || next == nullptr || !IsWindowEnabled(next)) continue;
    char text[128] = {};
    GetWindowTextA(next, text, sizeof text);
    // The last page shows its button before its own controls: wait for them rather than click Finish.
    if (std::strcmp(text, "&Finish") == 0) continue;
    page = current;
    LogLine("clicking '%s'", text);
    PostMessageA(next, BM_CLICK, 0, 0);
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s SETUP WINAMP_FOLDER CHOICE LOG\n", argv[0]);
    return 2;
  }
  OpenHostLog(argv[4]);
  const std::string choice = argv[3];
  std::string command = std::string("\"") + argv[1] + "\" /D=" + argv[2];
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    Fail("could not start %s", argv[1]);
  } else {
    LogScope scope(choice);
    HWND wizard = ReachFinishPage(60000);
    if (wizard == nullptr) {
      Fail("the installer's last page did not show");
      TerminateProcess(process.hProcess, 1);
    } else {
      HWND fullScreen = Child(wizard, kFullScreen);
      if (choice == "none") {
        CHECK_TRUE(fullScreen == nullptr);
      } else {
        CHECK_TRUE(fullScreen != nullptr && SendMessageA(fullScreen, BM_GETCHECK, 0, 0) == BST_CHECKED);
        if (choice != "default") {
          HWND chosen = Child(wizard, choice.c_str());
          CHECK_TRUE(chosen != nullptr);
          if (chosen != nullptr) SendMessageA(chosen, BM_CLICK, 0, 0);
          CHECK_TRUE(fullScreen == nullptr || SendMessageA(fullScreen, BM_GETCHECK, 0, 0) == BST_UNCHECKED);
        }
      }
      PostMessageA(GetDlgItem(wizard, IDOK), BM_CLICK, 0, 0);
      if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
        Fail("the installer did not end on Finish");
        TerminateProcess(process.hProcess, 1);
      }
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHostLog();
  return FailureCount() == 0 ? 0 : 1;
}
