// The libraries' own messages (FFmpeg's log, the MPEG decoder behind libsndfile, the encoder's ffmpeg): kept off
// the terminal, where tavelmir says what went wrong in its own words, unless asked for with --verbose.
#pragma once

// Sets FFmpeg's log level for the process, and what the other shows-or-hides below do.
void ShowMediaChatter(bool verbose);
bool MediaChatterShown();

// Standard error sent to /dev/null while the object lives (unless chatter is shown): for libraries that print
// there themselves. Only around calls on the thread that writes tavelmir's own messages.
class QuietStandardError {
 public:
  QuietStandardError();
  ~QuietStandardError();
  QuietStandardError(const QuietStandardError&) = delete;
  QuietStandardError& operator=(const QuietStandardError&) = delete;

 private:
  int saved_ = -1;
};
