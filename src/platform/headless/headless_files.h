// Headless substitute: module file name, directory search, text formatting, message boxes.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/headless/headless_types.h"

// --- The Win32 calls -------------------------------------------------------------------------------------------

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
HMODULE GetModuleHandleA(LPCSTR name);

struct FILETIME {
  DWORD dwLowDateTime, dwHighDateTime;
};
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime, ftLastAccessTime, ftLastWriteTime;
  DWORD nFileSizeHigh, nFileSizeLow;
  DWORD dwReserved0, dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
};
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define FILE_ATTRIBUTE_NORMAL 0x80
HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE search);

int wsprintfA(LPSTR buffer, LPCSTR format, ...);
int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args);
int lstrlenA(LPCSTR text);

#define MB_OK 0x0
#define MB_ICONERROR 0x10
#define MB_ICONHAND 0x10
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);

// --- Controls for tests and the command-line host ----------------------------------------------------------------

// The Windows path `windowsPath` as a host path: every backslash becomes '/'.
std::string HostPathFromWindows(const char* windowsPath);

// What GetModuleFileNameA reports for every module (default: empty). Tests set folders with and without
// backslashes, empty names and over-long names.
void HeadlessSetModuleFileName(const std::string& name);

// Called by FindFirstFileA with its pattern after the folder has been listed and before the call returns, so a
// test can change the folder between a search's listing and the reads that follow it (a file removed or
// shortened, a file added before the next search). Pass an empty function to remove it.
using HeadlessFindHook = std::function<void(const std::string& pattern)>;
void HeadlessSetFindHook(HeadlessFindHook hook);
// Searches opened by FindFirstFileA and not yet closed by FindClose.
std::size_t HeadlessOpenSearchCount();

struct RecordedMessageBox {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
};
// Every MessageBoxA call since the last clear, in order; MessageBoxA returns IDOK (1) without showing anything.
const std::vector<RecordedMessageBox>& HeadlessMessageBoxes();
void HeadlessClearMessageBoxes();
