// `tavelmir palettes`: the palettes that render, play and live would use, by name.
#pragma once
#include "command_streams.h"
#include "look_options.h"

// Lists the palettes of --palettes DIR, else of the data set (--plugin-dir's or the installed one). Exit status.
int RunPalettes(const LookOptions& options, CommandStreams& streams);
