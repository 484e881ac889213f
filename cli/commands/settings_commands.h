// `tavelmir config` and `tavelmir fade`: the settings file and the fade table of a plug-in folder.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "command_streams.h"
#include "core/effect_settings.h"

// Shows the settings and derived parameters; KEY=VALUE assignments change and save them first. Exit status.
int RunConfig(const std::string& pluginDir, const std::vector<std::string>& assignments, CommandStreams& streams);
// Computes "TavelDat/fade.dat" of the folder from its reference palette and settings. Exit status.
int RunFade(const std::string& pluginDir, CommandStreams& streams);

// Writes the settings into `ini` (keeping its other sections and keys), whole or not at all.
bool SaveSettingsFile(const std::filesystem::path& ini, const EffectSettings& settings, std::string& error);
