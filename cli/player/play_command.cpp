// `tavelmir play`: a playlist through the audio output, the picture following the device's clock.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio_decoder.h"
#include "audio_playback.h"
#include "player_options.h"
#include "option_values.h"
#include "player_loop.h"
#include "waveform_source.h"

namespace {

constexpr int kPlaybackRate = 44100;
// Decoded sound kept ahead of the device: enough to ride out a slow frame, little enough to start at once.
constexpr std::int64_t kQueueAhead = kPlaybackRate / 4;
constexpr std::int64_t kDecodeChunk = 4096;

class PlayFeed : public FrameFeed {
 public:
  PlayFeed(const PlayerOptions& o, double offsetMs) : o_(o), offsetMs_(offsetMs) {}
  ~PlayFeed() override {
    CloseAudioPlayback(playback_);
    CloseAudioDecoder(decoder_);
    if (convert_) SDL_FreeAudioStream(convert_);
  }

  bool Open(std::string& error) {
    if (!OpenAudioPlayback(playback_, kPlaybackRate, history_, error)) return false;
    offsetSamples_ = OffsetSamples(offsetMs_, kPlaybackRate);
    return true;
  }

  bool Prepare(CommandStreams& streams) override {
    if (playback_.device == 0) Reopen(streams);
    while (!playlistDone_ && playback_.device != 0 && QueuedSamples(playback_) < kQueueAhead) Decode(streams);
    if (!playlistDone_ || playback_.device == 0 || QueuedSamples(playback_) > 0) return true;
    // Everything queued has been handed out: end once the last of it has been heard.
    return history_.PositionAt(std::chrono::steady_clock::now()) < PlayedSoundEnd(playback_);
  }

  const SampleHistory& Sound() const override { return history_; }

  void Fill(SteadyTime now, unsigned char block[kWaveformBlockBytes], FramePlacement& placement) override {
    placement.blockStart = history_.PositionAt(now) - offsetSamples_;
    placement.clock = history_.clock();
    placement.rate = kPlaybackRate;
    placement.latencyUs = static_cast<std::int64_t>(playback_.latencySamples) * 1000000 / kPlaybackRate;
    history_.Block(placement.blockStart, block);
  }

  // The playlist ran out without a single file that could be opened.
  bool PlayedNothing() const { return playlistDone_ && opened_ == 0; }

  void OnDeviceEvent(const SDL_AudioDeviceEvent& event, CommandStreams& streams) override {
    if (event.type != SDL_AUDIODEVICEREMOVED || event.iscapture || event.which != playback_.device) return;
    streams.err << "tavelmir: lost the audio output; waiting for it to come back\n";
    CloseAudioPlayback(playback_);
    nextAttempt_ = std::chrono::steady_clock::now();
  }

 private:
  void Reopen(CommandStreams& streams) {
    const SteadyTime now = std::chrono::steady_clock::now();
    if (now < nextAttempt_) return;
    nextAttempt_ = now + std::chrono::seconds(1);
    std::string error;
    if (OpenAudioPlayback(playback_, kPlaybackRate, history_, error))
      streams.err << "tavelmir: the audio output is back\n";
  }

  // Queues the next chunk of the playlist, opening the next file when one ends; a file that fails to decode
  // halfway is reported and left, and the playlist goes on.
  void Decode(CommandStreams& streams) {
    if (!decoder_.backend && !OpenNext(streams)) {
      playlistDone_ = true;
      return;
    }
    std::string error;
    const std::int64_t frames = ReadAudioFrames(decoder_, decoded_.data(), kDecodeChunk, error);
    for (const std::string& w : decoder_.warnings) streams.err << "tavelmir: warning: " << w << '\n';
    decoder_.warnings.clear();
    if (frames <= 0) {
      if (frames < 0) streams.err << "tavelmir: " << error << "; skipped the rest\n";
      CloseAudioDecoder(decoder_);
      // The converter's last samples, then on to the next file.
      SDL_AudioStreamFlush(convert_);
      Drain();
      SDL_FreeAudioStream(convert_);
      convert_ = nullptr;
      return;
    }
    // A mono file sounds on both sides; files of more channels give their first two.
    const int channels = decoder_.channels;
    for (std::int64_t i = 0; i < frames; ++i) {
      const double* in = decoded_.data() + i * channels;
      pcm_[2 * i] = ToPcm16(in[0]);
      pcm_[2 * i + 1] = ToPcm16(in[channels > 1 ? 1 : 0]);
    }
    SDL_AudioStreamPut(convert_, pcm_.data(), static_cast<int>(frames * 4));
    Drain();
  }

  static std::int16_t ToPcm16(double sample) {
    // NaN plays as silence; the range is clipped, as a sound card would.
    if (!(sample == sample)) return 0;
    return static_cast<std::int16_t>(std::clamp(std::floor(sample * 32768.0), -32768.0, 32767.0));
  }

  void Drain() {
    std::int16_t out[2 * 1024];
    int bytes;
    while ((bytes = SDL_AudioStreamGet(convert_, out, sizeof out)) > 0) QueueSamples(playback_, out, bytes / 4);
  }

  bool OpenNext(CommandStreams& streams) {
    while (next_ < o_.audioPaths.size()) {
      const std::string& path = o_.audioPaths[next_++];
      std::string error;
      if (!OpenAudioDecoder(path, decoder_, error)) {
        streams.err << "tavelmir: " << error << "; skipped\n";
        continue;
      }
      convert_ = SDL_NewAudioStream(AUDIO_S16SYS, 2, decoder_.rate, AUDIO_S16SYS, 2, kPlaybackRate);
      if (!convert_) {
        streams.err << "tavelmir: '" << path << "': " << SDL_GetError() << "; skipped\n";
        CloseAudioDecoder(decoder_);
        continue;
      }
      decoded_.resize(static_cast<std::size_t>(kDecodeChunk * decoder_.channels));
      streams.out << "playing " << next_ << "/" << o_.audioPaths.size() << ": " << path << '\n';
      ++opened_;
      return true;
    }
    return false;
  }

  const PlayerOptions& o_;
  const double offsetMs_;
  AudioPlayback playback_;
  SampleHistory history_;
  SDL_AudioStream* convert_ = nullptr;
  AudioDecoder decoder_;
  std::vector<double> decoded_;
  std::vector<std::int16_t> pcm_ = std::vector<std::int16_t>(2 * kDecodeChunk);
  std::size_t next_ = 0;
  bool playlistDone_ = false;
  int opened_ = 0;
  std::int64_t offsetSamples_ = 0;
  SteadyTime nextAttempt_{};
};

}  // namespace

int RunPlay(const PlayerOptions& o, CommandStreams& streams) {
  if (o.audioPaths.empty()) {
    streams.err << "tavelmir: play needs at least one AUDIO file\n";
    return 2;
  }
  double offsetMs = 0;
  std::string error;
  if (!o.offsetMs.empty() &&
      !ParseFiniteNumber(o.offsetMs, "--offset-ms", -kMaximumOffsetMs, kMaximumOffsetMs, offsetMs, error)) {
    streams.err << "tavelmir: " << error << "\n(see `tavelmir play --help`)\n";
    return 2;
  }
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO) != 0) {
    streams.err << "tavelmir: cannot start SDL: " << SDL_GetError() << '\n';
    return 1;
  }
  int status = 1;
  {
    PlayFeed feed(o, offsetMs);
    if (feed.Open(error)) {
      status = RunPlayerLoop(o, feed, streams);
      if (status == 0 && feed.PlayedNothing()) {
        streams.err << "tavelmir: none of the files could be played\n";
        status = 1;
      }
    } else
      streams.err << "tavelmir: " << error << '\n';
  }
  SDL_Quit();
  return status;
}
