// Windows: paths are already native.
#include "platform/file_stream.h"

std::FILE* OpenFileStream(const char* windowsPath, const char* mode) { return std::fopen(windowsPath, mode); }
