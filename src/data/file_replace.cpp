// The temporary file and the rename behind ReplaceFileContents, and the folders made for a new file.
#include "data/file_replace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

fs::path TemporaryBeside(const fs::path& file) {
  static thread_local std::mt19937 random{std::random_device{}()};
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%08x~", static_cast<unsigned>(random()));
  fs::path name(".");
  name += file.filename();
  name += suffix;
  return file.parent_path() / name;
}

#ifdef _WIN32

bool WriteStream(const fs::path& file, std::string_view bytes) {
  std::FILE* f = _wfopen(file.c_str(), L"wb");
  if (f == nullptr) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  // A failed flush at close means the bytes may not be on disk.
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

#else

// Not an errno: a new file here cannot be given the old one's owner and group.
constexpr int kKeepsNoOwner = -1;

// The file a link names, a chain of links followed as the system does; `file` itself when it is no link.
fs::path LinkedFile(const fs::path& file) {
  fs::path p = file;
  std::error_code ec;
  for (int step = 0; step < 40 && fs::is_symlink(p, ec); ++step) {
    const fs::path pointed = fs::read_symlink(p, ec);
    if (ec) break;
    p = pointed.is_absolute() ? pointed : p.parent_path() / pointed;
  }
  return p;
}

// Writes all of `bytes` and closes; with `sync` the bytes are on the disk first. 0, or the errno that stopped it.
int WriteAndClose(int fd, std::string_view bytes, bool sync) {
  int cause = 0;
  while (!bytes.empty() && cause == 0) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n >= 0)
      bytes.remove_prefix(static_cast<std::size_t>(n));
    else if (errno != EINTR)
      cause = errno;
  }
  if (cause == 0 && sync && ::fsync(fd) != 0) cause = errno;
  // A failed close can be the first word of a failed write.
  if (::close(fd) != 0 && cause == 0 && errno != EINTR) cause = errno;
  return cause;
}

// Writes a new file beside `file` (with the mode, owner and group of `old` where there is one) and renames it over
// `file`. 0, kKeepsNoOwner, or an errno; nothing is left behind on failure.
int ReplaceThroughTemporary(const fs::path& file, const struct stat* old, std::string_view bytes) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const fs::path temporary = TemporaryBeside(file);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, old ? 0600 : 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return errno;
    if (old && (::fchown(fd, old->st_uid, old->st_gid) != 0 || ::fchmod(fd, old->st_mode & 07777) != 0)) {
      ::close(fd);
      ::unlink(temporary.c_str());
      return kKeepsNoOwner;
    }
    int cause = WriteAndClose(fd, bytes, true);
    if (cause == 0 && ::rename(temporary.c_str(), file.c_str()) != 0) cause = errno;
    if (cause != 0) ::unlink(temporary.c_str());
    return cause;
  }
  return EEXIST;
}

// Rewrites the file's own bytes, so that it stays the same file with its owner and group; the old bytes are put
// back should the new ones not all go in. 0 or an errno.
int RewriteInPlace(const fs::path& file, std::string_view bytes) {
  std::ifstream in(file, std::ios::binary);
  const std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return EIO;
  const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return errno;
  const int cause = WriteAndClose(fd, bytes, true);
  if (cause != 0) {
    const int back = ::open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (back >= 0) WriteAndClose(back, old, true);
  }
  return cause;
}

#endif

}  // namespace

#ifdef _WIN32

bool ReplaceFileContents(const fs::path& file, std::string_view bytes, std::string& error) {
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status)) {
    if (WriteStream(file, bytes)) return true;
    error = "cannot write " + file.string() + ": " + std::strerror(errno);
    return false;
  }
  for (int attempt = 0; attempt < 8; ++attempt) {
    const fs::path temporary = TemporaryBeside(file);
    if (fs::exists(temporary, ec)) continue;
    errno = 0;
    if (!WriteStream(temporary, bytes)) {
      const int cause = errno;
      fs::remove(temporary, ec);
      error = "cannot write " + file.string() + (cause ? std::string(": ") + std::strerror(cause) : "");
      return false;
    }
    fs::rename(temporary, file, ec);
    if (!ec) return true;
    error = "cannot write " + file.string() + ": " + ec.message();
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
  }
  error = "cannot write " + file.string() + ": no free temporary name beside it";
  return false;
}

#else

bool ReplaceFileContents(const fs::path& file, std::string_view bytes, std::string& error) {
  const std::string prefix = "cannot write " + file.string() + ": ";
  const fs::path target = LinkedFile(file);
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    error = prefix + "it is a folder";
    return false;
  }
  int cause = 0;
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a pipe takes the bytes as they come; renaming a file over it would replace it.
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    cause = fd < 0 ? errno : WriteAndClose(fd, bytes, false);
  } else if (const std::string refusal = exists ? WriteRefusal(target) : ""; !refusal.empty()) {
    error = prefix + refusal + "; it was left as it is";
    return false;
  } else {
    cause = ReplaceThroughTemporary(target, exists ? &st : nullptr, bytes);
    if (exists && (cause == kKeepsNoOwner || cause == EACCES || cause == EPERM)) cause = RewriteInPlace(target, bytes);
  }
  if (cause == 0) return true;
  error = prefix + std::strerror(cause);
  return false;
}

#endif

std::string WriteRefusal(const fs::path& file) {
#ifdef _WIN32
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (!fs::is_regular_file(status) || (status.permissions() & fs::perms::owner_write) != fs::perms::none) return {};
  return "it is read-only";
#else
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0)
    return ::access(file.c_str(), W_OK) == 0 ? "" : std::strerror(errno);
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  return std::string("it is read-only (mode ") + mode + ")";
#endif
}

MadeFolders::~MadeFolders() {
  std::error_code ec;
  // Innermost first; a folder something else was put in meanwhile stays.
  for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder) fs::remove(*folder, ec);
}

bool MadeFolders::Make(const fs::path& folder, std::string& error) {
  std::vector<fs::path> missing;
  std::error_code ec;
  for (fs::path p = folder; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
    missing.push_back(p);
    if (p == p.parent_path()) break;
  }
  for (auto p = missing.rbegin(); p != missing.rend(); ++p) {
    if (!fs::create_directory(*p, ec) && ec) {
      error = "cannot make the folder " + p->string() + ": " + ec.message();
      MadeFolders undo;
      undo.made_.swap(made_);
      return false;
    }
    made_.push_back(*p);
  }
  return true;
}
