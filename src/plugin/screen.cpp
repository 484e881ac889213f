// Which backend carries the frame for each way the display came up.
#include "plugin/screen.h"

const ScreenBackend& ScreenBackendOf(std::int32_t kind) {
  switch (kind) {
    case kDisplayExclusiveScaled:
      return ExclusiveScaledScreen();
    case kDisplayBorderless:
      return BorderlessScreen();
    case kDisplayWindowed:
      return WindowedScreen();
    case kDisplayDocked:
      return DockedScreen();
    default:
      return ExclusiveScreen();
  }
}
