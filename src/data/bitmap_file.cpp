// Reading a bitmap file's head and size to check its layout before a loader sees it.
#include "data/bitmap_file.h"

#include <cstdint>
#include <fstream>
#include <system_error>

#include "formats/bitmap_layout.h"

bool BitmapFileIsWhole(const std::filesystem::path& file) {
  if (file.empty()) return false;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return false;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec || size == 0) return false;
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::uint8_t head[kBitmapHeadBytes];
  in.read(reinterpret_cast<char*>(head), sizeof head);
  BitmapLayout layout;
  return ReadBitmapLayout(head, static_cast<std::size_t>(in.gcount()), size, &layout);
}
