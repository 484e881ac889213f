// Puts every headless platform service back into its start state, between tests.
#include "support/headless_reset.h"

#include "platform/platform.h"

void ResetHeadlessPlatform() {
  HeadlessResetWindows();
  HeadlessResetDirectDraw();
  HeadlessResetGdi();
  HeadlessClearMessageBoxes();
}
