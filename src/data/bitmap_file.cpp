// Reading a bitmap file's head and size to check its layout before the system's loader sees it.
#include "tables/bitmap_file.h"

#include <cstdint>
#include <cstdio>

#include "formats/bitmap_layout.h"
#include "platform/file_stream.h"

bool BitmapFileIsWhole(const char* path) {
  if (path == nullptr || path[0] == '\0') return false;
  std::FILE* file = OpenFileStream(path, "rb");
  if (file == nullptr) return false;
  std::uint8_t head[kBitmapHeadBytes];
  const std::size_t headBytes = std::fread(head, 1, sizeof head, file);
  long long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  std::fclose(file);
  BitmapLayout layout;
  return size > 0 && ReadBitmapLayout(head, headBytes, static_cast<std::uint64_t>(size), &layout);
}
