// Headless module name, profile files, directory search, formatting and message boxes (placeholder).
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/headless/headless_files.h"

namespace {
std::string g_moduleName;
std::vector<RecordedMessageBox> g_boxes;
}  // namespace

std::string HostPathFromWindows(const char* windowsPath) {
  std::string s = windowsPath ? windowsPath : "";
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}
void HeadlessSetModuleFileName(const std::string& name) { g_moduleName = name; }
DWORD GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) {
  if (size == 0) return 0;
  std::size_t n = std::min<std::size_t>(g_moduleName.size(), size - 1);
  std::memcpy(buffer, g_moduleName.data(), n);
  buffer[n] = 0;
  return static_cast<DWORD>(n);
}
HMODULE GetModuleHandleA(LPCSTR) { return reinterpret_cast<HMODULE>(0x400000); }
UINT GetPrivateProfileIntA(LPCSTR, LPCSTR, INT d, LPCSTR) { return static_cast<UINT>(d); }
DWORD GetPrivateProfileStringA(LPCSTR, LPCSTR, LPCSTR d, LPSTR buffer, DWORD size, LPCSTR) {
  if (size == 0) return 0;
  std::snprintf(buffer, size, "%s", d ? d : "");
  return static_cast<DWORD>(std::strlen(buffer));
}
BOOL WritePrivateProfileStringA(LPCSTR, LPCSTR, LPCSTR, LPCSTR) { return FALSE; }
HANDLE FindFirstFileA(LPCSTR, WIN32_FIND_DATAA*) { return INVALID_HANDLE_VALUE; }
BOOL FindNextFileA(HANDLE, WIN32_FIND_DATAA*) { return FALSE; }
BOOL FindClose(HANDLE) { return TRUE; }
int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, 1024, format, args);
  va_end(args);
  return n;
}
int lstrlenA(LPCSTR text) { return text ? static_cast<int>(std::strlen(text)) : 0; }
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  g_boxes.push_back({owner, text ? text : "", caption ? caption : "", style});
  return 1;
}
const std::vector<RecordedMessageBox>& HeadlessMessageBoxes() { return g_boxes; }
void HeadlessClearMessageBoxes() { g_boxes.clear(); }
