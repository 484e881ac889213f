// Names in "plugin.ini" match without regard to case, as the system's profile functions match them; ASCII only,
// whatever the locale, so that every build reads a file the same way.
#pragma once
#include <cstddef>
#include <string_view>

inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}
