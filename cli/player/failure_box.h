// `play` and `live` from the desktop's menu: no terminal shows their standard error, so what made them fail is
// shown in a message box as well.
#pragma once
#include <functional>
#include <string>

#include "command_streams.h"

// Runs `command` with its messages copied; when it fails and standard error is no terminal, shows them in a
// message box too (where a window system can show one: not under SDL's dummy or offscreen video drivers).
int RunWithFailureBox(const std::function<int(CommandStreams&)>& command, CommandStreams& streams);
// Whether a failure with these messages gets a box: it failed (not ended by a signal), nobody reads standard
// error, it said something.
bool WantsFailureBox(int status, bool terminal, const std::string& said);
