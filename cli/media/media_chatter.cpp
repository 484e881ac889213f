// One switch for the process, set once from the command line before anything is opened.
#include "media_chatter.h"

extern "C" {
#include <libavutil/log.h>
}

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace {
bool g_shown = false;
}  // namespace

void ShowMediaChatter(bool verbose) {
  g_shown = verbose;
  av_log_set_level(verbose ? AV_LOG_INFO : AV_LOG_QUIET);
}

bool MediaChatterShown() { return g_shown; }

QuietStandardError::QuietStandardError() {
  if (g_shown) return;
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  std::fflush(stderr);
  saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (saved_ >= 0) ::dup2(null, STDERR_FILENO);
  ::close(null);
}

QuietStandardError::~QuietStandardError() {
  if (saved_ < 0) return;
  std::fflush(stderr);
  ::dup2(saved_, STDERR_FILENO);
  ::close(saved_);
}
