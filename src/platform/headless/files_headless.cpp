// Headless module name, text formatting and message boxes.
#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/headless/headless_files.h"

namespace {

std::string g_moduleName;
std::vector<RecordedMessageBox> g_boxes;

// --- Text helpers ------------------------------------------------------------------------------------------------

// Copies `text` into a caller's buffer of `size` bytes, cut to fit, always terminated. Returns the characters
// copied, without the NUL.
DWORD CopyCut(const std::string& text, LPSTR buffer, DWORD size) {
  std::size_t n = std::min<std::size_t>(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

// --- Formatting --------------------------------------------------------------------------------------------------

constexpr std::size_t kFormatLimit = 1024;  // the system's own limit, terminating NUL included

}  // namespace

// --- Controls -------------------------------------------------------------------------------------------------------

std::string HostPathFromWindows(const char* windowsPath) {
  std::string s = windowsPath ? windowsPath : "";
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

void HeadlessSetModuleFileName(const std::string& name) { g_moduleName = name; }

// --- Module ---------------------------------------------------------------------------------------------------------

// Like the system since Vista: a name that does not fit is cut to size - 1 characters, terminated, and the
// call answers `size`.
DWORD GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  if (g_moduleName.size() >= size) {
    CopyCut(g_moduleName, buffer, size);
    return size;
  }
  return CopyCut(g_moduleName, buffer, size);
}

HMODULE GetModuleHandleA(LPCSTR) { return reinterpret_cast<HMODULE>(0x400000); }

// --- Formatting -----------------------------------------------------------------------------------------------------

// The system's conversions: flags '-', '#', '0', width, precision, the size prefixes 'l' and 'h' (an int and a
// long are both 32 bits there, so 'l' changes nothing for numbers; "%ls" is a wide string), and the types d i u
// x X c s p. '*' is not supported. An unknown type is written as itself, like "%%". Output stops at 1023
// characters and is always terminated; the result is the number of characters stored.
int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args) {
  if (buffer == nullptr) return 0;
  if (format == nullptr) {
    buffer[0] = '\0';
    return 0;
  }
  std::size_t out = 0;
  auto put = [&](const char* s, std::size_t n) {
    n = std::min(n, kFormatLimit - 1 - out);
    std::memcpy(buffer + out, s, n);
    out += n;
  };
  const char* f = format;
  while (*f != '\0') {
    if (*f != '%') {
      put(f++, 1);
      continue;
    }
    ++f;
    std::string conversion = "%";
    while (*f == '-' || *f == '#' || *f == '0') conversion += *f++;
    while (*f >= '0' && *f <= '9') conversion += *f++;
    if (*f == '.') {
      conversion += *f++;
      while (*f >= '0' && *f <= '9') conversion += *f++;
    }
    bool wide = false;
    if (*f == 'l' || *f == 'h') wide = *f++ == 'l';
    char type = *f;
    if (type == '\0') break;
    ++f;
    char piece[kFormatLimit + 64];
    int n = -1;
    switch (type) {
      case 'd':
      case 'i':
        conversion += 'd';
        n = std::snprintf(piece, sizeof piece, conversion.c_str(), va_arg(args, int));
        break;
      case 'u':
      case 'x':
      case 'X':
        conversion += type;
        n = std::snprintf(piece, sizeof piece, conversion.c_str(), va_arg(args, unsigned));
        break;
      case 'c':
        conversion += 'c';
        n = std::snprintf(piece, sizeof piece, conversion.c_str(), va_arg(args, int));
        break;
      case 'p':
        n = std::snprintf(piece, sizeof piece, "%08llX",
                          static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(va_arg(args, void*))));
        break;
      case 's': {
        std::string text;
        if (wide) {
          const wchar_t* w = va_arg(args, const wchar_t*);
          if (w == nullptr) w = L"(null)";
          for (; *w != L'\0'; ++w) text += (*w >= 0 && *w < 0x80) ? static_cast<char>(*w) : '?';
        } else {
          const char* s = va_arg(args, const char*);
          text = s ? s : "(null)";
        }
        conversion += 's';
        n = std::snprintf(piece, sizeof piece, conversion.c_str(), text.c_str());
        break;
      }
      default:
        piece[0] = type;
        n = 1;
        break;
    }
    if (n > 0) put(piece, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof piece - 1));
  }
  buffer[out] = '\0';
  return static_cast<int>(out);
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  va_list args;
  va_start(args, format);
  int n = wvsprintfA(buffer, format, args);
  va_end(args);
  return n;
}

int lstrlenA(LPCSTR text) { return text ? static_cast<int>(std::strlen(text)) : 0; }

// --- Message boxes --------------------------------------------------------------------------------------------------

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  g_boxes.push_back({owner, text ? text : "", caption ? caption : "", style});
  return 1;
}
const std::vector<RecordedMessageBox>& HeadlessMessageBoxes() { return g_boxes; }
void HeadlessClearMessageBoxes() { g_boxes.clear(); }
