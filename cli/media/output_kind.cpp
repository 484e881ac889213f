// Output kinds by name.
#include "output_kind.h"

#include <cctype>
#include <filesystem>

#include "output_target.h"

namespace fs = std::filesystem;

const char kOutputKindsText[] =
    "a name ending in .mp4, .mkv, .mov, .webm or .gif, .png for one still, a folder for PNG frames (an existing one, "
    "or a name ending in '/'), or - for Matroska on standard output (and on a device or named pipe without one of "
    "these endings)";

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

OutputKind OutputKindForPath(const std::string& path) {
  if (path.empty()) return OutputKind::Unsupported;
  if (NamesStandardStream(path, 1)) return OutputKind::MatroskaStream;
  const std::string lower = Lower(path);
  std::error_code ec;
  if (path.back() == '/' || fs::is_directory(path, ec)) return OutputKind::PngDirectory;
  if (EndsWith(lower, ".mp4")) return OutputKind::Mp4;
  if (EndsWith(lower, ".mkv")) return OutputKind::Mkv;
  if (EndsWith(lower, ".webm")) return OutputKind::Webm;
  if (EndsWith(lower, ".gif")) return OutputKind::Gif;
  if (EndsWith(lower, ".mov")) return OutputKind::Mov;
  if (EndsWith(lower, ".png")) return OutputKind::Png;
  // A device or a named pipe has no ending to go by: it gets a stream, as standard output does.
  if (IsWrittenInPlace(path)) return OutputKind::Mkv;
  return OutputKind::Unsupported;
}

bool OutputTakesYuv(OutputKind kind) { return IsVideoOutput(kind); }
