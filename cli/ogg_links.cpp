// Walks the page headers of an Ogg file: each page says how long it is, so only its header is read.
#include "ogg_links.h"

#include <cstdint>
#include <cstring>

namespace {
constexpr std::size_t kPageHeaderBytes = 27;
constexpr unsigned char kBeginningOfStream = 0x02;
}  // namespace

bool OggHasLinksOrDamage(std::FILE* file) {
  bool pastBeginnings = false, found = false;
  for (;;) {
    unsigned char header[kPageHeaderBytes];
    const std::size_t got = std::fread(header, 1, sizeof header, file);
    if (got == 0) break;
    if (got < sizeof header || std::memcmp(header, "OggS", 4) != 0 || header[4] != 0) {
      found = true;  // damaged, or cut off inside a page
      break;
    }
    unsigned char lacing[255];
    const std::size_t segments = header[26];
    if (std::fread(lacing, 1, segments, file) != segments) {
      found = true;
      break;
    }
    long body = 0;
    for (std::size_t i = 0; i < segments; ++i) body += lacing[i];
    // The streams of one link all begin before any of their data: a beginning after data starts a new link.
    if ((header[5] & kBeginningOfStream) != 0) {
      if (pastBeginnings) {
        found = true;
        break;
      }
    } else {
      pastBeginnings = true;
    }
    if (std::fseek(file, body, SEEK_CUR) != 0) {
      found = true;
      break;
    }
  }
  std::clearerr(file);
  std::fseek(file, 0, SEEK_SET);
  return found;
}
