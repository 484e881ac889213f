// What an "Ombrelo Tunnel" source is set to: read from its OBS settings, and the properties OBS shows for them,
// made from the data set's one table of keys.
#pragma once
#include <obs-module.h>

#include <filesystem>
#include <string>

#include "core/effect_settings.h"
#include "tunnel_picture.h"

// The size a source has until the user picks another.
constexpr int kDefaultSourceWidth = 1920;
constexpr int kDefaultSourceHeight = 1080;

struct SourceConfig {
  std::string audioSource;  // the name of the OBS source listened to; empty = the desktop audio
  TunnelLook look = TunnelLook::Hd;
  int width = kDefaultSourceWidth, height = kDefaultSourceHeight;
  bool followsCanvas = false;  // "canvas": width and height are the canvas's, and change with it
  EffectSettings settings;
  int palette = 0;  // the palette to start on, in the data set's order
};

// The settings' names beside the table's keys (which keep the names "plugin.ini" gives them).
constexpr const char kAudioSourceKey[] = "audio_source";
constexpr const char kLookKey[] = "look";
constexpr const char kSizeKey[] = "size";
constexpr const char kPaletteKey[] = "palette";
constexpr const char kCanvasSize[] = "canvas";

// "WxH" (each side 1 .. the map's limit), or "canvas" for the canvas's base size. False for anything else.
bool ParseSourceSize(const char* text, int& width, int& height);

SourceConfig ReadSourceConfig(obs_data_t* settings, const std::filesystem::path& dataFolder);
void SourceDefaults(obs_data_t* settings);
obs_properties_t* SourceProperties(const std::filesystem::path& dataFolder);
