// Drives the plug-in as a host does: the module from winampVisGetHeader, Init, one Render per waveform block, Quit.
#pragma once
#include <cstdint>
#include <string>

#include "plugin/vis_records.h"
#include "settings/settings_types.h"

// The module file name that places the plug-in in `pluginDir` ("<dir with backslashes>\vis_tavelmir.dll"), made
// absolute. False, with a message, when the folder does not exist or its path does not fit the plug-in's
// 260-byte path buffer with room for the data files' names.
bool PluginModuleFileName(const std::string& pluginDir, std::string& moduleFileName, std::string& error);

// Puts the plug-in's state back to its state at load and locates the plug-in's folder; returns the module record.
// Used by every command that works on a plug-in folder.
VisModule* PreparePluginModule(const std::string& moduleFileName);

// PluginModuleFileName then PreparePluginModule: the module record with its folder located, or null with a message
// when the folder cannot serve as the plug-in's folder.
VisModule* OpenPluginFolder(const std::string& pluginDir, std::string& error);

// Every message box the plug-in showed since the last clear, one line each as "caption: text".
std::string RecordedMessageBoxLines();

struct PluginSession {
  VisModule* module = nullptr;
  bool running = false;
};

// Init. On failure the message boxes that Init showed are the error. With `settings`, Init starts from them
// instead of the plug-in's defaults (a folder without "plugin.ini" then leaves them as they are).
bool StartPlugin(const std::string& pluginDir, PluginSession& session, std::string& error,
                 const EffectSettings* settings = nullptr);
// Puts the block into the module record, calls Render and copies the picture it drew into `indices` (64000
// bytes, row-major, no padding) and DisplayPalette into `palette` (768 bytes of red, green, blue).
bool RenderPluginFrame(PluginSession& session, const unsigned char* block, std::uint8_t* indices, std::uint8_t* palette,
                       std::string& error);
// Quit, when Init succeeded.
void StopPlugin(PluginSession& session);
