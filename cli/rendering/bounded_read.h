// Files the command line reads itself (settings, palettes): only regular files, and only up to a size that fits
// what they hold, so that a named pipe never makes it wait forever and a huge file never takes all memory.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class FileCheck {
  Missing,   // nothing under the name
  Readable,  // a regular file within the limit that opens for reading
  Refused,   // anything else; the message says why
};

// Looks at `path` without reading it. Refused, with "cannot read WHAT 'PATH': reason", for a folder that cannot
// be entered, a file that does not open, one that is not a regular file or one larger than `limit` bytes.
FileCheck CheckReadableFile(const std::string& path, std::uintmax_t limit, const std::string& what, std::string& error);

// Reads the whole file after the same checks (a missing file is refused too). False, with the message.
bool ReadBoundedFile(const std::string& path, std::uintmax_t limit, const std::string& what,
                     std::vector<std::uint8_t>& bytes, std::string& error);
