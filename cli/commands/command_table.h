// The command table of `tavelmir`: every command with its options, bound to the values they fill. The commands
// themselves are elsewhere; RunTavelmir parses with this table and dispatches.
#pragma once
#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "look_options.h"
#include "player_options.h"
#include "render_command.h"

// What a command line parses into, and the command it names.
struct CommandLine {
  RenderOptions render;
  PlayerOptions play, live;
  LookOptions paletteLook;
  std::string fadeDir, configDir;
  std::vector<std::string> assignments;  // config KEY=VALUE ...
  std::string helpTopic;                 // help COMMAND, for a name that is no command
  bool verbose = false;                  // --verbose: the media libraries' own messages
  CLI::App* renderCommand = nullptr;
  CLI::App* playCommand = nullptr;
  CLI::App* liveCommand = nullptr;
  CLI::App* palettesCommand = nullptr;
  CLI::App* fadeCommand = nullptr;
  CLI::App* configCommand = nullptr;
};

// Adds the commands and their options to `app`, bound to `line`, which must outlive it.
void BuildCommandTable(CLI::App& app, CommandLine& line);
