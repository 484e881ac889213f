// Profile file reading and editing with the system's rules.
#include "data/profile_file.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "data/text_case.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

enum class LineKind { Other, Section, Key };

struct LineMeaning {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key name, blanks trimmed
  std::string_view value;  // key value, blanks trimmed
};

// A line means what a C string reader sees of it: a NUL byte ends its text, so "Key\0=1" is no key and
// "Key=1\0junk" has the value "1". The line itself stays whole on disk. A UTF-8 byte order mark is not skipped:
// like the system's ANSI profile calls, it belongs to the first line's text, so a section header on that line
// is not recognised.
LineMeaning Classify(std::string_view text) {
  LineMeaning m;
  std::string_view t = Trim(text.substr(0, text.find('\0')));
  if (t.empty() || t[0] == ';') return m;
  if (t[0] == '[') {
    std::size_t close = t.find(']');
    if (close == std::string_view::npos) return m;  // broken header: kept, but neither opens nor ends a section
    m.kind = LineKind::Section;
    m.name = Trim(t.substr(1, close - 1));
    return m;
  }
  std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return m;
  m.kind = LineKind::Key;
  m.name = Trim(t.substr(0, eq));
  m.value = Trim(t.substr(eq + 1));
  return m;
}

// A value in matching single or double quotes is given without them.
std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

ProfileFile::Load ProfileFile::Read(const std::filesystem::path& file) {
  lines_.clear();
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return Load::Missing;
  if (!std::filesystem::is_regular_file(file, ec)) return Load::Failed;
  std::ifstream in(file, std::ios::binary);
  if (!in) return Load::Failed;
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return Load::Failed;

  // Only LF ends a line (a CR before it belongs to the line end); a lone CR stays inside the line's text.
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t nl = content.find('\n', start);
    if (nl == std::string::npos) {
      lines_.push_back({content.substr(start), ""});
      break;
    }
    std::size_t end = nl;
    std::string ending = "\n";
    if (end > start && content[end - 1] == '\r') {
      --end;
      ending = "\r\n";
    }
    lines_.push_back({content.substr(start, end - start), ending});
    start = nl + 1;
  }
  return Load::Read;
}

// The first section of that name: [header, end) where end is the next header or the end of the file. Keys
// before the first header belong to no section. A second section of the same name is never read, not even for
// a key that only it holds, and writes go to the first: what is read is always what was written.
bool ProfileFile::FindSection(std::string_view section, std::size_t& header, std::size_t& end) const {
  const std::string_view wanted = Trim(section);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    LineMeaning m = Classify(lines_[i].text);
    if (m.kind != LineKind::Section || !SameNoCase(m.name, wanted)) continue;
    header = i;
    end = i + 1;
    while (end < lines_.size() && Classify(lines_[end].text).kind != LineKind::Section) ++end;
    return true;
  }
  return false;
}

bool ProfileFile::Value(std::string_view section, std::string_view key, std::string& value) const {
  std::size_t header, end;
  if (!FindSection(section, header, end)) return false;
  const std::string_view wanted = Trim(key);
  // Of two lines with one key the earlier wins.
  for (std::size_t i = header + 1; i < end; ++i) {
    LineMeaning m = Classify(lines_[i].text);
    if (m.kind == LineKind::Key && SameNoCase(m.name, wanted)) {
      value = Unquote(m.value);
      return true;
    }
  }
  return false;
}

std::uint32_t ProfileFile::Integer(std::string_view section, std::string_view key, std::int32_t fallback) const {
  // The system reads the value through a 30-character buffer, so only its first 29 characters count.
  constexpr std::size_t kIntegerTextLimit = 29;
  std::string value;
  if (!Value(section, key, value) || value.empty()) return static_cast<std::uint32_t>(fallback);
  if (value.size() > kIntegerTextLimit) value.resize(kIntegerTextLimit);
  return ParseProfileInteger(value);
}

std::string ProfileFile::Text(std::string_view section, std::string_view key, std::string_view fallback,
                              std::size_t bufferBytes) const {
  std::string value;
  if (!Value(section, key, value)) {
    // The system drops trailing blanks of the default.
    value = fallback;
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
  }
  if (bufferBytes == 0) return {};
  if (value.size() > bufferBytes - 1) value.resize(bufferBytes - 1);
  return value;
}

void ProfileFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string newLine = std::string(key) + "=" + std::string(value);
  std::size_t header, end;
  if (!FindSection(section, header, end)) {
    if (!lines_.empty()) {
      if (lines_.back().ending.empty()) lines_.back().ending = "\r\n";
      if (!Trim(lines_.back().text).empty()) lines_.push_back({"", "\r\n"});
    }
    lines_.push_back({"[" + std::string(section) + "]", "\r\n"});
    lines_.push_back({newLine, "\r\n"});
    return;
  }
  const std::string_view wanted = Trim(key);
  for (std::size_t i = header + 1; i < end; ++i) {
    LineMeaning m = Classify(lines_[i].text);
    if (m.kind == LineKind::Key && SameNoCase(m.name, wanted)) {
      lines_[i].text = std::string(m.name) + "=" + std::string(value);
      return;
    }
  }
  // After the section's last non-blank line, so that blank lines separating it from the next stay in place.
  std::size_t last = end;
  while (last > header + 1 && Trim(lines_[last - 1].text).empty()) --last;
  if (lines_[last - 1].ending.empty()) lines_[last - 1].ending = "\r\n";
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last), {newLine, "\r\n"});
}

void ProfileFile::Remove(std::string_view section, std::string_view key) {
  std::size_t header, end;
  if (!FindSection(section, header, end)) return;
  const std::string_view wanted = Trim(key);
  for (std::size_t i = end; i > header + 1; --i) {
    LineMeaning m = Classify(lines_[i - 1].text);
    if (m.kind == LineKind::Key && SameNoCase(m.name, wanted))
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i - 1));
  }
}

std::string ProfileFile::Bytes() const {
  std::string bytes;
  for (const Line& line : lines_) bytes += line.text + line.ending;
  return bytes;
}

std::uint32_t ParseProfileInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  unsigned base = 10;
  if (i + 1 < text.size() && text[i] == '0') {
    char p = LowerAscii(text[i + 1]);
    if (p == 'x') base = 16;
    if (p == 'o') base = 8;
    if (p == 'b') base = 2;
    if (base != 10) i += 2;
  }
  std::uint32_t value = 0;
  for (; i < text.size(); ++i) {
    char c = LowerAscii(text[i]);
    unsigned digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<unsigned>(c - 'a' + 10);
    else
      break;
    if (digit >= base) break;
    value = value * base + digit;
  }
  return negative ? 0u - value : value;
}
