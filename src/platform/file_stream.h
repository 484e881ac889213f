// Opening a data file as a buffered byte stream, given a Windows-style path (backslash separators).
#pragma once
#include <cstdio>

// Returns a stream the caller closes with std::fclose, or null when the file cannot be opened.
// The plug-in passes the path through unchanged; the headless build maps backslashes to '/'.
std::FILE* OpenFileStream(const char* windowsPath, const char* mode);
