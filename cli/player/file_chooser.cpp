// Runs zenity or kdialog for `play`'s O key and collects the files chosen, without blocking the frame loop.
#include "file_chooser.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "frame_sinks.h"

extern char** environ;

namespace {

// What the chooser offers to pick: the audio files `play` reads, with anything else a choice away.
const char kAudioPatterns[] = "*.mp3 *.flac *.ogg *.oga *.opus *.wav *.m4a *.aac *.wma *.mka *.aif *.aiff";
const char kAudioTypes[] =
    "audio/mpeg audio/flac audio/ogg audio/x-vorbis+ogg audio/x-opus+ogg audio/x-wav "
    "audio/mp4 audio/aac audio/x-ms-wma audio/x-matroska audio/x-aiff";

}  // namespace

std::string FileChooserProgram() {
  // KDE's own dialog on KDE's desktop, GNOME's elsewhere; either where only one is installed.
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  const bool kde = desktop && std::strstr(desktop, "KDE");
  for (const char* program : {kde ? "kdialog" : "zenity", kde ? "zenity" : "kdialog"})
    if (!FindProgramOnPath(program).empty()) return program;
  return {};
}

bool StartFileChooser(FileChooser& chooser, std::string& error) {
  const std::string program = FileChooserProgram();
  if (program.empty()) {
    error = "no file chooser is installed (zenity or kdialog); drop files on the window instead";
    return false;
  }
  const char* home = std::getenv("HOME");
  const std::string start = std::string(home && home[0] == '/' ? home : "/") + "/";
  std::vector<std::string> args;
  if (program == "zenity")
    args = {program,
            "--file-selection",
            "--multiple",
            "--separator=\n",
            "--title=Play songs",
            std::string("--file-filter=Audio files | ") + kAudioPatterns,
            "--file-filter=All files | *",
            "--filename=" + start};
  else
    args = {program, "--title",   "Play songs", "--getopenfilename",
            start,   kAudioTypes, "--multiple", "--separate-output"};
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) {
    error = std::string("cannot start ") + program + ": " + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], 1);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int failed = posix_spawnp(&chooser.pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe[1]);
  if (failed != 0) {
    ::close(pipe[0]);
    chooser.pid = -1;
    error = "cannot start " + program + ": " + std::strerror(failed);
    return false;
  }
  chooser.output = pipe[0];
  ::fcntl(chooser.output, F_SETFL, O_NONBLOCK);
  chooser.read.clear();
  return true;
}

std::vector<std::string> ChosenPaths(const std::string& output) {
  std::vector<std::string> paths;
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    if (end > start) paths.push_back(output.substr(start, end - start));
    start = end + 1;
  }
  return paths;
}

bool FileChooserClosed(FileChooser& chooser, std::vector<std::string>& files) {
  files.clear();
  if (chooser.pid < 0) return false;
  char buffer[4096];
  for (ssize_t got; (got = ::read(chooser.output, buffer, sizeof buffer)) > 0;) chooser.read.append(buffer, got);
  int status = 0;
  if (::waitpid(chooser.pid, &status, WNOHANG) != chooser.pid) return false;
  for (ssize_t got; (got = ::read(chooser.output, buffer, sizeof buffer)) > 0;) chooser.read.append(buffer, got);
  ::close(chooser.output);
  chooser.output = -1;
  chooser.pid = -1;
  // Cancelled: a status other than 0, and nothing chosen.
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) files = ChosenPaths(chooser.read);
  return true;
}

void StopFileChooser(FileChooser& chooser) {
  if (chooser.pid < 0) return;
  ::kill(chooser.pid, SIGTERM);
  ::waitpid(chooser.pid, nullptr, 0);
  ::close(chooser.output);
  chooser.pid = -1;
  chooser.output = -1;
}
