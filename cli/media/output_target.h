// What an output name stands for on disk and how it must be written: a new or regular file under a temporary name
// and renamed, a device or pipe opened as it is, a symbolic link followed to what it names.
#pragma once
#include <string>
#include <vector>

enum class OutputPlace {
  New,      // nothing there yet
  Regular,  // an existing regular file: replaced only with -y
  Folder,   // an existing folder
  InPlace,  // a device, a named pipe or a socket: written directly, never renamed over, no -y needed
};

struct OutputTarget {
  std::string name;  // as given, for messages
  std::string path;  // where to write: a symbolic link followed to what it names
  OutputPlace place = OutputPlace::New;
};

// Looks at `name` before any work is done. False, with a message naming it and the reason, for a link that points
// nowhere, a folder part that is missing or not a folder, or a last part longer than the file system takes.
bool ResolveOutputTarget(const std::string& name, OutputTarget& target, std::string& error);

// `path` with symbolic links followed, also one that points to a file not made yet: the name a file written
// "through the link" gets. `path` itself when it is no link.
std::string FollowLinks(const std::string& path);

// True for an existing device, named pipe or socket (links followed): written directly, never under a temporary name.
bool IsWrittenInPlace(const std::string& path);

// The checks every output of an existing name goes through: never one of `inputs` (even with -y), never a folder
// when a file is meant, and an existing regular file only with `replace`. False, with a message.
bool CheckOutputReplacement(const OutputTarget& target, const std::vector<std::string>& inputs, bool replace,
                            std::string& error);

// The hidden temporary name beside `path` (a file or, for "frames/", the folder "frames"), ending in "XXXXXX" for
// mkstemp/mkdtemp. The final name is cut where needed so that the temporary one still fits the file system.
std::string TemporaryNameBeside(const std::string& path);

// True when `name` stands for descriptor `fd` (0 standard input, 1 standard output): "-", or the system's own
// names of it ("/dev/stdin", "/dev/stdout", "/dev/fd/N", "/proc/self/fd/N"), which mean the same everywhere.
bool NamesStandardStream(const std::string& name, int fd);

// `path` with every '%' doubled, so that a name handed to ffmpeg inside a frame-number pattern stays literal.
std::string EscapeFramePattern(const std::string& path);
