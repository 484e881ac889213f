// A palette file's bytes as the display's colours: the one place that knows the file's 6-bit intensities and how
// they become 8-bit entries. Free of files, so that the web engine, which gets the bytes from the page, uses it too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr std::size_t kPaletteFileBytes = 768;  // 256 entries of red, green, blue at 6 bits
constexpr std::size_t kPaletteEntryCount = 256;
constexpr std::uint8_t kPaletteReservedFlag = 0x01;  // every entry may be animated

// A file byte 0..63 as an 8-bit intensity 0..252: shifted left by 2 within 8 bits, so the top two bits drop.
constexpr std::uint8_t PaletteIntensity(std::uint8_t fileByte) { return static_cast<std::uint8_t>(fileByte << 2); }

// `count` entries of red, green, blue from `file` as the display's entries: red, green, blue and the reserved flag.
void ExpandPalette(const std::uint8_t* file, std::uint8_t* entries, std::size_t count);

// Whether a file name is a palette's: it ends in ".pal" itself, in any case.
bool IsPaletteFileName(std::string_view name);
