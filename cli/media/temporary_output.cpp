// Temporary outputs beside their final names.
#include "temporary_output.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "output_target.h"

namespace fs = std::filesystem;

namespace {

mode_t NewFileMode(mode_t wanted) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return wanted & ~mask;
}

}  // namespace

TemporaryOutput::TemporaryOutput(TemporaryOutput&& other) noexcept
    : path_(std::exchange(other.path_, {})), finalPath_(std::move(other.finalPath_)), folder_(other.folder_) {}

TemporaryOutput& TemporaryOutput::operator=(TemporaryOutput&& other) noexcept {
  if (this != &other) {
    Abandon();
    path_ = std::exchange(other.path_, {});
    finalPath_ = std::move(other.finalPath_);
    folder_ = other.folder_;
  }
  return *this;
}

bool TemporaryOutput::Create(const std::string& finalPath, bool folder, std::FILE** file, std::string& error) {
  Abandon();
  std::string name = TemporaryNameBeside(finalPath);
  struct stat existing {};
  const bool replacing = ::stat(finalPath.c_str(), &existing) == 0;
  if (folder) {
    if (!::mkdtemp(name.data())) {
      error = "cannot write '" + finalPath + "': " + std::strerror(errno);
      return false;
    }
    // mkdtemp makes the folder private; the finished one has the mode of the empty folder it replaces, or that of
    // a new folder.
    ::chmod(name.c_str(), replacing ? existing.st_mode & 07777 : NewFileMode(0777));
  } else {
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
      error = "cannot write '" + finalPath + "': " + std::strerror(errno);
      return false;
    }
    // The final file keeps the mode of the file it replaces, or the one a newly created file gets.
    const bool regular = replacing && S_ISREG(existing.st_mode);
    // Group and owner too, where this user may give them (root always; anyone the group of a file they own).
    if (regular && ::fchown(fd, existing.st_uid, existing.st_gid) != 0 && ::fchown(fd, -1, existing.st_gid) != 0) {
    }
    ::fchmod(fd, regular ? existing.st_mode & 07777 : NewFileMode(0666));
    std::FILE* opened = file ? ::fdopen(fd, "wb") : nullptr;
    if (file && !opened) {
      error = "cannot write '" + finalPath + "': " + std::strerror(errno);
      ::close(fd);
      ::unlink(name.c_str());
      return false;
    }
    if (file)
      *file = opened;
    else
      ::close(fd);
  }
  path_ = name;
  finalPath_ = finalPath;
  folder_ = folder;
  return true;
}

bool TemporaryOutput::Commit(bool replace, std::string& error) {
  if (path_.empty()) return true;
  // Without -y a file that appeared under the name during the render is kept; with -y it is replaced.
  const unsigned flags = replace ? 0 : RENAME_NOREPLACE;
  std::error_code ec;
  if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, finalPath_.c_str(), flags) != 0 &&
      !(folder_ && errno == EEXIST && fs::is_empty(finalPath_, ec) &&
        ::rename(path_.c_str(), finalPath_.c_str()) == 0)) {
    error = "cannot put the finished output under '" + finalPath_ + "': " + std::strerror(errno);
    return false;
  }
  path_.clear();
  return true;
}

void TemporaryOutput::Abandon() {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
  path_.clear();
}
