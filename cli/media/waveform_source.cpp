// Audio files to the host's 8-bit waveform blocks, and raw waveform block files.
#include "waveform_source.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "output_target.h"

namespace {
constexpr std::int64_t kChunkFrames = 4096;
}  // namespace

bool LoadAudioClip(const std::string& path, AudioClip& clip, std::string& error) {
  clip = {};
  AudioDecoder decoder;
  if (!OpenAudioDecoder(path, decoder, error)) return false;
  clip.rate = decoder.rate;
  const int channels = decoder.channels;
  // Never reserved from the header's length: headers lie, and pipes have none.
  std::vector<double> chunk(static_cast<std::size_t>(kChunkFrames) * static_cast<std::size_t>(channels));
  for (;;) {
    const std::int64_t got = ReadAudioFrames(decoder, chunk.data(), kChunkFrames, error);
    if (got < 0) {
      CloseAudioDecoder(decoder);
      clip = {};
      return false;
    }
    if (got == 0) break;
    for (std::int64_t i = 0; i < got; ++i) {
      const double* frame = &chunk[static_cast<std::size_t>(i) * static_cast<std::size_t>(channels)];
      clip.channel[0].push_back(SampleToSigned8(frame[0]));
      clip.channel[1].push_back(SampleToSigned8(channels > 1 ? frame[1] : frame[0]));
    }
  }
  CloseAudioDecoder(decoder);
  clip.length = static_cast<std::int64_t>(clip.channel[0].size());
  if (clip.length == 0) {
    error = "cannot read audio '" + path + "': no samples";
    return false;
  }
  return true;
}

std::int64_t AudioFrameCount(std::int64_t length, int rate) {
  if (length <= 0 || rate <= 0) return 0;
  // In whole seconds and the rest, so that no length a header may claim overflows.
  const std::int64_t seconds = length / rate, rest = length % rate;
  if (seconds > INT64_MAX / (2 * kFramesPerSecond)) return INT64_MAX / 2;
  return seconds * kFramesPerSecond + (rest * kFramesPerSecond + rate - 1) / rate;
}

std::int64_t FrameStartSample(std::int64_t frame, int rate, std::int64_t offsetSamples) {
  return frame * rate / kFramesPerSecond - offsetSamples;
}

std::int64_t OffsetSamples(double offsetMs, int rate) {
  return static_cast<std::int64_t>(std::trunc(offsetMs * rate / 1000.0));
}

void FillWaveformBlock(const AudioClip& clip, std::int64_t frame, std::int64_t offsetSamples,
                       unsigned char block[kWaveformBlockBytes]) {
  const std::int64_t start = FrameStartSample(frame, clip.rate, offsetSamples);
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < kSamplesPerChannel; ++i) {
      const std::int64_t at = start + i;
      const std::int8_t s = (at >= 0 && at < clip.length) ? clip.channel[c][static_cast<std::size_t>(at)] : 0;
      block[c * kSamplesPerChannel + i] = static_cast<unsigned char>(s);
    }
  }
}

std::int64_t WaveformWindowCapacity(int rate, std::int64_t chunkFrames, std::int64_t offsetSamples) {
  // The block itself, one frame's advance, the chunk that may arrive past it and the shift of the picture.
  return kSamplesPerChannel + rate / kFramesPerSecond + 1 + chunkFrames + std::llabs(offsetSamples);
}

void ResetWaveformWindow(WaveformWindow& window, int rate, std::int64_t capacity) {
  window.rate = rate;
  window.capacity = capacity;
  for (auto& r : window.ring) r.assign(static_cast<std::size_t>(capacity), 0);
  window.received = 0;
  window.ended = false;
}

void AppendToWaveformWindow(WaveformWindow& window, const double* interleaved, std::int64_t frames, int channels) {
  for (std::int64_t i = 0; i < frames; ++i) {
    const double* frame = interleaved + i * channels;
    const auto at = static_cast<std::size_t>(window.received % window.capacity);
    window.ring[0][at] = SampleToSigned8(frame[0]);
    window.ring[1][at] = SampleToSigned8(channels > 1 ? frame[1] : frame[0]);
    ++window.received;
  }
}

std::int64_t WaveformBlockEnd(std::int64_t frame, int rate, std::int64_t offsetSamples) {
  return FrameStartSample(frame, rate, offsetSamples) + kSamplesPerChannel;
}

bool FillWaveformBlockFromWindow(const WaveformWindow& window, std::int64_t frame, std::int64_t offsetSamples,
                                 unsigned char block[kWaveformBlockBytes]) {
  const std::int64_t start = FrameStartSample(frame, window.rate, offsetSamples);
  if (!window.ended && window.received < start + kSamplesPerChannel) return false;
  const std::int64_t oldest = window.received - window.capacity;
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < kSamplesPerChannel; ++i) {
      const std::int64_t at = start + i;
      // Samples already gone from the window cannot occur for frames asked in order; silence keeps it defined.
      const bool held = at >= 0 && at < window.received && at >= oldest;
      const std::int8_t s = held ? window.ring[c][static_cast<std::size_t>(at % window.capacity)] : 0;
      block[c * kSamplesPerChannel + i] = static_cast<unsigned char>(s);
    }
  }
  return true;
}

bool OpenWaveformStream(const std::string& path, double offsetMs, WaveformStream& stream, std::string& error,
                        double leadSeconds) {
  CloseWaveformStream(stream);
  if (!OpenAudioDecoder(path, stream.decoder, error)) return false;
  const int rate = stream.decoder.rate;
  stream.offsetSamples = OffsetSamples(offsetMs, rate);
  stream.chunk.assign(static_cast<std::size_t>(kChunkFrames) * static_cast<std::size_t>(stream.decoder.channels), 0);
  const auto lead = static_cast<std::int64_t>(leadSeconds * rate);
  ResetWaveformWindow(stream.window, rate, WaveformWindowCapacity(rate, kChunkFrames, stream.offsetSamples) + lead);
  return true;
}

int NextWaveformBlock(WaveformStream& stream, std::int64_t frame, unsigned char block[kWaveformBlockBytes],
                      std::string& error) {
  WaveformWindow& w = stream.window;
  const std::int64_t offsetSamples = stream.offsetSamples;
  const std::int64_t first = FrameStartSample(frame, w.rate, 0);  // the frame exists while this is inside
  const std::int64_t needed = std::max(first + 1, WaveformBlockEnd(frame, w.rate, offsetSamples));
  // Decoding never runs further ahead than the window holds.
  for (int r = 1; r > 0;) {
    r = ReadAheadWaveformStream(stream, needed, error);
    if (r < 0) return -1;
  }
  if (first >= w.received) {
    if (w.received == 0 && frame == 0) {
      error = "cannot read audio '" + stream.decoder.path + "': no samples";
      return -1;
    }
    return 0;
  }
  FillWaveformBlockFromWindow(w, frame, offsetSamples, block);
  return 1;
}

int ReadAheadWaveformStream(WaveformStream& stream, std::int64_t end, std::string& error) {
  WaveformWindow& w = stream.window;
  if (w.ended || w.received >= end) return 0;
  const std::int64_t got =
      ReadAudioFrames(stream.decoder, stream.chunk.data(), std::min(kChunkFrames, end - w.received), error);
  if (got < 0) return -1;
  if (got == 0) {
    w.ended = true;
    return 0;
  }
  if (stream.onSamples && !stream.onSamples(w.received, stream.chunk.data(), got)) return -1;
  AppendToWaveformWindow(w, stream.chunk.data(), got, stream.decoder.channels);
  return 1;
}

bool DrainWaveformStream(WaveformStream& stream, std::int64_t end, std::string& error) {
  int r = 1;
  while (r > 0) r = ReadAheadWaveformStream(stream, end, error);
  return r == 0;
}

void CloseWaveformStream(WaveformStream& stream) {
  CloseAudioDecoder(stream.decoder);
  stream.chunk.clear();
  stream.window = {};
}

bool OpenWaveformFile(const std::string& path, WaveformFile& source, std::string& error) {
  CloseWaveformFile(source);
  if (NamesStandardStream(path, 0)) {
    // A copy of the descriptor, so that closing the source leaves standard input to the process.
    const int fd = ::dup(STDIN_FILENO);
    source.file = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
    if (!source.file && fd >= 0) ::close(fd);
    source.blocks = INT64_MAX;
    if (source.file) return true;
    error = "cannot read waveform blocks from standard input: " + std::string(std::strerror(errno));
    return false;
  }
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (std::filesystem::is_directory(status)) {
    error = "cannot read waveform file '" + path + "': it is a folder";
    return false;
  }
  const bool stream = std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
  const auto size = stream ? 0 : std::filesystem::file_size(path, ec);
  if (ec) {
    error = "cannot read waveform file '" + path + "': " + ec.message();
    return false;
  }
  if (!stream && (size == 0 || size % kWaveformBlockBytes != 0)) {
    error = "waveform file '" + path + "' holds " + std::to_string(size) + " bytes, not a whole number of " +
            std::to_string(kWaveformBlockBytes) + "-byte blocks";
    return false;
  }
  source.file = std::fopen(path.c_str(), "rb");
  if (!source.file) {
    error = "cannot open waveform file '" + path + "': " + std::strerror(errno);
    return false;
  }
  source.blocks = stream ? INT64_MAX : static_cast<std::int64_t>(size / kWaveformBlockBytes);
  return true;
}

int ReadWaveformBlock(WaveformFile& source, unsigned char block[kWaveformBlockBytes]) {
  if (!source.file) return -1;
  const std::size_t got = std::fread(block, 1, kWaveformBlockBytes, source.file);
  if (got == kWaveformBlockBytes) return 1;
  return got == 0 && !std::ferror(source.file) ? 0 : -1;
}

void CloseWaveformFile(WaveformFile& source) {
  if (source.file) std::fclose(source.file);
  source.file = nullptr;
  source.blocks = 0;
}
