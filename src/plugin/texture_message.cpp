// The texture picker's messages: fixed wording around a path, formatted without overflowing their buffer.
#include "plugin/texture_message.h"

#include <cstring>

void FormatPathMessage(const char* before, const char* path, const char* after, char (&out)[kPathMessageBytes]) {
  const std::size_t capacity = sizeof out - 1;
  const std::size_t fixedLength = std::strlen(before) + std::strlen(after);
  const std::size_t pathRoom = capacity > fixedLength ? capacity - fixedLength : 0;
  std::size_t pathLength = std::strlen(path);
  const char* ellipsis = "";
  if (pathLength > pathRoom) {
    ellipsis = pathRoom >= 3 ? "..." : "";
    const std::size_t kept = pathRoom - std::strlen(ellipsis);
    path += pathLength - kept;
    pathLength = kept;
  }
  std::size_t used = 0;
  auto append = [&](const char* text, std::size_t length) {
    if (length > capacity - used) length = capacity - used;
    std::memcpy(out + used, text, length);
    used += length;
  };
  append(before, std::strlen(before));
  append(ellipsis, std::strlen(ellipsis));
  append(path, pathLength);
  append(after, std::strlen(after));
  out[used] = '\0';
}
