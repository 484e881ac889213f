// The message box for a window command that failed where nobody reads its standard error.
#include "failure_box.h"

#include <SDL2/SDL.h>
#include <unistd.h>

#include <cstring>
#include <ostream>
#include <streambuf>

namespace {

// Writes through to another stream and keeps a copy.
class CopyingBuffer : public std::streambuf {
 public:
  CopyingBuffer(std::ostream& to, std::string& copy) : to_(to), copy_(copy) {}

 protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    copy_ += static_cast<char>(c);
    to_.put(static_cast<char>(c));
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    copy_.append(s, static_cast<std::size_t>(n));
    to_.write(s, n);
    return n;
  }
  int sync() override {
    to_.flush();
    return 0;
  }

 private:
  std::ostream& to_;
  std::string& copy_;
};

void ShowFailureBox(const std::string& said) {
  // The last lines are the failure; "tavelmir: " at their start says nothing in a box titled with the program.
  std::string text;
  std::size_t start = said.size() > 1500 ? said.find('\n', said.size() - 1500) + 1 : 0;
  while (start < said.size()) {
    std::size_t end = said.find('\n', start);
    if (end == std::string::npos) end = said.size();
    std::string line = said.substr(start, end - start);
    if (line.rfind("tavelmir: ", 0) == 0) line.erase(0, 10);
    text += line + "\n";
    start = end + 1;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;  // no window system: standard error is all there is
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0)
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Ombrelo Tunnel", text.c_str(), nullptr);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace

bool WantsFailureBox(int status, bool terminal, const std::string& said) {
  // Ended by a signal (128 + its number: closed at logout, stopped by the user) is no failure to show.
  const bool failed = status != 0 && status < 128;
  return failed && !terminal && said.find_first_not_of(" \n") != std::string::npos;
}

int RunWithFailureBox(const std::function<int(CommandStreams&)>& command, CommandStreams& streams) {
  std::string said;
  CopyingBuffer copying(streams.err, said);
  std::ostream err(&copying);
  CommandStreams copied{streams.out, err, streams.terminal};
  const int status = command(copied);
  err.flush();
  // A terminal on standard input means someone typed the command (and perhaps sent its messages to a file).
  if (WantsFailureBox(status, streams.terminal || isatty(0) != 0, said)) ShowFailureBox(said);
  return status;
}
