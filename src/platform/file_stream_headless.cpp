// Headless: a Windows path names the same file with '/' for every backslash.
#include "platform/file_stream.h"

#include <string>

#include "platform/headless/headless_files.h"

std::FILE* OpenFileStream(const char* windowsPath, const char* mode) {
  return std::fopen(HostPathFromWindows(windowsPath).c_str(), mode);
}
