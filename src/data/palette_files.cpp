// The palette set of a folder and the reference palette.
#include <algorithm>
#include <fstream>
#include <new>
#include <string>
#include <system_error>

#include "data/palette_colours.h"
#include "data/plugin_data.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kReferenceFileLimit = 772;  // the longest "refrence.pal" taken
constexpr std::size_t kPaletteSetBytes = 1024;       // 256 entries of red, green, blue, flags
// A palette file's full path is formatted in 256 bytes, as it always was: a longer one is refused, not cut.
constexpr std::size_t kPalettePathBytes = 256;

// Up to `capacity` bytes of the file; the count read, 0 when it cannot be opened.
std::size_t ReadUpTo(const fs::path& file, std::uint8_t* buffer, std::size_t capacity) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return 0;
  in.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(capacity));
  return static_cast<std::size_t>(in.gcount());
}

}  // namespace

bool ListPaletteFiles(const fs::path& folder, std::vector<std::string>& names, std::error_code& ec) {
  names.clear();
  fs::directory_iterator it(folder, ec);
  if (ec) return false;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return false;
    const std::string name = it->path().filename().string();
    if (!IsPaletteFileName(name)) continue;
    std::error_code entryError;
    if (!it->is_regular_file(entryError) || it->file_size(entryError) != kPaletteFileBytes || entryError) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return true;
}

PaletteSet ReadPaletteSet(const fs::path& folder) {
  PaletteSet set;
  // The plug-in names the search pattern "<folder>\*.pal" in its 260-byte path buffer.
  if ((folder / "*.pal").string().size() >= kDataPathBytes) return set;
  std::vector<std::string> names;
  try {
    std::error_code ec;
    if (!ListPaletteFiles(folder, names, ec) || names.empty()) return set;
    set.Entries.resize(names.size() * kPaletteSetBytes);
  } catch (const std::bad_alloc&) {
    return set;
  }
  std::int32_t loaded = 0;
  for (const std::string& name : names) {
    const fs::path path = folder / name;
    std::uint8_t file[kPaletteFileBytes];
    if (path.string().size() >= kPalettePathBytes || ReadUpTo(path, file, sizeof file) != kPaletteFileBytes) {
      set.Status = -(loaded + 2);
      set.Entries.clear();
      return set;
    }
    ExpandPalette(file, set.Entries.data() + static_cast<std::size_t>(loaded) * kPaletteSetBytes, kPaletteEntryCount);
    ++loaded;
  }
  set.Status = 0;
  set.Count = loaded;
  return set;
}

// A missing "refrence.pal", or one too short to give all 256 entries, is refused like an incomplete read.
int ReadReferencePalette(const fs::path& file, std::uint8_t (&entries)[1024]) {
  if (file.string().size() >= kDataPathBytes) return 2;
  std::error_code ec;
  // Only a regular file is opened: a named pipe would block the reader, a folder has nothing to read.
  if (!fs::is_regular_file(file, ec)) return 2;
  const std::uintmax_t size = fs::file_size(file, ec);
  if (!ec && size > kReferenceFileLimit) return 1;
  std::uint8_t bytes[kReferenceFileLimit];
  const std::size_t got = ReadUpTo(file, bytes, sizeof bytes);
  if (ec || got != size || size < kPaletteFileBytes) return 2;
  ExpandPalette(bytes, entries, kPaletteEntryCount);
  return 0;
}
