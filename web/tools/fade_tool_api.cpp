// The web build's own fade table: the engine's fade computation compiled to WebAssembly and run in Node at build
// time (web/tools/make_fade_table.mjs), so the page's data set needs no native build. The plug-in's defaults give
// the shade factors, as `tavelmir fade` does for a folder without plugin.ini.
#include <cstdint>

#include "core/effect_settings.h"
#include "core/fade_table.h"

#define TAVELMIR_EXPORT(name) extern "C" __attribute__((export_name(name)))

namespace {

std::uint8_t g_reference[768];
std::uint8_t g_table[kFadeTableBytes];

}  // namespace

// Where the tool writes the reference palette's 768 file bytes (6-bit red, green, blue per colour).
TAVELMIR_EXPORT("tv_fade_reference") std::uint8_t* tv_fade_reference() { return g_reference; }

// Computes the table from the reference palette; returns where its 65536 bytes are.
TAVELMIR_EXPORT("tv_fade_compute") const std::uint8_t* tv_fade_compute() {
  std::uint8_t entries[1024];
  // The palette file's intensities as the display's entries, shifted within 8 bits as the data set's reader does.
  for (int i = 0; i < 256; ++i) {
    entries[4 * i] = static_cast<std::uint8_t>(g_reference[3 * i] << 2);
    entries[4 * i + 1] = static_cast<std::uint8_t>(g_reference[3 * i + 1] << 2);
    entries[4 * i + 2] = static_cast<std::uint8_t>(g_reference[3 * i + 2] << 2);
    entries[4 * i + 3] = 1;
  }
  FillFadeTable(entries, DeriveEffectParams(EffectSettings{}), g_table);
  return g_table;
}
