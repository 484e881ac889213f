// The settings dialog's progress bar, moved through the common controls.
#include <windows.h>
#include <commctrl.h>

#include "plugin/fade_progress_bar.h"

namespace {

void MoveBar(void* context, int done) {
  HWND bar = static_cast<HWND>(context);
  const int position = FadeBarPosition(done);
  if (bar != nullptr && position >= 0) SendNotifyMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

}  // namespace

FadeProgress FadeProgressOnBar(HWND__* bar) { return {MoveBar, bar}; }
