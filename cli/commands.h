// The sub-commands of `tavelmir`: render, play, live, fade and config, each with its options already parsed.
#pragma once
#include <cstdint>
#include <filesystem>
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
  std::string audioPath;        // AUDIO ("-" for standard input), or empty with a waveform file
  std::string waveformPath;     // --waveform
  std::string outputPath;       // -o ("-" for Matroska on standard output)
  std::string dumpPath;         // --dump
  LookOptions look;             // --plugin-dir, --set, --palettes
  std::int64_t maxFrames = 0;   // --frames; 0 = all
  std::string offsetMs;         // --offset-ms, as written
  std::string start, duration;  // --start/-ss, --duration/-t, as written
  std::string end;              // --to/-to, as written: the time in the song where the part ends
  std::string size;             // --size WxH; empty = the default or --scale
  std::string fit = "contain";  // --fit
  std::string aspect = "4:3";   // --aspect
  int scale = 0;                // --scale (the picture filling the frame); 0 = not given
  bool aspect43 = false;        // --aspect43, with --scale
  int crf = -1;                 // --crf; -1 = the codec's default
  std::string preset;           // --preset
  bool replace = false;         // -y
  bool keep = false;            // -n
};

// `play` and `live`: the effect in a window, with the sound being played or captured.
struct PlayerOptions {
  std::vector<std::string> audioPaths;  // play: the playlist
  std::string source;                   // live: the capture source; empty = monitor of the default output
  bool listSources = false;             // live --list-sources
  LookOptions look;                     // --plugin-dir, --set, --palettes
  bool save = false;                    // keep the settings changed by keys and --set
  std::string offsetMs;                 // --offset-ms, as written
  bool smooth = false;
  bool fullscreen = false;
  int monitor = -1;
  std::string tracePath;     // --trace
  std::string scriptedKeys;  // --keys "FRAME:KEY ...", for tests and demonstrations
};

// Output size when none is asked for: a 4:3 picture people can watch.
constexpr int kDefaultOutputWidth = 960;
constexpr int kDefaultOutputHeight = 720;
// Largest shift of the picture against the sound.
constexpr double kMaximumOffsetMs = 5000;

// Each returns the process's exit status: 0 on success, 1 with a message on `err` when an input or output fails,
// 2 for a usage error.
int RunRender(const RenderOptions& options, CommandStreams& streams);
int RunFade(const std::string& pluginDir, CommandStreams& streams);
int RunPlay(const PlayerOptions& options, CommandStreams& streams);
int RunLive(const PlayerOptions& options, CommandStreams& streams);
// Writes the settings into `ini` through the plug-in's store, via a copy renamed over the file.
bool SaveSettingsFile(const std::filesystem::path& ini, const EffectSettings& settings, std::string& error);
int RunConfig(const std::string& pluginDir, const std::vector<std::string>& assignments, CommandStreams& streams);
// Lists the palettes that render, play and live would use (--palettes, --plugin-dir), by name.
int RunPalettes(const LookOptions& options, CommandStreams& streams);

// The default plug-in folder: the data set that the native build prepares.
std::string DefaultPluginDir();
