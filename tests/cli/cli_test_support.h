// Helpers of the CLI tests: temporary folders, a copy of the default plug-in folder, runs of the command line.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

// A fresh empty folder under the system's temporary directory, removed by the destructor.
struct TempFolder {
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  fs::path path;
};

// Copies the default data set (palettes, reference palette, fade table) into `folder`.
void CopyDefaultPluginFolder(const fs::path& folder);

struct CliRun {
  int status;
  std::string out, err;
};
// Runs `tavelmir` in this process with these arguments (without the program name).
CliRun RunCli(const std::vector<std::string>& args);
// Runs the built `tavelmir` program as its own process; returns its exit status.
int RunCliProcess(const std::string& arguments);

// Deterministic waveform blocks: tones of changing pitch and loudness with some noise, `frames` blocks.
std::vector<std::uint8_t> MakeWaveformBlocks(int frames);

std::vector<std::uint8_t> ReadBytes(const fs::path& path);
void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes);
std::string ReadFileText(const fs::path& path);
void WriteFileText(const fs::path& path, const std::string& text);

// Writes an audio file through libsndfile; `format` is an SF_FORMAT_* combination; samples interleaved, as
// integers of the format's width (-32768 .. 32767 for 16 bits, -128 .. 127 for 8) or, for float formats, with
// full scale -1 .. 1. `tags`: SF_STR_* kinds and their text.
void WriteAudio(const fs::path& path, int format, int rate, int channels, const std::vector<double>& samples,
                const std::vector<std::pair<int, std::string>>& tags = {});

// Output of a shell command (stdout), for ffprobe.
std::string CommandOutput(const std::string& command);
