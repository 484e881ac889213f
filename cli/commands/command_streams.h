// Where a sub-command of `tavelmir` writes: its output, its messages, and whether progress bars may be drawn.
#pragma once
#include <ostream>

struct CommandStreams {
  std::ostream& out;
  std::ostream& err;
  bool terminal;  // stderr is a terminal: draw progress bars
};

// Largest shift of the picture against the sound, for render, play and live.
constexpr double kMaximumOffsetMs = 5000;
