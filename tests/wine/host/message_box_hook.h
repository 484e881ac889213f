// Catches the message boxes a thread shows (through a CBT hook), records them and closes them with OK.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct CaughtMessageBox {
  std::string text;
  std::string caption;
  HWND owner;
  bool errorIcon;      // shows the system's error (hand) icon
  bool onlyOkButton;   // OK is the one visible button
  int screenWidth;     // the display mode's width while the box was up
  bool displayWindow;  // the full-screen window ("MainWndClass") existed while the box was up
  bool stayedUp;       // still up when the hook closed it, a moment after it appeared; false when something
                       // else (a pending quit message ending the modal loop) took it away first
};

// Installs the hook on the calling thread; every message box that thread shows is recorded and, after a
// short while (as a user would), closed with OK.
bool StartCatchingMessageBoxes();
void StopCatchingMessageBoxes();
// The boxes caught since the last call, oldest first.
std::vector<CaughtMessageBox> TakeMessageBoxes();
