// "plugin.ini" as the system's profile functions read and write it, in standard C++: sections, keys, integer
// parsing and in-place edits that give back every other line byte for byte.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class ProfileFile {
 public:
  enum class Load { Read, Missing, Failed };

  // Reads the file; a missing file reads as an empty one, so does one that cannot be read (Failed).
  Load Read(const std::filesystem::path& file);

  // The key's value in the first section of that name (names without regard to case, blanks trimmed, a pair of
  // quotes removed); false when the section or the key is missing.
  bool Value(std::string_view section, std::string_view key, std::string& value) const;
  // As the system's integer read: a missing or empty value gives `fallback`; otherwise the first 29 characters
  // are parsed (blanks, sign, 0x/0o/0b prefix, digits up to the first other character; no digits give 0;
  // more digits wrap modulo 2^32).
  std::uint32_t Integer(std::string_view section, std::string_view key, std::int32_t fallback) const;
  // As the system's string read into a buffer of `bufferBytes`: the value, or `fallback` without trailing
  // blanks, cut to bufferBytes - 1 characters.
  std::string Text(std::string_view section, std::string_view key, std::string_view fallback,
                   std::size_t bufferBytes) const;

  // Replaces the key's line in place (keeping the key's spelling in the file), adds a missing key after the last
  // line of its section, and a missing section at the end of the file.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  // Removes the key's lines from the section the reads look in, so that none of them is read again.
  void Remove(std::string_view section, std::string_view key);
  // The file's bytes as they stand after the edits.
  std::string Bytes() const;

 private:
  struct Line {
    std::string text;
    std::string ending;  // "\r\n", "\n" or "" (last line without one)
  };
  bool FindSection(std::string_view section, std::size_t& header, std::size_t& end) const;
  std::vector<Line> lines_;
};

// The parse of ProfileFile::Integer on a value's text.
std::uint32_t ParseProfileInteger(std::string_view text);
