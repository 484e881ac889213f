// Fuzz target: a data folder of random names, sizes and sub-folders, changed between the searches, through
// LoadPaletteSet and LoadReferencePalette.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz_support.h"
#include "plugin/effect_state.h"
#include "platform/platform.h"
#include "tables/palette_files.h"

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

// A change made while a search is under way (after its listing): to entry `target`, on the search `onCall`.
enum class ChangeKind { Remove, Resize, AddPalette, MakeFolder };
struct Change {
  int onCall;
  ChangeKind kind;
  int target;
  std::size_t size;
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

void CheckPaletteSet(int status, bool folderChanged, const fs::path& data) {
  FuzzCheck(HeadlessOpenSearchCount() == 0, "a directory search was left open");
  FuzzCheck(status == 0 || status == 1 || status <= -2, "the palette loader gave a status outside its codes");
  if (status != 0) {
    FuzzCheck(g_state.PaletteSet == nullptr, "a failed load left a palette set behind");
  } else {
    FuzzCheck(g_state.PaletteCount >= 1 && g_state.PaletteSet != nullptr, "a successful load gave no palettes");
    const std::size_t bytes = static_cast<std::size_t>(g_state.PaletteCount) * 1024;
    for (std::size_t i = 0; i < bytes; ++i) {
      const std::uint8_t b = g_state.PaletteSet[i];
      FuzzCheck(i % 4 == 3 ? b == 1 : b % 4 == 0, "a palette entry is not a shifted file byte with flags 1");
    }
  }
  if (folderChanged) return;
  // Nothing moved under the loader: its result is known exactly.
  const auto expected = ExpectedPalettes(data);
  if (expected.empty()) {
    FuzzCheck(status == 1, "a folder without a qualifying palette was not refused with 1");
    return;
  }
  FuzzCheck(status == 0, "a folder of readable palettes did not load");
  FuzzCheck(g_state.PaletteCount == static_cast<std::int32_t>(expected.size()), "the palette count is wrong");
  for (std::size_t p = 0; p < expected.size(); ++p)
    FuzzCheck(IsExpansionOf(g_state.PaletteSet + p * 1024, expected[p].data()), "a palette is not its file, in order");
}

void CheckReferencePalette(bool unreadable, const fs::path& data) {
  constexpr std::uint8_t kPoison = 0x5A;
  static PALETTEENTRY palette[256 + 4];  // four guard entries behind the 256
  std::memset(palette, kPoison, sizeof palette);
  const int status = LoadReferencePalette(palette);
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

  // Some entries cannot be opened: as a file locked by another program.
  const std::uint32_t unreadableMask = setup & 0x20 ? TakeU32(in) : 0;
  std::vector<std::string> unreadable;
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (unreadableMask >> i & 1) unreadable.push_back(entries[i].name);
  if (!unreadable.empty()) {
    HeadlessSetOpenFailure([&unreadable](const std::string& path, const char*) {
      const std::string name = fs::path(path).filename().string();
      return std::find(unreadable.begin(), unreadable.end(), name) != unreadable.end();
    });
  }

  // Some entries change while a search is under way.
  std::vector<Change> changes;
  if (setup & 0x40) {
    for (int n = 1 + TakeByte(in) % kMaxChanges; n > 0; --n) {
      const std::uint8_t kind = TakeByte(in);
      changes.push_back({1 + (kind >> 7), static_cast<ChangeKind>(kind % 4), TakeByte(in), TakeSize(in)});
    }
    HeadlessSetFindHook([&, calls = 0](const std::string&) mutable {
      ++calls;
      for (std::size_t i = 0; i < changes.size(); ++i) {
        const Change& c = changes[i];
        if (c.onCall != calls) continue;
        const std::string name = c.kind == ChangeKind::AddPalette || entries.empty()
                                     ? "added" + std::to_string(i) + ".pal"
                                     : entries[c.target % entries.size()].name;
        const fs::path path = data / name;
        std::error_code err;
        switch (c.kind) {
          case ChangeKind::Remove:
            fs::remove_all(path, err);
            break;
          case ChangeKind::Resize:
            if (fs::is_regular_file(path, err)) fs::resize_file(path, c.size, err);
            break;
          case ChangeKind::AddPalette:
            Place(path, false, Contents(pattern, c.size, 100 + i));
            break;
          case ChangeKind::MakeFolder:
            Place(path, true, Contents(pattern, 768, 200 + i));
            break;
        }
      }
    });
  }

  const int status = LoadPaletteSet();
  CheckPaletteSet(status, !unreadable.empty() || !changes.empty(), data);
  const bool referenceUnreadable = std::find(unreadable.begin(), unreadable.end(), "refrence.pal") != unreadable.end();
  CheckReferencePalette(referenceUnreadable, data);

  // Nothing of this input may reach the next: the set is ours to free, the hooks point into this frame.
  HeadlessSetFindHook({});
  HeadlessSetOpenFailure({});
  std::free(g_state.PaletteSet);
  g_state.PaletteSet = nullptr;
  return 0;
}
