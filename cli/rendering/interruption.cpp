// Signal handlers that only note the signal; the render loop and the pipe writers look at the note.
#include "interruption.h"

#include <csignal>

namespace {
volatile std::sig_atomic_t g_signal = 0;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];
bool g_installed = false;

void Note(int signal) { g_signal = signal; }
}  // namespace

void CatchInterruptions() {
  g_signal = 0;
  if (g_installed) return;
  struct sigaction action {};
  action.sa_handler = Note;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &g_previous[i]);
  g_installed = true;
}

void ReleaseInterruptions() {
  if (!g_installed) return;
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
  g_installed = false;
}

bool Interrupted() { return g_signal != 0; }

int InterruptionExitStatus() { return g_signal != 0 ? 128 + g_signal : 1; }

const char* InterruptionName() {
  switch (g_signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "";
  }
}
