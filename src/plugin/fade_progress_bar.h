// The settings dialog's progress bar, moved by the fade-table computation.
#pragma once
#include "platform/platform.h"
#include "core/fade_table.h"

// Progress reports that move `bar` (none when it is null) and put it back to empty when the table is done.
FadeProgress FadeProgressOnBar(HWND bar);
