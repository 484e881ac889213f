// The settings dialog's progress bar during the fade-table computation, in a file of both builds for its tests.
#include "plugin/fade_progress_bar.h"

namespace {

// The bar moves only while bit 3 of the next row's number is set, eight rows of every sixteen: the cadence the
// dialog has always had, kept so that the bar looks and paces as users know it.
void MoveBar(void* context, int done) {
  HWND bar = static_cast<HWND>(context);
  if (bar == nullptr) return;
  if (done >= 256)
    SendNotifyMessageA(bar, PBM_SETPOS, 0, 0);
  else if (((done + 1) & 8) != 0)
    SendNotifyMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(done), 0);
}

}  // namespace

FadeProgress FadeProgressOnBar(HWND bar) { return {MoveBar, bar}; }
