// The temporary file and the rename behind ReplaceFileContents.
#include "data/file_replace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool WriteStream(const fs::path& file, std::string_view bytes) {
#ifdef _WIN32
  std::FILE* f = _wfopen(file.c_str(), L"wb");
#else
  std::FILE* f = std::fopen(file.c_str(), "wb");
#endif
  if (f == nullptr) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  // A failed flush at close means the bytes may not be on disk.
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

fs::path TemporaryBeside(const fs::path& file) {
  static thread_local std::mt19937 random{std::random_device{}()};
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%08x~", static_cast<unsigned>(random()));
  fs::path name(".");
  name += file.filename();
  name += suffix;
  return file.parent_path() / name;
}

}  // namespace

bool ReplaceFileContents(const fs::path& file, std::string_view bytes, std::string& error) {
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status)) {
    if (WriteStream(file, bytes)) return true;
    error = "cannot write " + file.string() + ": " + std::strerror(errno);
    return false;
  }
  for (int attempt = 0; attempt < 8; ++attempt) {
    const fs::path temporary = TemporaryBeside(file);
    if (fs::exists(temporary, ec)) continue;
    errno = 0;
    if (!WriteStream(temporary, bytes)) {
      const int cause = errno;
      fs::remove(temporary, ec);
      error = "cannot write " + file.string() + (cause ? std::string(": ") + std::strerror(cause) : "");
      return false;
    }
    fs::rename(temporary, file, ec);
    if (!ec) return true;
    error = "cannot write " + file.string() + ": " + ec.message();
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
  }
  error = "cannot write " + file.string() + ": no free temporary name beside it";
  return false;
}
