// The sub-commands of `tavelmir`: render, fade and config, each with its options already parsed.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "look_options.h"

struct CommandStreams {
  std::ostream& out;
  std::ostream& err;
  bool terminal;  // stderr is a terminal: draw progress bars
};

struct RenderOptions {
  std::string audioPath;     // AUDIO, or empty with a waveform file
  std::string waveformPath;  // --waveform
  std::string outputPath;    // -o
  std::string dumpPath;      // --dump
  LookOptions look;
  std::int64_t maxFrames = 0;  // --frames; 0 = all
  double offsetMs = 0;
  int scale = 1;
  bool aspect43 = false;
};

// Each returns the process's exit status: 0 on success, 1 with a message on `err` otherwise.
int RunRender(const RenderOptions& options, CommandStreams& streams);
int RunFade(const std::string& pluginDir, CommandStreams& streams);
int RunConfig(const std::string& pluginDir, const std::vector<std::string>& assignments, CommandStreams& streams);

// The default plug-in folder: the data set that the native build prepares.
std::string DefaultPluginDir();
