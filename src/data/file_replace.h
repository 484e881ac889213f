// Writing a data file whole or not at all: through a temporary file beside it, renamed over the old one.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

// Writes `bytes` as the new content of `file`. An interruption or failure leaves the old file as it was and no
// temporary file behind; a device or pipe is written to as such. False, with a message naming the file.
bool ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes, std::string& error);
