// The encoder's process and its two pipes.
#include "encoder_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "interruption.h"
#include "media_chatter.h"

extern char** environ;

namespace {

// A pipe whose ends close on exec, with the read end away from the descriptors the child is given (0 to 3).
bool MakePipe(int fds[2]) {
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  if (fds[0] <= 3) {
    const int moved = ::fcntl(fds[0], F_DUPFD_CLOEXEC, 10);
    ::close(fds[0]);
    fds[0] = moved;
  }
  return fds[0] >= 0;
}

void CloseAll(std::initializer_list<int> fds) {
  for (const int fd : fds)
    if (fd >= 0) ::close(fd);
}

std::string InterruptedText() { return std::string("interrupted by ") + InterruptionName(); }

constexpr off_t kKeptMessageBytes = 16384;

}  // namespace

std::string FindProgramOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path) return {};
  const std::string dirs = path;
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (dir.empty()) dir = ".";
    const std::string candidate = dir + "/" + name;
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return {};
}

std::string FailureReason(const std::string& messages) {
  std::string chosen;
  std::size_t end = messages.size();
  while (end > 0 && chosen.empty()) {
    std::size_t start = messages.rfind('\n', end - 1);
    start = start == std::string::npos ? 0 : start + 1;
    const std::string line = messages.substr(start, end - start);
    end = start > 0 ? start - 1 : 0;
    const std::size_t colon = line.rfind(": ");
    if (colon != std::string::npos && colon + 2 < line.size()) chosen = line.substr(colon + 2);
  }
  while (!chosen.empty() && (chosen.back() == '\r' || chosen.back() == ' ')) chosen.pop_back();
  return chosen;
}

EncoderProcess::EncoderProcess(EncoderProcess&& other) noexcept { *this = std::move(other); }

EncoderProcess& EncoderProcess::operator=(EncoderProcess&& other) noexcept {
  if (this == &other) return *this;
  Kill();
  pid_ = std::exchange(other.pid_, -1);
  videoPipe_ = std::exchange(other.videoPipe_, -1);
  audioPipe_ = std::exchange(other.audioPipe_, -1);
  if (messages_ >= 0) ::close(messages_);
  messages_ = std::exchange(other.messages_, -1);
  name_ = std::move(other.name_);
  queue_ = std::move(other.queue_);
  queueAt_ = std::exchange(other.queueAt_, 0);
  feedSound = std::move(other.feedSound);
  soundError = std::move(other.soundError);
  soundEnded = other.soundEnded;
  return *this;
}

bool EncoderProcess::Start(std::vector<std::string> arguments, bool sound, bool toStandardOutput,
                           const std::string& name, std::string& error) {
  Kill();
  name_ = name;
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  int video[2] = {-1, -1}, audio[2] = {-1, -1};
  if (!MakePipe(video) || (sound && !MakePipe(audio))) {
    error = std::string("cannot create a pipe to ffmpeg: ") + std::strerror(errno);
    CloseAll({video[0], video[1], audio[0], audio[1]});
    return false;
  }
  if (messages_ >= 0) ::close(messages_);
  // Kept for the reason of a failure, which tavelmir names in its own words; with --verbose they go to the
  // terminal as ffmpeg writes them.
  messages_ = MediaChatterShown() ? -1 : ::memfd_create("ffmpeg messages", MFD_CLOEXEC);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (messages_ >= 0) posix_spawn_file_actions_adddup2(&actions, messages_, 2);
  posix_spawn_file_actions_adddup2(&actions, video[0], 0);
  if (audio[0] >= 0) posix_spawn_file_actions_adddup2(&actions, audio[0], 3);
  if (!toStandardOutput) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int status = posix_spawn(&pid, arguments[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  CloseAll({video[0], audio[0]});
  if (status != 0) {
    CloseAll({video[1], audio[1]});
    error = "cannot start ffmpeg: " + std::string(std::strerror(status));
    return false;
  }
  // A dying ffmpeg must turn into a write error, not kill the host.
  std::signal(SIGPIPE, SIG_IGN);
  ::fcntl(video[1], F_SETFL, O_NONBLOCK);
  if (audio[1] >= 0) ::fcntl(audio[1], F_SETFL, O_NONBLOCK);
  pid_ = pid;
  videoPipe_ = video[1];
  audioPipe_ = audio[1];
  return true;
}

// Writes what it can of the queued sound without waiting. False when ffmpeg no longer takes it.
bool EncoderProcess::DrainSound() {
  while (audioPipe_ >= 0 && queueAt_ < queue_.size()) {
    const ssize_t n = ::write(audioPipe_, queue_.data() + queueAt_, queue_.size() - queueAt_);
    if (n < 0) {
      if (errno != EAGAIN && errno != EINTR) return false;
      break;
    }
    queueAt_ += static_cast<std::size_t>(n);
  }
  // ffmpeg reads the sound to its end while it starts, before it takes a frame: it must see the end.
  if (soundEnded && queueAt_ == queue_.size() && audioPipe_ >= 0) {
    ::close(audioPipe_);
    audioPipe_ = -1;
  }
  // Taken bytes leave the front once they are many, so the queue keeps the size it grew to.
  if (queueAt_ == queue_.size() || queueAt_ > (1u << 20)) {
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(queueAt_));
    queueAt_ = 0;
  }
  return true;
}

bool EncoderProcess::SoundStopped(std::string& error) { return Stopped("the sound", error); }

// ffmpeg took no more of an input: it is ending, and its messages say why once it has.
bool EncoderProcess::Stopped(const char* what, std::string& error) {
  const int status = Wait();
  const std::string reason = FailureReason(Messages());
  error =
      "cannot write '" + name_ + "': " +
      (reason.empty() ? "ffmpeg stopped taking " + std::string(what) + " (exit status " + std::to_string(status) + ")"
                      : reason);
  return false;
}

// Closes the pipes and waits for ffmpeg to end: its exit status, or -1 when it did not exit by itself.
int EncoderProcess::Wait() {
  ClosePipes();
  if (pid_ <= 0) return -1;
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string EncoderProcess::Messages() const {
  if (messages_ < 0) return {};
  struct stat st {};
  if (::fstat(messages_, &st) != 0) return {};
  const off_t from = st.st_size > kKeptMessageBytes ? st.st_size - kKeptMessageBytes : 0;
  std::string text(static_cast<std::size_t>(st.st_size - from), '\0');
  const ssize_t n = ::pread(messages_, text.data(), text.size(), from);
  text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return text;
}

bool EncoderProcess::QueueSound(const float* samples, std::size_t count, std::string& error) {
  if (audioPipe_ < 0 || count == 0) return true;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples);
  queue_.insert(queue_.end(), bytes, bytes + count * sizeof(float));
  return DrainSound() || SoundStopped(error);
}

bool EncoderProcess::WriteFrame(const std::uint8_t* data, std::size_t size, std::string& error) {
  if (videoPipe_ < 0) {
    error = "ffmpeg stopped taking frames for '" + name_ + "'";
    return false;
  }
  while (size > 0) {
    if (Interrupted()) {
      error = InterruptedText();
      return false;
    }
    if (!SoundQueued() && feedSound) {
      const int fed = feedSound();
      if (fed < 0) {
        error = soundError;
        return false;
      }
      if (fed > 0) continue;
      // The sound ended with nothing left to give: ffmpeg must see its end now, or it waits for more sound while
      // we wait for it to take the frame.
      if (!DrainSound()) return SoundStopped(error);
    }
    pollfd fds[2] = {{videoPipe_, POLLOUT, 0}, {audioPipe_, POLLOUT, 0}};
    const bool sound = SoundQueued();
    if (::poll(fds, sound ? 2 : 1, -1) < 0) {
      if (errno == EINTR) continue;
      error = std::string("cannot wait for ffmpeg: ") + std::strerror(errno);
      return false;
    }
    if (sound && fds[1].revents != 0 && !DrainSound()) return SoundStopped(error);
    if (fds[0].revents == 0) continue;
    const ssize_t n = ::write(videoPipe_, data, size);
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return Stopped("frames", error);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool EncoderProcess::Finish(std::string& error) {
  if (pid_ <= 0) return true;
  CloseAll({videoPipe_});
  videoPipe_ = -1;
  // The rest of the sound, waiting for ffmpeg to take it now that the frames have ended.
  bool ok = true;
  while (ok && SoundQueued()) {
    if (Interrupted()) {
      error = InterruptedText();
      ok = false;
      break;
    }
    pollfd p{audioPipe_, POLLOUT, 0};
    if (::poll(&p, 1, -1) < 0 && errno != EINTR) ok = false;
    if (ok && !DrainSound()) ok = SoundStopped(error);
  }
  if (!ok) {
    Kill();
    return false;
  }
  const int status = Wait();
  if (status == 0) return true;
  const std::string reason = FailureReason(Messages());
  error = Interrupted()    ? InterruptedText()
          : reason.empty() ? "ffmpeg failed to write '" + name_ + "' (exit status " + std::to_string(status) + ")"
                           : "cannot write '" + name_ + "': " + reason;
  return false;
}

void EncoderProcess::ClosePipes() {
  CloseAll({videoPipe_, audioPipe_});
  videoPipe_ = audioPipe_ = -1;
}

void EncoderProcess::Kill() {
  if (pid_ > 0) ::kill(pid_, SIGKILL);
  Wait();
}

EncoderProcess::~EncoderProcess() {
  Kill();
  if (messages_ >= 0) ::close(messages_);
}
