// Headless module name, profile (INI) files, directory search, text formatting and message boxes.
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

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// Copies `text` into a caller's buffer of `size` bytes, cut to fit, always terminated. Returns the characters
// copied, without the NUL.
DWORD CopyCut(const std::string& text, LPSTR buffer, DWORD size) {
  std::size_t n = std::min<std::size_t>(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

// --- Profile files -------------------------------------------------------------------------------------------------

// One line of a profile file as it stands on disk: its text and its own line end, so that a write can give back
// every line it does not change byte for byte.
struct ProfileLine {
  std::string text;
  std::string ending;  // "\r\n", "\n" or "" (last line without one)
};

enum class LineKind { Other, Section, Key };

struct LineMeaning {
  LineKind kind = LineKind::Other;
  std::string name;   // section or key name, blanks trimmed
  std::string value;  // key value, blanks trimmed
};

// A line means what a C string reader sees of it: a NUL byte ends its text, so "Key\0=1" is no key and
// "Key=1\0junk" has the value "1". The line itself stays whole on disk. A UTF-8 byte order mark is not skipped:
// like the system's ANSI profile calls, it belongs to the first line's text, so a section header on that line
// is not recognised.
LineMeaning Classify(const std::string& text) {
  LineMeaning m;
  std::string t = Trim(text.substr(0, text.find('\0')));
  if (t.empty() || t[0] == ';') return m;
  if (t[0] == '[') {
    std::size_t close = t.find(']');
    if (close == std::string::npos) return m;  // broken header: kept, but neither opens nor ends a section
    m.kind = LineKind::Section;
    m.name = Trim(t.substr(1, close - 1));
    return m;
  }
  std::size_t eq = t.find('=');
  if (eq == std::string::npos) return m;
  m.kind = LineKind::Key;
  m.name = Trim(t.substr(0, eq));
  m.value = Trim(t.substr(eq + 1));
  return m;
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadProfile(LPCSTR fileName, std::vector<ProfileLine>& lines) {
  lines.clear();
  if (fileName == nullptr) return ReadResult::Missing;
  std::string hostPath = HostPathFromWindows(fileName);
  std::error_code ec;
  if (!std::filesystem::exists(hostPath, ec)) return ReadResult::Missing;
  if (!std::filesystem::is_regular_file(hostPath, ec)) return ReadResult::Failed;
  std::FILE* f = std::fopen(hostPath.c_str(), "rb");
  if (f == nullptr) return ReadResult::Failed;
  std::string content;
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) content.append(chunk, got);
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return ReadResult::Failed;

  // Only LF ends a line (a CR before it belongs to the line end); a lone CR stays inside the line's text.
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t nl = content.find('\n', start);
    if (nl == std::string::npos) {
      lines.push_back({content.substr(start), ""});
      break;
    }
    std::size_t end = nl;
    std::string ending = "\n";
    if (end > start && content[end - 1] == '\r') {
      --end;
      ending = "\r\n";
    }
    lines.push_back({content.substr(start, end - start), ending});
    start = nl + 1;
  }
  return ReadResult::Ok;
}

bool WriteProfile(LPCSTR fileName, const std::vector<ProfileLine>& lines) {
  std::FILE* f = std::fopen(HostPathFromWindows(fileName).c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = true;
  for (const ProfileLine& line : lines) {
    if (!line.text.empty() && std::fwrite(line.text.data(), 1, line.text.size(), f) != line.text.size()) ok = false;
    if (!line.ending.empty() && std::fwrite(line.ending.data(), 1, line.ending.size(), f) != line.ending.size())
      ok = false;
  }
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

// The first section of that name: [header, end) where end is the next header or the end of the file. Keys
// before the first header belong to no section. A second section of the same name is never read, not even for
// a key that only it holds, and writes go to the first: what is read is always what was written. Returns false
// when there is none.
bool FindSection(const std::vector<ProfileLine>& lines, const std::string& section, std::size_t& header,
                 std::size_t& end) {
  std::string wanted = Trim(section);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    LineMeaning m = Classify(lines[i].text);
    if (m.kind != LineKind::Section || !SameNoCase(m.name, wanted)) continue;
    header = i;
    end = i + 1;
    while (end < lines.size() && Classify(lines[end].text).kind != LineKind::Section) ++end;
    return true;
  }
  return false;
}

// The first line of the section holding that key, or npos: of two lines with one key the earlier wins.
std::size_t FindKey(const std::vector<ProfileLine>& lines, std::size_t header, std::size_t end, const std::string& key,
                    LineMeaning* meaning) {
  std::string wanted = Trim(key);
  for (std::size_t i = header + 1; i < end; ++i) {
    LineMeaning m = Classify(lines[i].text);
    if (m.kind == LineKind::Key && SameNoCase(m.name, wanted)) {
      if (meaning != nullptr) *meaning = std::move(m);
      return i;
    }
  }
  return std::string::npos;
}

// A value in matching single or double quotes is given without them.
std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

bool LookUp(LPCSTR section, LPCSTR key, LPCSTR fileName, std::string& value) {
  std::vector<ProfileLine> lines;
  if (ReadProfile(fileName, lines) != ReadResult::Ok) return false;
  std::size_t header, end;
  if (!FindSection(lines, section, header, end)) return false;
  LineMeaning m;
  if (FindKey(lines, header, end, key, &m) == std::string::npos) return false;
  value = Unquote(m.value);
  return true;
}

// Names as a list of NUL-terminated strings closed by an extra NUL, cut to the buffer the way the system does
// (the return value is then size - 2).
DWORD CopyNameList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  std::size_t at = 0;
  for (const std::string& name : names) {
    if (at + name.size() + 1 > size - 1) {
      // The names before may already fill all but the last byte (at == size - 1): nothing of this one fits.
      std::size_t n = at < size - 2 ? std::min<std::size_t>(name.size(), size - 2 - at) : 0;
      std::memcpy(buffer + at, name.data(), n);
      buffer[size - 2] = '\0';
      buffer[size - 1] = '\0';
      return size - 2;
    }
    std::memcpy(buffer + at, name.data(), name.size());
    at += name.size();
    buffer[at++] = '\0';
  }
  buffer[at] = '\0';
  return static_cast<DWORD>(at == 0 ? 0 : at);
}

// Integer text as the system converts it: blanks, an optional sign, an optional 0x/0o/0b base prefix, then the
// digits of that base up to the first other character. No digits gives 0; more digits than 32 bits hold wrap
// around modulo 2^32 (unsigned arithmetic, so nothing overflows).
UINT ParseProfileInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  unsigned base = 10;
  if (i + 1 < text.size() && text[i] == '0') {
    char p = Lower(text[i + 1]);
    if (p == 'x') base = 16;
    if (p == 'o') base = 8;
    if (p == 'b') base = 2;
    if (base != 10) i += 2;
  }
  std::uint32_t value = 0;
  for (; i < text.size(); ++i) {
    char c = Lower(text[i]);
    unsigned digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<unsigned>(c - 'a' + 10);
    else
      break;
    if (digit >= base) break;
    value = value * base + digit;
  }
  return negative ? 0u - value : value;
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

// --- Profile calls --------------------------------------------------------------------------------------------------

// A key that is missing, or present with an empty value, gives the default. The system reads the value through
// a 30-character buffer, so only its first 29 characters count: 10,000 digits read as their first 29.
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName) {
  constexpr std::size_t kIntegerTextLimit = 29;
  std::string value;
  if (section == nullptr || key == nullptr || !LookUp(section, key, fileName, value) || value.empty())
    return static_cast<UINT>(defaultValue);
  if (value.size() > kIntegerTextLimit) value.resize(kIntegerTextLimit);
  return ParseProfileInteger(value);
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName) {
  if (buffer == nullptr || size == 0) return 0;
  if (section == nullptr || key == nullptr) {
    // Name lists: every section name, or every key name of the section.
    std::vector<std::string> names;
    std::vector<ProfileLine> lines;
    if (ReadProfile(fileName, lines) == ReadResult::Ok) {
      std::size_t header = 0, end = lines.size();
      bool have = section == nullptr || FindSection(lines, section, header, end);
      for (std::size_t i = section == nullptr ? 0 : header + 1; have && i < end; ++i) {
        LineMeaning m = Classify(lines[i].text);
        if (m.kind == (section == nullptr ? LineKind::Section : LineKind::Key)) names.push_back(m.name);
      }
    }
    return CopyNameList(names, buffer, size);
  }
  std::string value;
  if (!LookUp(section, key, fileName, value)) {
    // The system drops trailing blanks of the default.
    value = defaultValue ? defaultValue : "";
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
  }
  return CopyCut(value, buffer, size);
}

// Replaces the key's line in place (keeping the key's spelling in the file), adds a missing key after the last
// line of its section, and a missing section at the end of the file; every other line stays as it was. A null
// value removes the key, a null key the whole section.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
  if (section == nullptr || fileName == nullptr) return FALSE;
  std::vector<ProfileLine> lines;
  if (ReadProfile(fileName, lines) == ReadResult::Failed) return FALSE;

  std::size_t header, end;
  bool haveSection = FindSection(lines, section, header, end);
  if (key == nullptr) {
    if (!haveSection) return TRUE;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(header), lines.begin() + static_cast<std::ptrdiff_t>(end));
    return WriteProfile(fileName, lines) ? TRUE : FALSE;
  }

  std::string newLine = std::string(key) + "=" + (value ? value : "");
  if (!haveSection) {
    if (value == nullptr) return TRUE;
    if (!lines.empty()) {
      if (lines.back().ending.empty()) lines.back().ending = "\r\n";
      if (!Trim(lines.back().text).empty()) lines.push_back({"", "\r\n"});
    }
    lines.push_back({"[" + std::string(section) + "]", "\r\n"});
    lines.push_back({newLine, "\r\n"});
    return WriteProfile(fileName, lines) ? TRUE : FALSE;
  }

  LineMeaning m;
  std::size_t at = FindKey(lines, header, end, key, &m);
  if (at != std::string::npos) {
    if (value == nullptr) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
    } else {
      lines[at].text = m.name + "=" + value;
    }
    return WriteProfile(fileName, lines) ? TRUE : FALSE;
  }
  if (value == nullptr) return TRUE;
  // After the section's last non-blank line, so that blank lines separating it from the next stay in place.
  std::size_t last = end;
  while (last > header + 1 && Trim(lines[last - 1].text).empty()) --last;
  if (lines[last - 1].ending.empty()) lines[last - 1].ending = "\r\n";
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last), {newLine, "\r\n"});
  return WriteProfile(fileName, lines) ? TRUE : FALSE;
}

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
