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
};

// Installs the hook on the calling thread; every message box that thread shows is recorded and closed.
bool StartCatchingMessageBoxes();
void StopCatchingMessageBoxes();
// The boxes caught since the last call, oldest first.
std::vector<CaughtMessageBox> TakeMessageBoxes();
