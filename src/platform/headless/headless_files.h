// Headless substitute: module file name, text formatting, message boxes.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/headless/headless_types.h"

// --- The Win32 calls -------------------------------------------------------------------------------------------

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
HMODULE GetModuleHandleA(LPCSTR name);

int wsprintfA(LPSTR buffer, LPCSTR format, ...);
int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args);
int lstrlenA(LPCSTR text);

#define MB_OK 0x0
#define MB_ICONERROR 0x10
#define MB_ICONHAND 0x10
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);

// --- Controls for tests ----------------------------------------------------------------------------------------------

// The Windows path `windowsPath` as a host path: every backslash becomes '/'.
std::string HostPathFromWindows(const char* windowsPath);

// What GetModuleFileNameA reports for every module (default: empty). Tests set folders with and without
// backslashes, empty names and over-long names.
void HeadlessSetModuleFileName(const std::string& name);

struct RecordedMessageBox {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
};
// Every MessageBoxA call since the last clear, in order; MessageBoxA returns IDOK (1) without showing anything.
const std::vector<RecordedMessageBox>& HeadlessMessageBoxes();
void HeadlessClearMessageBoxes();
