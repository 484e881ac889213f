// Headless module name, directory search, text formatting and message boxes.
#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/headless/headless_files.h"

namespace {

std::string g_moduleName;
std::vector<RecordedMessageBox> g_boxes;
HeadlessFindHook g_findHook;

// --- Text helpers ------------------------------------------------------------------------------------------------

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Copies `text` into a caller's buffer of `size` bytes, cut to fit, always terminated. Returns the characters
// copied, without the NUL.
DWORD CopyCut(const std::string& text, LPSTR buffer, DWORD size) {
  std::size_t n = std::min<std::size_t>(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

// --- Directory search ---------------------------------------------------------------------------------------------

struct FindSearch {
  std::vector<WIN32_FIND_DATAA> entries;
  std::size_t next = 0;
};
std::vector<std::unique_ptr<FindSearch>> g_searches;

FindSearch* LiveSearch(HANDLE handle) {
  for (const auto& s : g_searches)
    if (s.get() == handle) return s.get();
  return nullptr;
}

// '*' any run of characters, '?' exactly one; letters compare without case, like the system's matching of long
// names ("*.*" matches every name, with or without a dot). Short 8.3 names do not exist here.
bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*") return true;
  std::size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool FillEntry(const std::string& name, const std::filesystem::path& full, WIN32_FIND_DATAA& data) {
  if (name.size() >= sizeof data.cFileName) return false;
  data = WIN32_FIND_DATAA{};
  std::error_code ec;
  std::filesystem::file_status st = std::filesystem::status(full, ec);
  if (std::filesystem::is_directory(st)) {
    data.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
  } else {
    data.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    std::uintmax_t size = std::filesystem::is_regular_file(st) ? std::filesystem::file_size(full, ec) : 0;
    if (ec) size = 0;
    data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
  }
  std::memcpy(data.cFileName, name.c_str(), name.size() + 1);
  return true;
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

void HeadlessSetFindHook(HeadlessFindHook hook) { g_findHook = std::move(hook); }

std::size_t HeadlessOpenSearchCount() { return g_searches.size(); }

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

// --- Directory search -----------------------------------------------------------------------------------------------

// The folder is listed once, at the first call. "." and ".." come first, as on the system; the other names
// follow in descending byte order: deterministic on every file system, and deliberately not the order a caller
// wants, so that no caller comes to rely on the order of a listing (the system's order depends on the file
// system).
HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
  if (pattern == nullptr || data == nullptr) return INVALID_HANDLE_VALUE;
  std::string whole = pattern;
  std::size_t cut = whole.find_last_of("\\/");
  std::string folder = cut == std::string::npos ? "." : whole.substr(0, cut);
  std::string name = cut == std::string::npos ? whole : whole.substr(cut + 1);
  if (cut == 0) folder = "\\";
  if (name.empty() || folder.find_first_of("*?") != std::string::npos) return INVALID_HANDLE_VALUE;

  std::filesystem::path hostFolder = HostPathFromWindows(folder.c_str());
  std::error_code ec;
  if (!std::filesystem::is_directory(hostFolder, ec)) return INVALID_HANDLE_VALUE;
  std::vector<std::string> names;
  std::filesystem::directory_iterator it(hostFolder, ec), done;
  if (ec) return INVALID_HANDLE_VALUE;
  for (; it != done; it.increment(ec)) {
    if (ec) return INVALID_HANDLE_VALUE;
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end(), std::greater<>());
  names.insert(names.begin(), {".", ".."});

  auto search = std::make_unique<FindSearch>();
  for (const std::string& n : names) {
    WIN32_FIND_DATAA entry;
    if (WildcardMatch(name, n) && FillEntry(n, hostFolder / n, entry)) search->entries.push_back(entry);
  }
  if (g_findHook) g_findHook(whole);
  if (search->entries.empty()) return INVALID_HANDLE_VALUE;
  *data = search->entries[0];
  search->next = 1;
  g_searches.push_back(std::move(search));
  return g_searches.back().get();
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* data) {
  FindSearch* search = LiveSearch(handle);
  if (search == nullptr || data == nullptr || search->next >= search->entries.size()) return FALSE;
  *data = search->entries[search->next++];
  return TRUE;
}

BOOL FindClose(HANDLE handle) {
  for (auto it = g_searches.begin(); it != g_searches.end(); ++it) {
    if (it->get() == handle) {
      g_searches.erase(it);
      return TRUE;
    }
  }
  return FALSE;
}

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
