// Walks the pages of an Ogg file and checks each one's CRC; nothing is decoded.
#include "ogg_links.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kPageHeaderBytes = 27;
constexpr std::size_t kChecksumAt = 22;
constexpr unsigned char kBeginningOfStream = 0x02;

// Ogg's CRC-32: polynomial 0x04C11DB7, most significant bit first, starting from 0, with no final inversion.
const std::array<std::uint32_t, 256>& CrcTable() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t r = i << 24;
      for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
      t[i] = r;
    }
    return t;
  }();
  return table;
}

std::uint32_t Crc(std::uint32_t crc, const unsigned char* data, std::size_t size) {
  const auto& table = CrcTable();
  for (std::size_t i = 0; i < size; ++i) crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xFF];
  return crc;
}

}  // namespace

bool OggHasLinksOrDamage(std::FILE* file) {
  bool pastBeginnings = false, found = false;
  std::vector<unsigned char> body(255 * 255);
  for (;;) {
    unsigned char header[kPageHeaderBytes + 255];
    const std::size_t got = std::fread(header, 1, kPageHeaderBytes, file);
    if (got == 0) break;
    if (got < kPageHeaderBytes || std::memcmp(header, "OggS", 4) != 0 || header[4] != 0) {
      found = true;  // damaged, or cut off inside a page
      break;
    }
    const std::size_t segments = header[26];
    if (std::fread(header + kPageHeaderBytes, 1, segments, file) != segments) {
      found = true;
      break;
    }
    std::size_t length = 0;
    for (std::size_t i = 0; i < segments; ++i) length += header[kPageHeaderBytes + i];
    if (std::fread(body.data(), 1, length, file) != length) {
      found = true;
      break;
    }
    std::uint32_t stated = 0;
    for (int k = 3; k >= 0; --k) stated = stated << 8 | header[kChecksumAt + static_cast<std::size_t>(k)];
    std::memset(header + kChecksumAt, 0, 4);
    if (Crc(Crc(0, header, kPageHeaderBytes + segments), body.data(), length) != stated) {
      found = true;
      break;
    }
    // The streams of one link all begin before any of their data: a beginning after data starts a new link.
    if ((header[5] & kBeginningOfStream) != 0) {
      if (pastBeginnings) {
        found = true;
        break;
      }
    } else {
      pastBeginnings = true;
    }
  }
  std::clearerr(file);
  std::fseek(file, 0, SEEK_SET);
  return found;
}
