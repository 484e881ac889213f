// Where the plug-in's normal window goes: remembered place kept reachable, sizes in the monitor's dots per inch.
#include "plugin/window_placement.h"

#include <algorithm>

namespace {

// The part of the window's top that must show: the caption's height at the base resolution, and enough of its
// width to take hold of it.
constexpr int kCaptionStrip = 24;
constexpr int kMinimumHold = 48;
constexpr int kMinimumHoldHeight = 8;

int Rounded(long long numerator, int denominator) {
  const long long half = denominator / 2;
  return static_cast<int>(numerator >= 0 ? (numerator + half) / denominator : (numerator - half) / denominator);
}

int ValidDpi(int dpi) { return dpi >= 1 ? dpi : kBaseDpi; }

}  // namespace

int ScaleToDpi(int length, int dpi) { return Rounded(static_cast<long long>(length) * ValidDpi(dpi), kBaseDpi); }

int UnscaleFromDpi(int length, int dpi) { return Rounded(static_cast<long long>(length) * kBaseDpi, ValidDpi(dpi)); }

ScreenRect CentreIn(const ScreenRect& work, int width, int height) {
  width = std::clamp(width, 0, std::max(work.Width(), 0));
  height = std::clamp(height, 0, std::max(work.Height(), 0));
  const int left = work.left + (work.Width() - width) / 2, top = work.top + (work.Height() - height) / 2;
  return ScreenRect{left, top, left + width, top + height};
}

bool CaptionReachable(const ScreenRect& window, std::span<const ScreenRect> workAreas) {
  const int stripBottom = window.top + std::min(kCaptionStrip, std::max(window.Height(), 1));
  for (const ScreenRect& work : workAreas) {
    const int width = std::min(window.right, work.right) - std::max(window.left, work.left);
    const int height = std::min(stripBottom, work.bottom) - std::max(window.top, work.top);
    const int strip = stripBottom - window.top;
    if (width > 0 && height > 0 && width >= std::min(kMinimumHold, window.Width()) &&
        height >= std::min(kMinimumHoldHeight, strip))
      return true;
  }
  return false;
}

ScreenRect KeepReachable(const ScreenRect& window, std::span<const ScreenRect> workAreas,
                         const ScreenRect& fallbackWork) {
  if (CaptionReachable(window, workAreas)) return window;
  return CentreIn(fallbackWork, window.Width(), window.Height());
}
