// Times as people read them, "m:ss" or "m:ss.cc": the one formatter of the command line's messages, progress,
// player notes and help. Writes into a buffer, so that the player's help drawn each frame allocates nothing.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

constexpr std::size_t kClockTextBytes = 32;

// A time in hundredths of a second as "1:05" (or "1:05.30" with `hundredths`), cut toward zero, the minutes
// unbounded; "?" when negative (unknown).
inline const char* FormatClock(std::int64_t centiseconds, bool hundredths, char (&out)[kClockTextBytes]) {
  if (centiseconds < 0) {
    std::snprintf(out, sizeof out, "?");
  } else {
    const long long seconds = static_cast<long long>(centiseconds / 100);
    std::snprintf(out, sizeof out, hundredths ? "%lld:%02lld.%02lld" : "%lld:%02lld", seconds / 60, seconds % 60,
                  static_cast<long long>(centiseconds % 100));
  }
  return out;
}

inline std::string ClockText(std::int64_t centiseconds, bool hundredths = false) {
  char text[kClockTextBytes];
  return FormatClock(centiseconds, hundredths, text);
}

// Whole seconds elapsed of a time in seconds, as hundredths for the above; negative (unknown) stays negative.
inline std::int64_t WholeSecondsAsCentiseconds(double seconds) {
  return seconds < 0 ? -1 : static_cast<std::int64_t>(seconds) * 100;
}
