// Temporary folders, the default data set, in-process and child-process runs, audio and waveform fixtures.
#include "cli_test_support.h"

#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "cli_app.h"

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  path = fs::temp_directory_path() / ("tavelmir-cli-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(path);
  fs::create_directories(path);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

void CopyDefaultPluginFolder(const fs::path& folder) {
  fs::create_directories(folder);
  fs::copy(TAVELMIR_DATA_PLUGIN_DIR, folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::remove(folder / "plugin.ini");  // the build folder may have been configured by hand
}

CliRun RunCli(const std::vector<std::string>& args) {
  std::vector<const char*> argv = {"tavelmir"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  CliRun run;
  run.status = RunTavelmir(static_cast<int>(argv.size()), argv.data(), out, err, false);
  run.out = out.str();
  run.err = err.str();
  return run;
}

int RunCliProcess(const std::string& arguments) {
  const std::string command = std::string("'") + TAVELMIR_CLI_BINARY + "' " + arguments + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::uint8_t> MakeWaveformBlocks(int frames) {
  std::vector<std::uint8_t> blocks(static_cast<std::size_t>(frames) * 1152);
  std::uint32_t noise = 12345;
  for (int n = 0; n < frames; ++n) {
    const double loud = 40 + 80 * (0.5 + 0.5 * std::sin(n * 0.21));
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < 576; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const double tone = std::sin((i + n * 37) * (0.02 + 0.01 * c + 0.002 * (n % 13)));
        const int v = static_cast<int>(loud * tone) + static_cast<int>((noise >> 24) % 17) - 8;
        blocks[static_cast<std::size_t>(n) * 1152 + c * 576 + i] =
            static_cast<std::uint8_t>(static_cast<std::int8_t>(std::max(-128, std::min(127, v))));
      }
  }
  return blocks;
}

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteAudio(const fs::path& path, int format, int rate, int channels, const std::vector<double>& samples,
                const std::vector<std::pair<int, std::string>>& tags) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) throw std::runtime_error(std::string("cannot write test audio: ") + sf_strerror(nullptr));
  // Float files keep values beyond full scale; integer files take the integers as they are.
  for (const auto& [kind, text] : tags) sf_set_string(file, kind, text.c_str());
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_FALSE);
  if ((format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT && (format & SF_FORMAT_SUBMASK) != SF_FORMAT_DOUBLE)
    sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
  sf_writef_double(file, samples.data(), static_cast<sf_count_t>(samples.size() / static_cast<std::size_t>(channels)));
  sf_close(file);
}

std::string CommandOutput(const std::string& command) {
  std::string text;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return text;
  std::array<char, 256> buffer{};
  while (std::fgets(buffer.data(), buffer.size(), pipe)) text += buffer.data();
  pclose(pipe);
  return text;
}

std::string ReadFileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}
