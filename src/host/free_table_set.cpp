// Releasing the table set and the palette set.
#include <cstdlib>

#include "host/effect_state.h"
#include "host/lifecycle.h"

namespace {
template <typename T>
void Release(T*& block) {
  if (block != nullptr) {
    std::free(block);
    block = nullptr;
  }
}
}  // namespace

void FreeTableSet() {
  if (g_state.TablesBuilt == 0) return;
  TableSet& t = g_state.Tables;
  Release(g_state.PaletteSet);
  Release(t.WaveBuffer[0]);
  Release(t.WaveBuffer[1]);
  Release(t.LandscapeImage);
  Release(t.FadeTable);
  Release(t.TextureMap);
  Release(t.ConversionTable);
  Release(t.PerspectiveTable);
  Release(t.TunnelTable);
  Release(t.HeightMap);
  g_state.TablesBuilt = 0;
}
