// An output written under a hidden temporary name beside its final one: removed unless committed, and committed by
// a rename, so that the final name only ever holds a complete output.
#pragma once
#include <cstdio>
#include <string>

class TemporaryOutput {
 public:
  TemporaryOutput() = default;
  TemporaryOutput(TemporaryOutput&& other) noexcept;
  TemporaryOutput& operator=(TemporaryOutput&& other) noexcept;
  TemporaryOutput(const TemporaryOutput&) = delete;
  TemporaryOutput& operator=(const TemporaryOutput&) = delete;
  ~TemporaryOutput() { Abandon(); }

  // Makes a file (or, with `folder`, a folder) beside `finalPath`, with the mode a new one would get, or that of
  // the existing output it will replace. `file` (may be null) receives the open file for writing. False, with a
  // message naming `finalPath`.
  bool Create(const std::string& finalPath, bool folder, std::FILE** file, std::string& error);
  const std::string& Path() const { return path_; }
  bool Made() const { return !path_.empty(); }

  // Puts the output under its final name: with `replace` over a file that is there, else only where nothing is
  // (an empty folder for a folder). False, with a message; the temporary output is then still there to abandon.
  bool Commit(bool replace, std::string& error);
  // Removes what was written.
  void Abandon();

 private:
  std::string path_;  // the temporary name; empty when nothing is held
  std::string finalPath_;
  bool folder_ = false;
};
