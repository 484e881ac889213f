// BMP decoding as the system's bitmap loader does it: headers, colour tables, bit masks, run-length unpacking
// and pixel reads.
#include "formats/bitmap_decode.h"

#include <algorithm>
#include <bit>

#include "formats/bitmap_layout.h"

namespace {

constexpr std::uint64_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kRle8 = 1, kRle4 = 2, kBitFields = 3;
// Unpacked run-length images beyond 4 MiB are refused: no texture comes near them.
constexpr std::uint64_t kMaxUnpackedBytes = 4u << 20;

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

BitmapColour Rgb(unsigned red, unsigned green, unsigned blue) {
  return static_cast<BitmapColour>((red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16);
}

// Scales a mask's field to 8 bits as the system's DIB code does: a field wider than 8 keeps its top 8 bits, a
// narrower one is repeated once below itself; only the mask's lowest run of set bits counts.
std::uint8_t Channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = std::countr_zero(mask);
  int length = std::countr_one(mask >> shift);
  if (length > 8) {
    shift += length - 8;
    length = 8;
  }
  std::uint32_t field = (pixel >> shift) & ((1u << length) - 1);
  field <<= 8 - length;
  field |= field >> length;
  return static_cast<std::uint8_t>(field);
}

// Unpacks run-length data into the bottom-up rows (all index 0 to start with). Runs and absolute stretches that
// pass the end of a row are cut there; a move or line end beyond the top row, the end-of-bitmap code or the end
// of the data ends the unpacking, and what is not reached keeps index 0.
void UnpackRunLength(const std::uint8_t* data, std::size_t size, DecodedBitmap* b) {
  const bool four = b->bitsPerPixel == 4;
  const std::int64_t width = b->width, rowCount = b->height;
  std::int64_t x = 0, row = 0;
  auto put = [&](unsigned index) {
    if (x < width) {
      std::uint8_t& cell =
          b->rows[static_cast<std::size_t>(row) * b->stride + static_cast<std::size_t>(four ? x / 2 : x)];
      if (!four)
        cell = static_cast<std::uint8_t>(index);
      else if (x % 2 == 0)
        cell = static_cast<std::uint8_t>((cell & 0x0F) | index << 4);
      else
        cell = static_cast<std::uint8_t>((cell & 0xF0) | index);
    }
    ++x;
  };
  std::size_t at = 0;
  while (at + 2 <= size && row < rowCount) {
    const unsigned count = data[at], value = data[at + 1];
    at += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count; ++i) put(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // move right and up
      if (at + 2 > size) return;
      x += data[at];
      row += data[at + 1];
      at += 2;
    } else {  // `value` pixels as they stand, padded to a whole 16-bit word
      const std::size_t bytes = four ? (value + 1) / 2 : value;
      if (bytes > size - at) return;
      for (unsigned i = 0; i < value; ++i) {
        const std::uint8_t byte = data[at + (four ? i / 2 : i)];
        put(four ? (i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
      }
      at += std::min(bytes + bytes % 2, size - at);
    }
  }
}

BitmapColour TableColour(const DecodedBitmap& b, unsigned index) {
  return index < b.colours.size() ? b.colours[index] : 0;
}

}  // namespace

bool DecodeBmpFile(const std::uint8_t* bytes, std::size_t size, DecodedBitmap* out) {
  BitmapLayout h{};
  if (!ReadBitmapLayout(bytes, size, size, &h)) return false;

  DecodedBitmap b;
  b.width = static_cast<int>(h.width);
  b.height = static_cast<int>(h.height < 0 ? -h.height : h.height);
  b.bitsPerPixel = static_cast<int>(h.bits);
  b.bottomUp = h.height > 0;
  b.stride = static_cast<std::size_t>(h.stride);

  if (h.compression == kRle8 || h.compression == kRle4) {
    const std::uint64_t unpacked = h.stride * static_cast<std::uint64_t>(b.height);
    if (unpacked > kMaxUnpackedBytes) return false;
    b.rows.assign(static_cast<std::size_t>(unpacked), 0);
    UnpackRunLength(bytes + h.pixelsAt, static_cast<std::size_t>(h.pixelBytes), &b);
  } else {
    b.rows.assign(bytes + h.pixelsAt, bytes + h.pixelsAt + h.pixelBytes);
  }

  const std::uint64_t usable = std::min<std::uint64_t>(h.tableEntries, std::uint64_t{1} << std::min(h.bits, 8u));
  for (std::uint64_t i = 0; i < usable; ++i) {
    const std::uint8_t* entry = bytes + h.tableAt + i * h.entryBytes;  // blue, green, red
    b.colours.push_back(Rgb(entry[2], entry[1], entry[0]));
  }
  if (h.compression == kBitFields) {
    const std::uint8_t* masks = bytes + h.tableAt;
    if (h.infoBytes != kInfoHeaderBytes) masks = bytes + kFileHeaderBytes + kInfoHeaderBytes;
    for (int i = 0; i < 3; ++i) b.masks[i] = Le32(masks + 4 * i);
  } else if (h.bits == 16) {
    b.masks[0] = 0x7C00, b.masks[1] = 0x03E0, b.masks[2] = 0x001F;
  } else if (h.bits == 32) {
    b.masks[0] = 0xFF0000, b.masks[1] = 0x00FF00, b.masks[2] = 0x0000FF;
  }
  *out = std::move(b);
  return true;
}

BitmapColour DecodedPixel(const DecodedBitmap& b, int x, int y) {
  const std::size_t row = static_cast<std::size_t>(b.bottomUp ? b.height - 1 - y : y);
  const std::uint8_t* p = b.rows.data() + row * b.stride;
  const std::size_t column = static_cast<std::size_t>(x);
  switch (b.bitsPerPixel) {
    case 1:
      return TableColour(b, p[column / 8] >> (7 - column % 8) & 1);
    case 4:
      return TableColour(b, column % 2 == 0 ? p[column / 2] >> 4 : p[column / 2] & 0x0F);
    case 8:
      return TableColour(b, p[column]);
    case 24:
      return Rgb(p[3 * column + 2], p[3 * column + 1], p[3 * column]);
    default: {
      const std::uint32_t pixel = b.bitsPerPixel == 16 ? Le16(p + 2 * column) : Le32(p + 4 * column);
      return Rgb(Channel(pixel, b.masks[0]), Channel(pixel, b.masks[1]), Channel(pixel, b.masks[2]));
    }
  }
}
