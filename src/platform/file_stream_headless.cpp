// Headless: a Windows path names the same file with '/' for every backslash.
#include "platform/file_stream.h"

#include <cerrno>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/headless/headless_files.h"

namespace {

HeadlessOpenFailure g_openFailure;

}  // namespace

void HeadlessSetOpenFailure(HeadlessOpenFailure failure) { g_openFailure = std::move(failure); }

// A folder does not open as a file on the system (fopen there fails with EACCES), while Linux opens it for reading
// and then reports a length that depends on the file system; refusing it here gives one answer everywhere. A named
// pipe is refused too: opening one waits for the other end, which would hang Init on a hand-edited path.
std::FILE* OpenFileStream(const char* windowsPath, const char* mode) {
  const std::string hostPath = HostPathFromWindows(windowsPath);
  if (g_openFailure && g_openFailure(hostPath, mode)) {
    errno = EACCES;
    return nullptr;
  }
  std::error_code ec;
  if (std::filesystem::is_directory(hostPath, ec) || std::filesystem::is_fifo(hostPath, ec)) {
    errno = EACCES;
    return nullptr;
  }
  return std::fopen(hostPath.c_str(), mode);
}
