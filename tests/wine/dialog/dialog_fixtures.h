// Plug-in folders for the dialog cases: the DLL copy, "plugin.ini", the reference palette and bitmap files.
#pragma once
#include <string>
#include <utility>
#include <vector>

using IniEntries = std::vector<std::pair<std::string, std::string>>;

// Creates "<root>\<name>" with a "TavelDat" folder and a copy of the plug-in DLL; returns the folder's path.
std::string MakeCaseFolder(const std::string& root, const std::string& name, const std::string& dll);
// Writes "plugin.ini" with the module's section holding exactly these keys.
void WriteSettingsFile(const std::string& folder, const IniEntries& entries);
bool FileExists(const std::string& path);
long FileLength(const std::string& path);  // -1 when missing
// The value stored under `key` in the folder's "plugin.ini", or "<missing>".
std::string StoredSetting(const std::string& folder, const char* key);
// A 768-byte "TavelDat\refrence.pal" of smooth 6-bit ramps.
void WriteReferencePalette(const std::string& folder);
// An uncompressed bottom-up BMP of the given size and depth (8 with a 256-entry grey table, or 24).
void WriteBitmap(const std::string& path, int width, int height, int bitsPerPixel);
