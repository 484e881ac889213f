// Palette files, the reference palette, and the whole-file routines every data file goes through.
#include "tables/palette_files.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "plugin/effect_state.h"
#include "plugin/plugin_folder.h"

namespace {

constexpr std::int32_t kPaletteFileBytes = 768;    // 256 entries of red, green, blue
constexpr std::int32_t kReferenceFileLimit = 772;  // the longest "refrence.pal" taken
constexpr std::size_t kPaletteSetBytes = 1024;     // 256 PALETTEENTRY per palette
// A palette file's full path is formatted in 256 bytes, as it always was: a longer one is refused, not cut.
constexpr std::size_t kPalettePathBytes = 256;

// Length of an open stream, or -1 when it cannot be measured (a folder, a device). Leaves it at its start.
long StreamLength(std::FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return -1;
  long length = std::ftell(f);
  if (std::fseek(f, 0, SEEK_SET) != 0) return -1;
  return length;
}

// File bytes 0..63 per colour become 0..252: shifted left by 2 within 8 bits, so the top two bits drop.
void ExpandPalette(const std::uint8_t* file, PALETTEENTRY* entries, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    entries[i].peRed = static_cast<BYTE>(file[3 * i] << 2);
    entries[i].peGreen = static_cast<BYTE>(file[3 * i + 1] << 2);
    entries[i].peBlue = static_cast<BYTE>(file[3 * i + 2] << 2);
    entries[i].peFlags = PC_RESERVED;
  }
}

// Names must end in ".pal" themselves: the system's search also matches a pattern against the short 8.3 name,
// so "*.pal" alone would take "x.palette" as well on Windows, but not in the native build.
bool HasPaletteExtension(const char* name) {
  std::size_t n = std::strlen(name);
  if (n < 4) return false;
  const char* ext = name + n - 4;
  return ext[0] == '.' && (ext[1] | 0x20) == 'p' && (ext[2] | 0x20) == 'a' && (ext[3] | 0x20) == 'l';
}

bool IsPaletteEntry(const WIN32_FIND_DATAA& entry) {
  return HasPaletteExtension(entry.cFileName) && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         entry.nFileSizeHigh == 0 && entry.nFileSizeLow == static_cast<DWORD>(kPaletteFileBytes);
}

// First search: how many qualifying files the pattern lists, or -1 when the search fails.
std::int32_t CountPaletteFiles(const char* pattern) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) return -1;
  std::int32_t count = 0;
  do {
    if (IsPaletteEntry(entry)) ++count;
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return count;
}

// Second search: the qualifying names, sorted byte by byte so that the palette order is the same on every file
// system (directory order is not). False when the search fails or memory runs out.
bool ListPaletteFiles(const char* pattern, std::vector<std::string>& names) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  try {
    do {
      if (IsPaletteEntry(entry)) names.emplace_back(entry.cFileName);
    } while (FindNextFileA(search, &entry));
    std::sort(names.begin(), names.end());
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  FindClose(search);
  return ok;
}

}  // namespace

std::int32_t FileSize(const char* path) {
  std::FILE* f = OpenFileStream(path, "rb");
  if (f == nullptr) return 0;
  long length = StreamLength(f);
  std::fclose(f);
  if (length < 0) return 0;
  return static_cast<std::int32_t>(std::min<long>(length, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t ReadWholeFile(const char* path, void* buffer, std::int32_t capacity) {
  std::FILE* f = OpenFileStream(path, "rb");
  if (f == nullptr) return 0;
  long length = StreamLength(f);
  std::size_t wanted = 0;
  if (length > 0 && capacity > 0) wanted = static_cast<std::size_t>(std::min<long>(length, capacity));
  std::size_t got = wanted > 0 ? std::fread(buffer, 1, wanted, f) : 0;
  std::fclose(f);
  return static_cast<std::int32_t>(got);
}

// A failed flush at close means the bytes may not be on disk: that is reported as nothing written.
std::int32_t WriteWholeFile(const char* path, const void* data, std::int32_t size) {
  std::FILE* f = OpenFileStream(path, "wb");
  if (f == nullptr) return 0;
  std::size_t written = size > 0 ? std::fwrite(data, 1, static_cast<std::size_t>(size), f) : 0;
  if (std::fclose(f) != 0) return 0;
  return static_cast<std::int32_t>(written);
}

// Palettes come in ascending byte order of their file names. The second search reads at most as many files as
// the first counted (the first of them in name order), so files added in between never overrun the block. A
// file whose full path does not fit kPalettePathBytes counts as unreadable and gives its -(k + 2). The old PaletteSet
// is freed when a new one replaces it: after an Init that failed before the tables were built, FreeBuiltSets
// leaves it in place, and replacing it without freeing would leak it.
int LoadPaletteSet() {
  char folder[kPluginPathBytes];
  if (!PluginFilePath("TavelDat\\", folder)) return 1;
  char pattern[kPluginPathBytes];
  if (!PluginFilePath("TavelDat\\*.pal", pattern)) return 1;

  std::int32_t counted = CountPaletteFiles(pattern);
  if (counted <= 0) return 1;

  auto* files = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(counted) * kPaletteFileBytes));
  if (files == nullptr) return 1;
  std::vector<std::string> names;
  if (!ListPaletteFiles(pattern, names)) {
    std::free(files);
    return 1;
  }

  std::int32_t loaded = 0;
  std::size_t folderLength = std::strlen(folder);
  for (const std::string& name : names) {
    if (loaded == counted) break;
    char path[kPalettePathBytes];
    bool fits = folderLength + name.size() < sizeof path;
    std::uint8_t* slot = files + static_cast<std::size_t>(loaded) * kPaletteFileBytes;
    if (fits) wsprintfA(path, "%s%s", folder, name.c_str());
    if (!fits || ReadWholeFile(path, slot, kPaletteFileBytes) != kPaletteFileBytes) {
      std::free(files);
      return -(loaded + 2);
    }
    ++loaded;
  }
  if (loaded == 0) {  // every counted file vanished before the second search
    std::free(files);
    return 1;
  }

  auto* set = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(loaded) * kPaletteSetBytes));
  if (set == nullptr) {
    std::free(files);
    return 1;
  }
  ExpandPalette(files, reinterpret_cast<PALETTEENTRY*>(set), static_cast<std::size_t>(loaded) * 256);
  std::free(files);
  std::free(g_state.PaletteSet);
  g_state.PaletteSet = set;
  g_state.PaletteCount = loaded;
  return 0;
}

// A missing "refrence.pal", or one too short to give all 256 entries, is refused like an incomplete read.
int LoadReferencePalette(PALETTEENTRY* palette) {
  char path[kPluginPathBytes];
  if (!PluginFilePath("TavelDat\\refrence.pal", path)) return 2;
  std::int32_t size = FileSize(path);
  if (size > kReferenceFileLimit) return 1;
  std::uint8_t file[kReferenceFileLimit];
  std::int32_t got = ReadWholeFile(path, file, kReferenceFileLimit);
  if (got != size || size < kPaletteFileBytes) return 2;
  ExpandPalette(file, palette, 256);
  return 0;
}
