// Fuzz target: "fade.dat" of any length and content through the data set's reader.
#include <cstring>

#include "fuzz_support.h"
#include "data/plugin_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const PluginFolder& folder = FreshFuzzSession();
  FuzzBytes in{data, size};
  std::vector<std::uint8_t> file = TakeRest(in);
  WriteFileBytes(folder.root / "TavelDat" / "fade.dat", file);

  const std::vector<std::uint8_t> table = ReadFadeTable(FadeFile(folder.root));
  if (file.size() == 65536) {
    FuzzCheck(table == file, "a whole file was not loaded");
  } else {
    FuzzCheck(table.empty(), "a file of the wrong size was not refused");
  }
  return 0;
}
