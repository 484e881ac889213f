// Writing a data file whole or not at all: through a temporary file beside it, renamed over the old one.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Writes `bytes` as the new content of `file`. An interruption or failure leaves the old file as it was and no
// temporary file behind; a device or pipe is written to as such. A symbolic link is followed: the file it names
// gets the bytes and the link stays. The new content keeps the old file's mode, owner and group (a private file
// stays private); where they cannot be given to a new file, or its folder takes no new file, the file is
// rewritten in place and its old bytes put back should that fail. A file nobody may write (no write permission
// in its mode), or that this user may not write, is refused. False, with a message naming the file and the
// reason.
bool ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes, std::string& error);

// Why the existing regular file `file` must not be replaced: its mode lets nobody write it ("it is read-only
// (mode 0444)"), or this user may not; "" otherwise, and where it is no regular file.
std::string WriteRefusal(const std::filesystem::path& file);

// The missing folders on the way to a file, made for writing it and removed again (when still empty) unless the
// write succeeded and Keep was called: a failed write leaves no folder behind.
class MadeFolders {
 public:
  MadeFolders() = default;
  MadeFolders(const MadeFolders&) = delete;
  MadeFolders& operator=(const MadeFolders&) = delete;
  ~MadeFolders();

  // Makes `folder` and what is missing above it. False, with a message naming `folder`; nothing is left made.
  bool Make(const std::filesystem::path& folder, std::string& error);
  void Keep() { made_.clear(); }

 private:
  std::vector<std::filesystem::path> made_;  // outermost first
};
