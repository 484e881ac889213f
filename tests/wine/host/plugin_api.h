// The host's own copy of the plug-in's exported records, written from their byte layout, and the loader.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

struct HostModule;

struct HostHeader {
  std::int32_t version;
  const char* description;
  HostModule* (*getModule)(int);
};

struct HostModule {
  const char* description;
  HWND parent;
  HINSTANCE instance;
  std::int32_t sampleRate;
  std::int32_t channels;
  std::int32_t latencyMs;
  std::int32_t delayMs;
  std::int32_t spectrumChannels;
  std::int32_t waveformChannels;
  unsigned char spectrumData[2][576];
  signed char waveformData[2][576];
  void (*Config)(HostModule*);
  int (*Init)(HostModule*);
  int (*Render)(HostModule*);
  void (*Quit)(HostModule*);
  void* userData;
};

static_assert(sizeof(HostHeader) == 12);
static_assert(offsetof(HostModule, latencyMs) == 20 && offsetof(HostModule, waveformChannels) == 32);
static_assert(offsetof(HostModule, spectrumData) == 36 && offsetof(HostModule, waveformData) == 1188);
static_assert(offsetof(HostModule, Config) == 2340 && offsetof(HostModule, Quit) == 2352);
static_assert(sizeof(HostModule) == 2360);

constexpr std::size_t kWaveBlockBytes = 2 * 576;
constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 200;
constexpr std::size_t kFramePixels = kScreenWidth * kScreenHeight;

struct LoadedPlugin {
  HMODULE library = nullptr;
  HostHeader* header = nullptr;
  HostModule* module = nullptr;  // module 0, with parent and instance filled in
};

// Loads "<folder>\vis_tavelmir.dll", asks for the header and module 0 and fills in instance and parent.
// Returns false (after logging why) when any of it fails.
bool LoadPlugin(const std::string& folder, HWND parent, LoadedPlugin* plugin);
void UnloadPlugin(LoadedPlugin* plugin);

// "/unix/path" -> "Z:\unix\path"; Windows paths pass unchanged.
std::string ToWindowsPath(const std::string& path);
