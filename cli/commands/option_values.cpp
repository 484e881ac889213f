// Exact parsing of times, sizes and bounded numbers, with messages that show the ranges as a person writes them.
#include "option_values.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "frame_image.h"

namespace {

// Digits only, at most `limit` of them; the value through `out`.
bool Digits(const std::string& text, std::size_t limit, std::int64_t& out) {
  if (text.empty() || text.size() > limit) return false;
  out = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    out = out * 10 + (c - '0');
  }
  return true;
}

}  // namespace

bool ParseTime(const std::string& text, const char* option, std::int64_t& microseconds, std::string& error) {
  error =
      std::string(option) + " takes seconds (12.5) or [hh:]mm:ss[.ms] (1:02.5) from 0 to 100 hours, not '" + text + "'";
  std::string whole = text, fraction;
  const std::size_t dot = text.find('.');
  if (dot != std::string::npos) {
    whole = text.substr(0, dot);
    fraction = text.substr(dot + 1);
    if (fraction.empty() || fraction.size() > 6) return false;
  }
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t colon = whole.find(':', start);
    parts.push_back(whole.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() > 3) return false;
  std::int64_t seconds = 0;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::int64_t v = 0;
    // Hours and lone seconds may be long; minutes and seconds after a colon are two digits below 60.
    const bool sexagesimal = i > 0;
    if (!Digits(parts[i], sexagesimal ? 2 : 9, v) || (sexagesimal && v >= 60)) return false;
    if (i > 0 && parts[i].size() != 2) return false;
    seconds = seconds * 60 + v;
  }
  std::int64_t micro = 0;
  if (!fraction.empty()) {
    if (!Digits(fraction, 6, micro)) return false;
    for (std::size_t i = fraction.size(); i < 6; ++i) micro *= 10;
  }
  if (seconds > kMaximumTimeMicroseconds / 1000000) return false;
  microseconds = seconds * 1000000 + micro;
  if (microseconds > kMaximumTimeMicroseconds) return false;
  error.clear();
  return true;
}

bool ParseSize(const std::string& text, int& width, int& height, std::string& error) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "--size takes WIDTHxHEIGHT from %dx%d to %dx%d", kMinimumOutputSide,
                kMinimumOutputSide, kMaximumOutputWidth, kMaximumOutputHeight);
  error = std::string(buffer) + ", not '" + text + "'";
  const std::size_t x = text.find_first_of("xX");
  std::int64_t w = 0, h = 0;
  if (x == std::string::npos || !Digits(text.substr(0, x), 5, w) || !Digits(text.substr(x + 1), 5, h)) return false;
  if (w < kMinimumOutputSide || h < kMinimumOutputSide || w > kMaximumOutputWidth || h > kMaximumOutputHeight)
    return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  error.clear();
  return true;
}

bool ParseFiniteNumber(const std::string& text, const char* option, double minimum, double maximum, double& value,
                       std::string& error) {
  char range[96];
  std::snprintf(range, sizeof range, "%s takes a number from %g to %g", option, minimum, maximum);
  error = std::string(range) + ", not '" + text + "'";
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || errno == ERANGE || !std::isfinite(v) || v < minimum || v > maximum) return false;
  // strtod also reads hexadecimal and "infinity"; only plain decimals are numbers here.
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E')
      return false;
  value = v;
  error.clear();
  return true;
}

bool ParseWholeNumber(const std::string& text, std::int64_t minimum, std::int64_t maximum, std::int64_t& value) {
  // Nine digits at most: a value that would wrap is refused, never read modulo anything.
  std::int64_t v = 0;
  if (!Digits(text, 9, v) || v < minimum || v > maximum) return false;
  value = v;
  return true;
}
