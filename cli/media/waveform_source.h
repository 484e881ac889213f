// Where each frame's waveform block comes from: audio (whole, or as a stream through a window) or a raw block file.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "audio_decoder.h"
#include "core/waveform_sample.h"

constexpr int kFramesPerSecond = 50;
constexpr std::int64_t kMicrosecondsPerFrame = 1000000 / kFramesPerSecond;
constexpr int kSamplesPerChannel = 576;
constexpr int kWaveformBlockBytes = 2 * kSamplesPerChannel;  // channel 0's samples, then channel 1's

// The whole audio, already reduced to the host's signed 8-bit samples; a mono file fills both channels.
struct AudioClip {
  int rate = 0;
  std::int64_t length = 0;  // samples per channel
  std::vector<std::int8_t> channel[2];
};

// Reads the whole file through the audio decoder. False, with a message naming the file, when it cannot be
// opened or decoded.
bool LoadAudioClip(const std::string& path, AudioClip& clip, std::string& error);

// Number of frames that cover the audio: every frame whose first sample lies inside it, the last one partial.
std::int64_t AudioFrameCount(std::int64_t length, int rate);

// First sample fed to frame n: floor(n * rate / 50), moved back by `offsetSamples` (positive = picture later).
std::int64_t FrameStartSample(std::int64_t frame, int rate, std::int64_t offsetSamples);

// The offset in samples for an offset in milliseconds, truncated toward zero.
std::int64_t OffsetSamples(double offsetMs, int rate);

// Fills `block` with the 576 samples of each channel that start at FrameStartSample; samples outside the audio
// are silence (0).
void FillWaveformBlock(const AudioClip& clip, std::int64_t frame, std::int64_t offsetSamples,
                       unsigned char block[kWaveformBlockBytes]);

// The last samples of a stream, reduced to 8 bits, from which the frames' blocks are cut as the audio arrives;
// memory stays the same however long the audio is.
struct WaveformWindow {
  int rate = 0;
  std::int64_t capacity = 0;         // samples per channel held
  std::vector<std::int8_t> ring[2];  // sample k at k % capacity
  std::int64_t received = 0;         // samples per channel appended so far
  bool ended = false;                // nothing more comes: samples from `received` on are silence
};

// Enough to cut each frame's block, asked in frame order, when at most `chunkFrames` samples arrive at once.
std::int64_t WaveformWindowCapacity(int rate, std::int64_t chunkFrames, std::int64_t offsetSamples);
void ResetWaveformWindow(WaveformWindow& window, int rate, std::int64_t capacity);
// Appends sample frames of `channels` interleaved channels (full scale -1 .. 1); a mono source fills both.
void AppendToWaveformWindow(WaveformWindow& window, const double* interleaved, std::int64_t frames, int channels);
// One past the last sample that frame n's block reads.
std::int64_t WaveformBlockEnd(std::int64_t frame, int rate, std::int64_t offsetSamples);
// Fills `block` exactly as FillWaveformBlock would from the whole audio. False, leaving `block` alone, while the
// window has not yet received what the block reads and the audio has not ended.
bool FillWaveformBlockFromWindow(const WaveformWindow& window, std::int64_t frame, std::int64_t offsetSamples,
                                 unsigned char block[kWaveformBlockBytes]);

// A decoder feeding a window: the blocks of frames 0, 1, 2, ... in order. Every decoded chunk is also handed,
// full precision and interleaved, to the optional `onSamples` (sample position of its first frame, samples,
// frames), which answers false to stop with its own error.
using AudioSamplesSink = std::function<bool(std::int64_t first, const double* interleaved, std::int64_t frames)>;
struct WaveformStream {
  AudioDecoder decoder;
  std::int64_t offsetSamples = 0;
  WaveformWindow window;
  std::vector<double> chunk;
  AudioSamplesSink onSamples;
};
// `offsetMs` as for OffsetSamples. The window also keeps `leadSeconds` of sound that ReadAheadWaveformStream may
// decode beyond what the frames need.
bool OpenWaveformStream(const std::string& path, double offsetMs, WaveformStream& stream, std::string& error,
                        double leadSeconds = 0);
// 1 = `block` filled for frame n; 0 = frame n starts after the end of the audio; -1 = decoding failed (message).
int NextWaveformBlock(WaveformStream& stream, std::int64_t frame, unsigned char block[kWaveformBlockBytes],
                      std::string& error);
// Decodes one more chunk, at most up to sample `end`, for a consumer of the sound that must stay ahead of the
// frames. 1 = decoded; 0 = `end` reached or the audio ended; -1 = decoding failed (message).
int ReadAheadWaveformStream(WaveformStream& stream, std::int64_t end, std::string& error);
// Decodes on to sample `end` (or the end of the audio), handing the samples to `onSamples`: the sound after the last
// frame's block. False, with a message, when decoding fails.
bool DrainWaveformStream(WaveformStream& stream, std::int64_t end, std::string& error);
void CloseWaveformStream(WaveformStream& stream);

// A file of 1152-byte blocks, one per frame, exactly as a host writes them into the module record; or a stream
// of them ("-" or "/dev/stdin" for standard input, a named pipe), read once to its end. Closed with the object.
struct WaveformFile {
  WaveformFile() = default;
  WaveformFile(const WaveformFile&) = delete;
  WaveformFile& operator=(const WaveformFile&) = delete;
  ~WaveformFile() {
    if (file) std::fclose(file);
  }

  std::FILE* file = nullptr;
  std::int64_t blocks = 0;  // INT64_MAX for a stream, whose length is known at its end
};
bool OpenWaveformFile(const std::string& path, WaveformFile& source, std::string& error);
// 1 = a block was read; 0 = the blocks ended; -1 = the input ended inside a block or could not be read.
int ReadWaveformBlock(WaveformFile& source, unsigned char block[kWaveformBlockBytes]);
void CloseWaveformFile(WaveformFile& source);
