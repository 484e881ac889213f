// Palette files, the reference palette, and the whole-file routines every data file goes through.
#pragma once
#include <cstdint>

#include "platform/platform.h"

// Length of the file in bytes, or 0 when it cannot be opened for reading.
std::int32_t FileSize(const char* path);
// Reads the whole file into `buffer`, never more than `capacity` bytes. Returns the bytes read, 0 when the file
// cannot be opened (the buffer is then untouched).
std::int32_t ReadWholeFile(const char* path, void* buffer, std::int32_t capacity);
// Creates or empties the file and writes `size` bytes. Returns the bytes written, 0 when it cannot be opened.
std::int32_t WriteWholeFile(const char* path, const void* data, std::int32_t size);

// 0 = PaletteSet and PaletteCount filled; 1 = nothing qualifying, search failure or no memory;
// -(k + 2) = qualifying file k could not be read whole.
int LoadPaletteSet();
// 0 = loaded; 1 = larger than 772 bytes; 2 = missing, shorter than 768 bytes or not read whole.
int LoadReferencePalette(PALETTEENTRY* palette);
