// Whether a texture file on disk holds the whole bitmap its headers describe.
#pragma once
#include <filesystem>

// Whether the file is a bitmap ReadBitmapLayout accepts. The system's bitmap loader trusts the headers and reads
// past the end of a cut-off file, which takes the whole player down; this is asked first.
bool BitmapFileIsWhole(const std::filesystem::path& file);
