// Shared by the fuzz targets: a byte reader over the fuzzer's input and one plug-in folder per process.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "support/plugin_folder_fixture.h"

// Reads the input front to back; once it is used up every read gives zeros, so a target never runs dry.
struct FuzzBytes {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
};
bool FuzzEmpty(const FuzzBytes& in);
std::uint8_t TakeByte(FuzzBytes& in);
std::uint16_t TakeU16(FuzzBytes& in);
std::uint32_t TakeU32(FuzzBytes& in);
// Up to `maxBytes` bytes (the count itself is taken from the input first).
std::vector<std::uint8_t> TakeBlock(FuzzBytes& in, std::size_t maxBytes);
// Everything not read yet.
std::vector<std::uint8_t> TakeRest(FuzzBytes& in);

// The process's plug-in folder, made on first use (under $TMPDIR, /dev/shm when there is one) and removed at
// exit. Each call resets the display device, makes a fresh state and locates the folder again, so every input
// starts from a library just loaded; files written by earlier inputs stay unless the target removes them.
const PluginFolder& FreshFuzzSession();

// Aborts with the message: an invariant broken is a finding, like a crash.
[[noreturn]] void FuzzFail(const char* what);
inline void FuzzCheck(bool condition, const char* what) {
  if (!condition) FuzzFail(what);
}
