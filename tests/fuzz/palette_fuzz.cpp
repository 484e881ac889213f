// Fuzz target: a data folder of random names, sizes and sub-folders through the data set's palette and reference
// palette readers.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz_support.h"
#include "data/plugin_data.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMaxEntries = 24;
constexpr int kMaxChanges = 6;
constexpr char kNameAlphabet[] = "abAB. _-xZ09";
constexpr std::size_t kTelltaleSizes[] = {767, 768, 769, 772, 773, 0};

struct Entry {
  std::string name;
  bool folder = false;
  std::size_t size = 0;
};

std::string TakeName(FuzzBytes& in) {
  const std::uint8_t form = TakeByte(in);
  if (form % 16 == 0) return "refrence.pal";
  std::string name;
  for (int n = 1 + TakeByte(in) % 10; n > 0; --n) name += kNameAlphabet[TakeByte(in) % (sizeof kNameAlphabet - 1)];
  switch (form % 8) {
    case 1:
      return name + ".PAL";
    case 2:
      return name == "." || name == ".." ? name + "x" : name;  // never the folder itself or its parent
    case 3:
      return name + ".pal.bak";
    default:
      return name + ".pal";
  }
}

std::size_t TakeSize(FuzzBytes& in) {
  const std::uint8_t form = TakeByte(in);
  switch (form % 4) {
    case 0:
    case 1:
      return 768;
    case 2:
      return kTelltaleSizes[TakeByte(in) % (sizeof kTelltaleSizes / sizeof kTelltaleSizes[0])];
    default:
      return TakeU16(in) % 2048;
  }
}

// `size` bytes cycling through `pattern` (zeros when it is empty), every byte a full 0..255 value.
std::vector<unsigned char> Contents(const std::vector<std::uint8_t>& pattern, std::size_t size, std::size_t salt) {
  std::vector<unsigned char> bytes(size);
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<unsigned char>((pattern.empty() ? 0 : pattern[i % pattern.size()]) + salt * 31 + i / 251);
  return bytes;
}

void Place(const fs::path& path, bool folder, const std::vector<unsigned char>& bytes) {
  std::error_code ec;
  fs::remove_all(path, ec);
  if (folder) {
    fs::create_directories(path, ec);
    if (!ec) WriteFileBytes(path / "inner.pal", bytes);  // a palette in a sub-folder is not one of the set
  } else {
    WriteFileBytes(path, bytes);
  }
}

bool EndsInPal(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) c = static_cast<char>(c | 0x20);
  return ext == ".pal";
}

// The set the folder on disk should give, in name order: every regular file "*.pal" of exactly 768 bytes.
std::vector<std::vector<unsigned char>> ExpectedPalettes(const fs::path& data) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(data, ec)) {
    const std::string name = e.path().filename().string();
    if (EndsInPal(name) && e.is_regular_file(ec) && e.file_size(ec) == 768) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::vector<unsigned char>> files;
  for (const std::string& name : names) files.push_back(ReadFileBytes(data / name));
  return files;
}

bool IsExpansionOf(const std::uint8_t* entries, const unsigned char* file) {
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t* e = entries + 4 * i;
    if (e[0] != static_cast<std::uint8_t>(file[3 * i] << 2) ||
        e[1] != static_cast<std::uint8_t>(file[3 * i + 1] << 2) ||
        e[2] != static_cast<std::uint8_t>(file[3 * i + 2] << 2) || e[3] != 1)
      return false;
  }
  return true;
}

void CheckPaletteSet(const PaletteSet& set, const fs::path& data) {
  const int status = set.Status;
  FuzzCheck(status == 0 || status == 1 || status <= -2, "the palette loader gave a status outside its codes");
  if (status != 0) {
    FuzzCheck(set.Entries.empty(), "a failed load left a palette set behind");
  } else {
    FuzzCheck(set.Count >= 1 && set.Entries.size() == static_cast<std::size_t>(set.Count) * 1024,
              "a successful load gave no palettes");
    const std::size_t bytes = static_cast<std::size_t>(set.Count) * 1024;
    for (std::size_t i = 0; i < bytes; ++i) {
      const std::uint8_t b = set.Entries[i];
      FuzzCheck(i % 4 == 3 ? b == 1 : b % 4 == 0, "a palette entry is not a shifted file byte with flags 1");
    }
  }
  // Its result is known exactly.
  const auto expected = ExpectedPalettes(data);
  if (expected.empty()) {
    FuzzCheck(status == 1, "a folder without a qualifying palette was not refused with 1");
    return;
  }
  FuzzCheck(status == 0, "a folder of readable palettes did not load");
  FuzzCheck(set.Count == static_cast<std::int32_t>(expected.size()), "the palette count is wrong");
  for (std::size_t p = 0; p < expected.size(); ++p)
    FuzzCheck(IsExpansionOf(set.Entries.data() + p * 1024, expected[p].data()), "a palette is not its file, in order");
}

void CheckReferencePalette(bool unreadable, const fs::path& data) {
  constexpr std::uint8_t kPoison = 0x5A;
  static std::uint8_t palette[1024 + 16];  // four guard entries behind the 256
  std::memset(palette, kPoison, sizeof palette);
  const int status = ReadReferencePalette(data / "refrence.pal", reinterpret_cast<std::uint8_t(&)[1024]>(palette));
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(palette);
  for (std::size_t i = 1024; i < sizeof palette; ++i)
    FuzzCheck(bytes[i] == kPoison, "the reference load wrote past 256");
  FuzzCheck(status >= 0 && status <= 2, "the reference loader gave a status outside its codes");
  if (status != 0) {
    for (std::size_t i = 0; i < 1024; ++i) FuzzCheck(bytes[i] == kPoison, "a refused reference palette was written");
  } else {
    for (std::size_t i = 0; i < 1024; ++i)
      FuzzCheck(i % 4 == 3 ? bytes[i] == 1 : bytes[i] % 4 == 0, "a reference entry is not a shifted file byte");
  }
  if (unreadable) return;
  const fs::path path = data / "refrence.pal";
  std::error_code ec;
  const bool file = fs::is_regular_file(path, ec);
  const std::uintmax_t size = file ? fs::file_size(path, ec) : 0;
  const int expected = !file ? 2 : size > 772 ? 1 : size < 768 ? 2 : 0;
  FuzzCheck(status == expected, "the reference palette's status does not follow from its file");
  if (status == 0) FuzzCheck(IsExpansionOf(bytes, ReadFileBytes(path).data()), "the reference palette is not its file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t inputSize) {
  const PluginFolder& folder = FreshFuzzSession();
  const fs::path data = folder.root / "TavelDat";
  std::error_code ec;
  fs::remove_all(data, ec);
  FuzzBytes in{input, inputSize};
  const std::uint8_t setup = TakeByte(in);
  if (setup % 32 != 0) fs::create_directories(data, ec);  // now and then no data folder at all

  const std::vector<std::uint8_t> pattern = TakeBlock(in, 64);
  std::vector<Entry> entries;
  for (int n = TakeByte(in) % (kMaxEntries + 1); n > 0 && !FuzzEmpty(in); --n) {
    Entry e;
    e.name = TakeName(in);
    e.folder = TakeByte(in) % 8 == 0;
    e.size = TakeSize(in);
    if (fs::is_directory(data, ec)) Place(data / e.name, e.folder, Contents(pattern, e.size, entries.size()));
    entries.push_back(e);
  }

  // The bytes that once chose files locked by another program and changes during a search are still taken,
  // so that the corpus keeps its meaning; the reader lists the folder once, which leaves nothing to change in
  // between.
  if (setup & 0x20) TakeU32(in);
  if (setup & 0x40)
    for (int n = 1 + TakeByte(in) % kMaxChanges; n > 0; --n) {
      TakeByte(in);
      TakeByte(in);
      TakeSize(in);
    }

  CheckPaletteSet(ReadPaletteSet(data), data);
  CheckReferencePalette(false, data);
  return 0;
}
