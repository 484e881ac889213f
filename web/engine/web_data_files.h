// The data files of the web build: the page fetches them and hands their bytes in, so there is no file system.
#pragma once
#include <cstdint>

constexpr int kFadeTableBytes = 65536;

// The fade table that the next table build takes (65536 bytes, kept by the caller until then); null for none.
void UseFadeTableBytes(const std::uint8_t* table);
