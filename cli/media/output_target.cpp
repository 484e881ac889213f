// Output names checked before any work: links followed, the folder looked at, room left for the temporary name.
#include "output_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The temporary name adds a dot before and ".tavelmir-XXXXXX" after the final name.
constexpr std::size_t kTemporaryExtra = 1 + 16;

std::string WithoutTrailingSlashes(const std::string& name) {
  std::string bare = name;
  while (bare.size() > 1 && bare.back() == '/') bare.pop_back();
  return bare;
}

std::string FolderOf(const fs::path& path) {
  const fs::path folder = path.parent_path();
  return folder.empty() ? "." : folder.string();
}

// The longest name the folder's file system takes (NAME_MAX where it does not say).
std::size_t LongestName(const std::string& folder) {
  const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
}

OutputPlace PlaceOf(mode_t mode) {
  if (S_ISREG(mode)) return OutputPlace::Regular;
  if (S_ISDIR(mode)) return OutputPlace::Folder;
  return OutputPlace::InPlace;
}

}  // namespace

bool ResolveOutputTarget(const std::string& name, OutputTarget& target, std::string& error) {
  target = {name, name, OutputPlace::New};
  const std::string bare = WithoutTrailingSlashes(name);
  const std::string prefix = "cannot write '" + name + "': ";
  struct stat link {};
  if (::lstat(bare.c_str(), &link) == 0) {
    struct stat st {};
    if (S_ISLNK(link.st_mode)) {
      std::error_code ec;
      const fs::path pointed = fs::read_symlink(bare, ec);
      if (::stat(bare.c_str(), &st) != 0) {
        const int reason = errno;
        error = prefix + "it is a symbolic link to '" + pointed.string() + "', which " +
                (reason == ENOENT ? "does not exist" : std::string("cannot be reached: ") + std::strerror(reason));
        return false;
      }
      // Written through the link, as every program writing a file does: the link stays and names the new output.
      const fs::path resolved = fs::canonical(bare, ec);
      if (ec) {
        error = prefix + ec.message();
        return false;
      }
      target.path = resolved.string();
    } else {
      st = link;
    }
    target.place = PlaceOf(st.st_mode);
  } else if (const int reason = errno; reason != ENOENT && reason != ENOTDIR) {
    error = prefix + std::strerror(reason);
    return false;
  } else {
    const std::string folder = FolderOf(fs::path(bare));
    struct stat f {};
    if (::stat(folder.c_str(), &f) != 0) {
      const int folderReason = errno;
      error = prefix + "the folder '" + folder + "' " +
              (folderReason == ENOENT ? "does not exist"
                                      : std::string("cannot be reached: ") + std::strerror(folderReason));
      return false;
    }
    if (!S_ISDIR(f.st_mode)) {
      error = prefix + "'" + folder + "' is not a folder";
      return false;
    }
  }
  const fs::path written(WithoutTrailingSlashes(target.path));
  const std::size_t longest = LongestName(FolderOf(written));
  if (written.filename().string().size() > longest) {
    error = prefix + "the name is longer than the " + std::to_string(longest) + " bytes its folder takes";
    return false;
  }
  return true;
}

std::string FollowLinks(const std::string& path) {
  fs::path p(path);
  std::error_code ec;
  // As the system does, a chain of links ends somewhere within 40 steps or is a loop, left as it is.
  for (int step = 0; step < 40 && fs::is_symlink(p, ec); ++step) {
    const fs::path pointed = fs::read_symlink(p, ec);
    if (ec) break;
    p = pointed.is_absolute() ? pointed : p.parent_path() / pointed;
  }
  return p.lexically_normal().string();
}

bool IsWrittenInPlace(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && PlaceOf(st.st_mode) == OutputPlace::InPlace;
}

bool CheckOutputReplacement(const OutputTarget& target, const std::vector<std::string>& inputs, bool replace,
                            std::string& error) {
  if (target.place == OutputPlace::New || target.place == OutputPlace::InPlace) return true;
  std::error_code ec;
  for (const std::string& input : inputs) {
    if (input != "-" && fs::equivalent(target.path, input, ec)) {
      error = "the output '" + target.name + "' is the input; choose another name";
      return false;
    }
  }
  if (target.place == OutputPlace::Folder) {
    error = "cannot write '" + target.name + "': it is a folder";
    return false;
  }
  if (!replace) {
    error = "'" + target.name + "' already exists; add -y to replace it";
    return false;
  }
  return true;
}

std::string TemporaryNameBeside(const std::string& path) {
  const fs::path p(WithoutTrailingSlashes(path));
  const std::string folder = FolderOf(p);
  std::string base = p.filename().string();
  const std::size_t longest = LongestName(folder);
  const std::size_t room = longest > kTemporaryExtra ? longest - kTemporaryExtra : 0;
  if (base.size() > room) {
    base.resize(room);
    // Never half a character of UTF-8: the name stays readable in a listing.
    while (!base.empty() && (static_cast<unsigned char>(base.back()) & 0xC0) == 0x80) base.pop_back();
    if (!base.empty() && (static_cast<unsigned char>(base.back()) & 0x80) != 0) base.pop_back();
  }
  return (fs::path(folder) / ("." + base + ".tavelmir-XXXXXX")).string();
}

bool NamesStandardStream(const std::string& name, int fd) {
  const std::string number = std::to_string(fd);
  return name == "-" ||
         name == (fd == 0   ? "/dev/stdin"
                  : fd == 1 ? "/dev/stdout"
                            : "/dev/stderr") ||
         name == "/dev/fd/" + number || name == "/proc/self/fd/" + number;
}

std::string EscapeFramePattern(const std::string& path) {
  std::string escaped;
  for (char c : path) {
    escaped += c;
    if (c == '%') escaped += '%';
  }
  return escaped;
}
