// The settings dialog's progress bar's cadence during the fade-table computation.
#include "plugin/fade_progress_bar.h"

int FadeBarPosition(int done) {
  if (done >= 256) return 0;
  return ((done + 1) & 8) != 0 ? done : -1;
}
