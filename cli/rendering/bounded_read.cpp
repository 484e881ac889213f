// Bounded reads of regular files: opened without waiting, measured on the open descriptor, read to the limit only.
#include "bounded_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Closes the descriptor whatever way the read ends.
struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

std::string Prefix(const std::string& what, const std::string& path) {
  return "cannot read " + what + " '" + path + "': ";
}

// Opens and checks; Readable leaves `file` open with its size in `size`.
FileCheck Open(const std::string& path, std::uintmax_t limit, const std::string& what, Descriptor& file,
               std::uintmax_t& size, std::string& error) {
  // Without O_NONBLOCK, opening a named pipe waits for a writer that may never come.
  file.fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (file.fd < 0) {
    const int reason = errno;
    if (reason == ENOENT) return FileCheck::Missing;
    error = Prefix(what, path) + std::strerror(reason);
    return FileCheck::Refused;
  }
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) {
    error = Prefix(what, path) + std::strerror(errno);
    return FileCheck::Refused;
  }
  if (S_ISDIR(st.st_mode)) {
    error = Prefix(what, path) + "it is a folder";
    return FileCheck::Refused;
  }
  if (!S_ISREG(st.st_mode)) {
    error = Prefix(what, path) + "it is not a regular file (a named pipe, a device or a socket)";
    return FileCheck::Refused;
  }
  size = static_cast<std::uintmax_t>(st.st_size);
  if (size > limit) {
    error = Prefix(what, path) + "it holds " + std::to_string(size) + " bytes, more than the " + std::to_string(limit) +
            " such a file can hold";
    return FileCheck::Refused;
  }
  return FileCheck::Readable;
}

}  // namespace

FileCheck CheckReadableFile(const std::string& path, std::uintmax_t limit, const std::string& what,
                            std::string& error) {
  Descriptor file;
  std::uintmax_t size = 0;
  return Open(path, limit, what, file, size, error);
}

bool ReadBoundedFile(const std::string& path, std::uintmax_t limit, const std::string& what,
                     std::vector<std::uint8_t>& bytes, std::string& error) {
  bytes.clear();
  Descriptor file;
  std::uintmax_t size = 0;
  const FileCheck check = Open(path, limit, what, file, size, error);
  if (check == FileCheck::Missing) error = Prefix(what, path) + std::strerror(ENOENT);
  if (check != FileCheck::Readable) return false;
  // One byte more than measured shows a file that grew meanwhile.
  bytes.resize(static_cast<std::size_t>(size) + 1);
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(file.fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = Prefix(what, path) + std::strerror(errno);
      bytes.clear();
      return false;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got > size) {
    error = Prefix(what, path) + "it changed while it was read";
    bytes.clear();
    return false;
  }
  bytes.resize(got);
  return true;
}
