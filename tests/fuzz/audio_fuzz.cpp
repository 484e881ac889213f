// Fuzz target: any bytes as an audio file and as a pipe through the streaming audio loader and its frame window.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <thread>

#include "fuzz_support.h"
#include "waveform_source.h"

namespace {

// Frames read from one input at most: compressed formats can describe hours of sound in a few bytes.
constexpr std::int64_t kMaximumFrames = 1500;

void ReadAll(const std::string& path) {
  WaveformStream stream;
  std::string error;
  if (!OpenWaveformStream(path, 0, stream, error, 0.5)) {
    FuzzCheck(!error.empty(), "a refused input gave no message");
    return;
  }
  FuzzCheck(stream.decoder.rate >= kMinimumAudioRate && stream.decoder.rate <= kMaximumAudioRate,
            "a sample rate outside the limits was taken");
  FuzzCheck(stream.decoder.channels >= 1 && stream.decoder.channels <= kMaximumAudioChannels,
            "a channel count outside the limits was taken");
  unsigned char block[kWaveformBlockBytes];
  for (std::int64_t n = 0; n < kMaximumFrames; ++n) {
    const int r = NextWaveformBlock(stream, n, block, error);
    if (r < 0) FuzzCheck(!error.empty(), "a decoding failure gave no message");
    if (r <= 0) break;
    if (n % 8 == 0) ReadAheadWaveformStream(stream, stream.window.received + 4096, error);
  }
  CloseWaveformStream(stream);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const PluginFolder& folder = FreshFuzzSession();
  std::signal(SIGPIPE, SIG_IGN);
  if (size % 2 == 0) {
    const auto path = folder.root / "audio";
    WriteFileBytes(path, std::vector<std::uint8_t>(data, data + size));
    ReadAll(path.string());
    return 0;
  }
  // A pipe: no length, no seeking, and a writer that may be left with bytes nobody reads.
  int fds[2];
  FuzzCheck(::pipe(fds) == 0, "no pipe");
  std::thread writer([&] {
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::write(fds[1], data + done, size - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::close(fds[1]);
  });
  ReadAll("/dev/fd/" + std::to_string(fds[0]));
  ::close(fds[0]);
  writer.join();
  return 0;
}
