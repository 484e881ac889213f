// Releasing the table set and the palette set.
#include <cstdlib>

#include "host/effect_state.h"
#include "host/lifecycle.h"
#include "tables/table_placement.h"

namespace {
template <typename T>
void Release(T*& block) {
  if (block != nullptr) {
    std::free(block);
    block = nullptr;
  }
}

// The frame buffers placed by BuildTables.
template <typename T>
void ReleasePlaced(T*& block) {
  ReleasePlacedBlock(block);
  block = nullptr;
}
}  // namespace

void FreeTableSet() {
  if (g_state.TablesBuilt == 0) return;
  TableSet& t = g_state.Tables;
  Release(g_state.PaletteSet);
  ReleasePlaced(t.WaveBuffer[0]);
  ReleasePlaced(t.WaveBuffer[1]);
  Release(t.LandscapeImage);
  Release(t.FadeTable);
  Release(t.TextureMap);
  Release(t.ConversionTable);
  Release(t.PerspectiveTable);
  Release(t.TunnelTable);
  ReleasePlaced(t.HeightMap);
  g_state.TablesBuilt = 0;
}
