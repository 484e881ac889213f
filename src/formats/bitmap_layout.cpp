// Where a BMP file's headers, colour table and pixels lie, read from its leading bytes.
#include "formats/bitmap_layout.h"

#include <algorithm>

namespace {

constexpr std::uint64_t kFileHeaderBytes = 14;
constexpr std::uint32_t kCoreHeaderBytes = 12;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kV4HeaderBytes = 108;
constexpr std::uint32_t kV5HeaderBytes = 124;
constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;
// Larger sides are refused: no texture comes near them, and every size computed from them stays far inside
// 64 bits.
constexpr std::int64_t kMaxSide = 16384;

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

bool ReadHeaders(const std::uint8_t* head, std::size_t headBytes, BitmapLayout* h) {
  if (headBytes < kFileHeaderBytes + 4 || head[0] != 'B' || head[1] != 'M') return false;
  const std::uint8_t* info = head + kFileHeaderBytes;
  h->infoBytes = Le32(info);
  if (h->infoBytes != kCoreHeaderBytes && h->infoBytes != kInfoHeaderBytes && h->infoBytes != kV4HeaderBytes &&
      h->infoBytes != kV5HeaderBytes)
    return false;
  if (kFileHeaderBytes + h->infoBytes > headBytes) return false;
  if (h->infoBytes == kCoreHeaderBytes) {  // the old header: unsigned 16-bit sides, no compression
    h->width = Le16(info + 4);
    h->height = Le16(info + 6);
    h->bits = Le16(info + 10);
    h->compression = kRgb;
    if (h->bits == 16 || h->bits == 32) return false;
  } else {
    h->width = static_cast<std::int32_t>(Le32(info + 4));
    h->height = static_cast<std::int32_t>(Le32(info + 8));
    h->bits = Le16(info + 14);
    h->compression = Le32(info + 16);
  }
  // The planes count is not looked at: the system's loader ignores it too.
  switch (h->bits) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return false;
  }
  const bool known = h->compression == kRgb || (h->compression == kRle8 && h->bits == 8) ||
                     (h->compression == kRle4 && h->bits == 4) ||
                     (h->compression == kBitFields && (h->bits == 16 || h->bits == 32));
  if (!known) return false;
  if (h->width <= 0 || h->width > kMaxSide || h->height == 0 || h->height > kMaxSide || h->height < -kMaxSide)
    return false;
  // Run-length data is written bottom-up only.
  return !(h->height < 0 && (h->compression == kRle8 || h->compression == kRle4));
}

}  // namespace

bool ReadBitmapLayout(const std::uint8_t* head, std::size_t headBytes, std::uint64_t fileSize, BitmapLayout* out) {
  BitmapLayout h{};
  headBytes = static_cast<std::size_t>(std::min<std::uint64_t>(headBytes, fileSize));
  if (!ReadHeaders(head, headBytes, &h)) return false;
  const std::uint8_t* info = head + kFileHeaderBytes;
  const bool core = h.infoBytes == kCoreHeaderBytes;
  const std::uint32_t coloursUsed = core ? 0 : Le32(info + 32);
  h.tableAt = kFileHeaderBytes + h.infoBytes;
  h.entryBytes = core ? 3 : 4;
  if (h.bits <= 8) {
    // A count beyond 256 is taken as 256, as the system does; entries past 2^bits are never indexed.
    h.tableEntries = coloursUsed == 0 ? 1u << h.bits : std::min<std::uint64_t>(coloursUsed, 256);
    h.tableBytes = h.tableEntries * h.entryBytes;
  } else if (h.compression == kBitFields && h.infoBytes == kInfoHeaderBytes) {
    h.tableBytes = 12;  // the three masks follow the header; the later headers hold them
  }
  if (h.tableAt + h.tableBytes > fileSize) return false;
  const std::uint64_t declaredAt = Le32(head + 10);
  h.pixelsAt = declaredAt == 0 ? h.tableAt + h.tableBytes : declaredAt;
  if (h.pixelsAt < h.tableAt + h.tableBytes) return false;  // pixels inside the header or the colour table

  const std::uint64_t rows = static_cast<std::uint64_t>(h.height < 0 ? -h.height : h.height);
  h.stride = (static_cast<std::uint64_t>(h.width) * h.bits + 31) / 32 * 4;
  if (h.compression == kRle8 || h.compression == kRle4) {
    // The data's length is known only from the header; a file that does not hold all of it is cut off.
    h.pixelBytes = core ? 0 : Le32(info + 20);
    if (h.pixelBytes == 0) return false;
  } else {
    h.pixelBytes = h.stride * rows;
  }
  if (h.pixelsAt + h.pixelBytes > fileSize) return false;
  *out = h;
  return true;
}
