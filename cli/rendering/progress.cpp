// The terminal progress bar.
#include "progress.h"

#include <cmath>
#include <cstdio>

#include "clock_text.h"

std::string FormatProgressLine(std::int64_t done, std::int64_t total, double seconds, const char* unit) {
  constexpr int kBarWidth = 30;
  if (total <= 0) {  // a stream of unknown length: counts and rate only
    char text[96];
    std::snprintf(text, sizeof text, "%lld %s  %.0f/s", static_cast<long long>(done), unit,
                  seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
    return text;
  }
  const double fraction = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
  const int filled = static_cast<int>(fraction * kBarWidth);
  std::string line = "[";
  for (int i = 0; i < kBarWidth; ++i) line += i < filled ? '#' : '.';
  line += "] ";
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
  char text[160];
  if (rate > 0) {
    const long left = static_cast<long>(std::ceil(static_cast<double>(total - done) / rate));
    std::snprintf(text, sizeof text, "%lld/%lld %s  %.0f/s  %s left", static_cast<long long>(done),
                  static_cast<long long>(total), unit, rate, ClockText(std::int64_t{left} * 100).c_str());
  } else {
    std::snprintf(text, sizeof text, "%lld/%lld %s", static_cast<long long>(done), static_cast<long long>(total), unit);
  }
  return line + text;
}

ProgressBar StartProgress(std::ostream& out, bool enabled, std::int64_t total, const char* unit) {
  ProgressBar bar;
  bar.out = enabled ? &out : nullptr;
  bar.total = total;
  bar.unit = unit;
  bar.start = std::chrono::steady_clock::now();
  return bar;
}

void UpdateProgress(ProgressBar& bar, std::int64_t done) {
  if (!bar.out) return;
  const auto now = std::chrono::steady_clock::now();
  if (bar.drawn && (bar.total <= 0 || done < bar.total) && now - bar.lastDraw < std::chrono::milliseconds(100)) return;
  bar.lastDraw = now;
  bar.drawn = true;
  const double seconds = std::chrono::duration<double>(now - bar.start).count();
  *bar.out << '\r' << FormatProgressLine(done, bar.total, seconds, bar.unit) << "\x1b[K" << std::flush;
}

void FinishProgress(ProgressBar& bar) {
  if (bar.out && bar.drawn) *bar.out << '\n' << std::flush;
  bar.drawn = false;
}
