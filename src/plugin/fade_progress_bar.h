// The settings dialog's progress bar, moved by the fade-table computation.
#pragma once
#include "core/fade_table.h"

struct HWND__;

// Where the bar goes when `done` rows of 256 are computed, or -1 where it stays: it moves only while bit 3 of the
// next row's number is set, eight rows of every sixteen (the cadence the dialog has always had, kept so that the
// bar looks and paces as users know it), and goes back to empty when the table is done.
int FadeBarPosition(int done);

// Progress reports that move `bar` (none when it is null); in the plug-in build only.
FadeProgress FadeProgressOnBar(HWND__* bar);
