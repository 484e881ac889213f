// Audio files to the host's 8-bit waveform blocks, and raw waveform block files.
#include "waveform_source.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

std::int8_t SampleToSigned8(double sample) {
  // libsndfile maps integer formats onto -1 .. 1 by dividing by 2^(bits-1), so floor(x * 128) is exactly the
  // integer sample shifted right arithmetically to 8 bits.
  if (sample != sample) return 0;  // NaN: silence
  double scaled = std::floor(sample * 128.0);
  if (scaled < -128.0) scaled = -128.0;
  if (scaled > 127.0) scaled = 127.0;
  return static_cast<std::int8_t>(scaled);
}

bool LoadAudioClip(const std::string& path, AudioClip& clip, std::string& error) {
  clip = {};
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error = "cannot read audio '" + path + "': it is a folder";
    return false;
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) {
    error = "cannot read audio '" + path + "': " + sf_strerror(nullptr);
    return false;
  }
  if (info.channels < 1 || info.samplerate < 1 || info.frames < 0) {
    sf_close(file);
    error = "cannot read audio '" + path + "': no samples";
    return false;
  }
  // Integer sources come out exactly as s / 2^(bits-1); float sources may exceed 1 and are clipped.
  sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
  clip.rate = info.samplerate;
  const int channels = info.channels;
  const std::size_t expected = static_cast<std::size_t>(info.frames);
  clip.channel[0].reserve(expected);
  clip.channel[1].reserve(expected);
  std::vector<double> chunk(static_cast<std::size_t>(4096) * static_cast<std::size_t>(channels));
  for (;;) {
    sf_count_t got = sf_readf_double(file, chunk.data(), 4096);
    if (got <= 0) break;
    for (sf_count_t i = 0; i < got; ++i) {
      const double* frame = &chunk[static_cast<std::size_t>(i) * static_cast<std::size_t>(channels)];
      clip.channel[0].push_back(SampleToSigned8(frame[0]));
      clip.channel[1].push_back(SampleToSigned8(channels > 1 ? frame[1] : frame[0]));
    }
  }
  const int status = sf_error(file);
  std::string decodeError = status ? sf_strerror(file) : "";
  sf_close(file);
  if (status) {
    error = "cannot decode audio '" + path + "': " + decodeError;
    return false;
  }
  clip.length = static_cast<std::int64_t>(clip.channel[0].size());
  if (clip.length == 0) {
    error = "cannot read audio '" + path + "': no samples";
    return false;
  }
  return true;
}

std::int64_t AudioFrameCount(std::int64_t length, int rate) {
  if (length <= 0 || rate <= 0) return 0;
  return (length * kFramesPerSecond + rate - 1) / rate;
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

bool OpenWaveformFile(const std::string& path, WaveformFile& source, std::string& error) {
  source = {};
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error = "cannot read waveform file '" + path + "': it is a folder";
    return false;
  }
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    error = "cannot read waveform file '" + path + "': " + ec.message();
    return false;
  }
  if (size == 0 || size % kWaveformBlockBytes != 0) {
    error = "waveform file '" + path + "' holds " + std::to_string(size) + " bytes, not a whole number of " +
            std::to_string(kWaveformBlockBytes) + "-byte blocks";
    return false;
  }
  source.file = std::fopen(path.c_str(), "rb");
  if (!source.file) {
    error = "cannot open waveform file '" + path + "'";
    return false;
  }
  source.blocks = static_cast<std::int64_t>(size / kWaveformBlockBytes);
  return true;
}

bool ReadWaveformBlock(WaveformFile& source, unsigned char block[kWaveformBlockBytes]) {
  return source.file && std::fread(block, 1, kWaveformBlockBytes, source.file) == kWaveformBlockBytes;
}

void CloseWaveformFile(WaveformFile& source) {
  if (source.file) std::fclose(source.file);
  source = {};
}
