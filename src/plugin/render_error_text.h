// The one line of error text that a failed copy or lock writes at the screen's top-left corner.
#pragma once
#include "platform/platform.h"

constexpr const char kBlitErrorFormat[] = "BlitError = 0%08Xh";
constexpr const char kBlitFastErrorFormat[] = "BlitFastError = 0%08Xh";
constexpr const char kLockErrorFormat[] = "LockError = 0%08Xh";

// Formats `result` with `format` and draws it, yellow on blue, on the primary surface. Draws
// nothing when the surface gives no drawing context.
void DrawDisplayError(const char* format, HRESULT result);
