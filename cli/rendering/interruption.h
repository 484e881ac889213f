// Ctrl-C, SIGTERM and SIGHUP during a render: noted, so that the render stops and removes what it started.
#pragma once

// Installs the handlers (without SA_RESTART, so that a blocked write or wait returns) and clears the note.
void CatchInterruptions();
// The handlers of before CatchInterruptions.
void ReleaseInterruptions();
// A signal arrived since CatchInterruptions.
bool Interrupted();
// The signal's name for messages ("SIGINT", ...), or empty.
const char* InterruptionName();
// The exit status of a program that a signal stopped, as shells report it: 128 + the signal (130 for Ctrl-C);
// 1 without one.
int InterruptionExitStatus();
