// `tavelmir play` and `live`: the effect in a window, with the sound being played or captured.
#pragma once
#include <string>
#include <vector>

#include "command_streams.h"
#include "look_options.h"

struct PlayerOptions {
  std::vector<std::string> audioPaths;  // play: the playlist
  std::string source;                   // live: the capture source; empty = monitor of the default output
  bool listSources = false;             // live --list-sources
  LookOptions look;                     // --plugin-dir, --set, --palettes
  bool save = false;                    // keep the settings changed by keys and --set
  std::string offsetMs;                 // --offset-ms, as written
  std::string scaling = "sharp";        // --scaling: the classic picture by whole pixels, or "smooth" (bilinear)
  bool fullscreen = false;
  int monitor = -1;
  std::string tracePath;     // --trace
  bool replace = false;      // -y: an existing trace file is replaced
  std::string scriptedKeys;  // --keys "FRAME:KEY ...", for tests and demonstrations
  std::string picture;       // --look (picture_look.h); empty = hd, or classic with --scaling smooth
};

// Each returns the process's exit status: 0 on success, 1 with a message on `err`, 2 for a usage error.
int RunPlay(const PlayerOptions& options, CommandStreams& streams);
int RunLive(const PlayerOptions& options, CommandStreams& streams);
