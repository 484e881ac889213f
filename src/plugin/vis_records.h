// The header and module records shared with the host, and the exported entry that hands them out.
#pragma once
#include <cstdint>

// The system's handles of a window and of a loaded module, as its headers declare them.
struct HWND__;
struct HINSTANCE__;
struct VisModule;

// Static, never changed at run time.
struct VisHeader {
  std::int32_t version;          // 0x101
  const char* description;       // "Tavelmir Visualization Library V1.01"
  VisModule* (*getModule)(int);  // module 0, null for every other index
};

// Static and shared with the host. The host fills parent, instance and (before every Render) the waveform;
// the plug-in never writes to it at run time.
struct VisModule {
  const char* description;             // "Ombrelo Tunnel": window title and INI section
  HWND__* parent;                      // owner of message boxes and the settings dialog; target of forwarded keys
  HINSTANCE__* instance;               // the plug-in's own module
  std::int32_t sampleRate;             // not read
  std::int32_t channels;               // not read
  std::int32_t latencyMs;              // 20
  std::int32_t delayMs;                // 20
  std::int32_t spectrumChannels;       // 0
  std::int32_t waveformChannels;       // 2
  unsigned char spectrumData[2][576];  // not read
  unsigned char waveformData[2][576];  // signed 8-bit samples, channel 0 first
  void (*Config)(VisModule*);
  int (*Init)(VisModule*);
  int (*Render)(VisModule*);
  void (*Quit)(VisModule*);
  void* userData;  // 0, not read
};

extern "C" VisHeader* winampVisGetHeader(void);

constexpr const char kLibraryDescription[] = "Tavelmir Visualization Library V1.01";
constexpr const char kModuleDescription[] = "Ombrelo Tunnel";
