// Audio files and pipes read as a stream of samples: libsndfile for what it reads, FFmpeg's libraries for the rest.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Sample rates and channel counts outside these are refused at opening: encoders and players take nothing else.
constexpr int kMinimumAudioRate = 1000;
constexpr int kMaximumAudioRate = 768000;
constexpr int kMaximumAudioChannels = 64;

struct AudioDecoderBackend;

// Longest audio whose header length is taken at its word (samples per channel); a longer claim counts as unknown,
// so that no arithmetic on it can overflow.
constexpr std::int64_t kLongestClaimedLength = std::int64_t{1} << 40;

// Move-only; the destructor closes what is open.
struct AudioDecoder {
  AudioDecoder() = default;
  AudioDecoder(AudioDecoder&& other) noexcept { *this = std::move(other); }
  AudioDecoder& operator=(AudioDecoder&& other) noexcept;
  AudioDecoder(const AudioDecoder&) = delete;
  AudioDecoder& operator=(const AudioDecoder&) = delete;
  ~AudioDecoder();

  std::string path;                   // as given; "-" is standard input
  int rate = 0;                       // samples per second
  int channels = 0;                   // interleaved in every read: 1 or 2
  int sourceChannels = 0;             // in the file; more than 2 are mixed down to stereo as they are read
  std::int64_t claimedLength = -1;    // samples per channel the header announces, -1 unknown; never relied on
  std::string title, artist;          // from the file's tags; empty where it has none
  std::vector<std::string> warnings;  // damage skipped, readers changed: for the user, in words
  AudioDecoderBackend* backend = nullptr;
};

// Opens `path` ("-" for standard input). A regular file goes to libsndfile first, which keeps exact sample values
// of the formats it reads, and to FFmpeg when libsndfile refuses it; FLAC and MP3 files and chained or damaged Ogg
// files go to FFmpeg, which reads them whole past damage and lying lengths (FLAC samples come out the same from
// both). Pipes, terminals and other streams go to FFmpeg only, since a refused attempt would have consumed their
// bytes. The name is only ever opened as a file, never read as a protocol or URL. False, with a message naming
// the file and the reason.
bool OpenAudioDecoder(const std::string& path, AudioDecoder& decoder, std::string& error);

// Reads up to `frames` sample frames of `channels`, interleaved (surround mixed down with the engine's
// StereoDownmix, from the speakers the file names or FFmpeg's default layout for its channel count), full scale -1 .. 1
// (integer sources exactly s / 2^(bits-1); float sources as stored, which may be beyond 1 or NaN). Returns the frames
// read, 0 at the end of the audio, -1 with a message when decoding fails.
std::int64_t ReadAudioFrames(AudioDecoder& decoder, double* out, std::int64_t frames, std::string& error);

void CloseAudioDecoder(AudioDecoder& decoder);
