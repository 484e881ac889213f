// Where a BMP file's headers, colour table and pixels lie, and whether the file's size really holds them.
#pragma once
#include <cstddef>
#include <cstdint>

// The largest header the loaders know (the version-5 info header) after the 14-byte file header: the number of
// leading bytes of a file that ReadBitmapLayout may look at.
constexpr std::size_t kBitmapHeadBytes = 14 + 124;

struct BitmapLayout {
  std::uint32_t infoBytes;     // 12 (the old header), 40, 108 or 124
  std::int64_t width, height;  // height negative for rows stored top row first
  unsigned bits;               // 1, 4, 8, 16, 24 or 32
  std::uint32_t compression;   // 0 plain, 1 8-bit run-length, 2 4-bit run-length, 3 bit masks
  std::uint64_t tableAt, tableEntries, entryBytes, tableBytes;  // colour table (or the three masks)
  std::uint64_t pixelsAt, stride, pixelBytes;                   // pixel data; run-length: its stored length
};

// Reads the headers from the first `headBytes` bytes of a file of `fileSize` bytes. False unless it is a bitmap
// of a known header, depth and compression, with sides of 1..16384 (height either sign), whose colour table and
// pixel data lie wholly inside the file and after the headers. Never reads beyond `headBytes`.
bool ReadBitmapLayout(const std::uint8_t* head, std::size_t headBytes, std::uint64_t fileSize, BitmapLayout* out);
