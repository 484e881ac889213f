// The table build's file readers for the web build: the fade table from the bytes the page fetched; the page has
// no texture, so the landscape is always drawn flat.
#include "web_data_files.h"

#include <cstring>

#include "tables/fade_table.h"
#include "tables/texture_loader.h"

namespace {
const std::uint8_t* g_fadeTable = nullptr;
}  // namespace

void UseFadeTableBytes(const std::uint8_t* table) { g_fadeTable = table; }

int LoadFadeTable(std::uint8_t* table) {
  if (g_fadeTable == nullptr) return 1;
  std::memcpy(table, g_fadeTable, kFadeTableBytes);
  return 0;
}

int LoadTexture(std::uint8_t*) { return 1; }
