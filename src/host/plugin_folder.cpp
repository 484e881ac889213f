// The plug-in's folder (placeholder).
#include "host/plugin_folder.h"

void LocatePluginFolder(VisModule*) {}
bool PlacePluginFileName(const char*) { return false; }
