// The one line of error text that a failed copy or lock writes at the screen's top-left corner.
#pragma once
#include "plugin/video.h"

constexpr const char kBlitErrorFormat[] = "BlitError = 0";
constexpr const char kBlitFastErrorFormat[] = "BlitFastError = 0";
constexpr const char kLockErrorFormat[] = "LockError = 0";

// Writes `label`, `result` in eight upper-case hexadecimal digits and "h" (as "BlitError = 080004005h") on the
// screen surface. Draws nothing when the surface gives no drawing context.
void DrawDisplayError(VidSurface* screen, const char* label, VidResult result);
