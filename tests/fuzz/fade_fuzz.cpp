// Fuzz target: "fade.dat" of any length and content through LoadFadeTable.
#include <cstring>

#include "fuzz_support.h"
#include "tables/fade_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const PluginFolder& folder = FreshFuzzSession();
  FuzzBytes in{data, size};
  std::vector<std::uint8_t> file = TakeRest(in);
  WriteFileBytes(folder.root / "TavelDat" / "fade.dat", file);

  // Exactly the table's size and a guard byte behind it: a read past the table would show there.
  static std::uint8_t table[65536 + 1];
  std::memset(table, 0xA5, sizeof table);
  int status = LoadFadeTable(table);
  FuzzCheck(table[65536] == 0xA5, "the load wrote past the table");
  if (file.size() == 65536) {
    FuzzCheck(status == 0 && std::memcmp(table, file.data(), file.size()) == 0, "a whole file was not loaded");
  } else {
    FuzzCheck(status == 1, "a file of the wrong size was not refused");
  }
  return 0;
}
