// Where the plug-in's normal window goes: its remembered place and size, kept reachable on a monitor that still
// exists, and sizes in the monitor's own dots per inch. Plain arithmetic, no window system.
#pragma once
#include <span>

struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const ScreenRect&) const = default;
};

// The dots per inch sizes are remembered in, the system's unscaled one.
constexpr int kBaseDpi = 96;

// A length given at kBaseDpi, at `dpi` (rounded to the nearest pixel); the other way round for Unscale.
// A dpi below 1 counts as kBaseDpi.
int ScaleToDpi(int length, int dpi);
int UnscaleFromDpi(int length, int dpi);

// A window of width x height centred in `work`, never larger than it.
ScreenRect CentreIn(const ScreenRect& work, int width, int height);

// True when the top strip of `window`, where its caption is, shows enough of itself on one of `workAreas` to be
// taken and moved with the mouse.
bool CaptionReachable(const ScreenRect& window, std::span<const ScreenRect> workAreas);

// `window` where it is when its caption is reachable; otherwise (its monitor is gone, or the file held a place
// off every screen) the same size centred in `fallbackWork`, the work area of the host's monitor.
ScreenRect KeepReachable(const ScreenRect& window, std::span<const ScreenRect> workAreas,
                         const ScreenRect& fallbackWork);
