// The plug-in's folder in PluginPath, through which every file of the plug-in is named.
#pragma once
#include "host/vis_records.h"

// Fills PluginPath with the folder of the module's library file (ending in a backslash) and points
// PluginPathTail just past that backslash (at the start when the name has none).
void LocatePluginFolder(VisModule* module);

// Writes `relativeName` at PluginPathTail so that PluginPath names that file. Returns false, leaving only the
// folder in PluginPath, when folder and name together do not fit the 260 bytes; the caller must then treat the
// file as one that cannot be opened.
bool PlacePluginFileName(const char* relativeName);
