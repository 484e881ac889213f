// The command line of `tavelmir`: sub-commands and options, parsed with CLI11 and handed to the commands.
#pragma once
#include <ostream>

// Runs one command line (argv[0] is the program's name) and returns the exit status. Help goes to `out`, errors
// to `err`; `terminal` says whether `err` is a terminal (progress bars).
int RunTavelmir(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool terminal);
