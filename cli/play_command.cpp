// `tavelmir play`: a playlist through the audio output, the picture following the device's clock.
#include <SDL2/SDL.h>

#include <algorithm>
#include <vector>

#include "audio_playback.h"
#include "commands.h"
#include "player_loop.h"
#include "waveform_source.h"

namespace {

constexpr int kPlaybackRate = 44100;
// Decoded sound kept ahead of the device: enough to ride out a slow frame, little enough to start at once.
constexpr std::int64_t kQueueAhead = kPlaybackRate / 4;
constexpr std::int64_t kDecodeChunk = 4096;

class PlayFeed : public FrameFeed {
 public:
  PlayFeed(const PlayerOptions& o) : o_(o) {}
  ~PlayFeed() override {
    CloseAudioPlayback(playback_);
    if (convert_) SDL_FreeAudioStream(convert_);
  }

  bool Open(std::string& error) {
    if (!OpenAudioPlayback(playback_, kPlaybackRate, history_, error)) return false;
    offsetSamples_ = OffsetSamples(o_.offsetMs, kPlaybackRate);
    return true;
  }

  bool Prepare(CommandStreams& streams) override {
    if (playback_.device == 0) Reopen(streams);
    while (!playlistDone_ && playback_.device != 0 && QueuedSamples(playback_) < kQueueAhead) Decode(streams);
    if (!playlistDone_ || playback_.device == 0 || QueuedSamples(playback_) > 0) return true;
    // Everything queued has been handed out: end once the last of it has been heard.
    return history_.PositionAt(std::chrono::steady_clock::now()) < PlayedSoundEnd(playback_);
  }

  void Fill(SteadyTime now, unsigned char block[kWaveformBlockBytes], FramePlacement& placement) override {
    placement.blockStart = history_.PositionAt(now) - offsetSamples_;
    placement.clock = history_.clock();
    placement.rate = kPlaybackRate;
    placement.latencyUs = static_cast<std::int64_t>(playback_.latencySamples) * 1000000 / kPlaybackRate;
    history_.Block(placement.blockStart, block);
  }

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

  // Queues the next chunk of the playlist, opening the next file when one ends.
  void Decode(CommandStreams& streams) {
    if (position_ >= clip_.length) {
      if (convert_) {
        // The converter's last samples, then on to the next file.
        SDL_AudioStreamFlush(convert_);
        Drain();
        SDL_FreeAudioStream(convert_);
        convert_ = nullptr;
      }
      if (!OpenNext(streams)) {
        playlistDone_ = true;
        return;
      }
    }
    const std::int64_t count = std::min(kDecodeChunk, clip_.length - position_);
    pcm_.resize(static_cast<std::size_t>(2 * count));
    for (std::int64_t i = 0; i < count; ++i) {
      pcm_[2 * i] = static_cast<std::int16_t>(clip_.channel[0][position_ + i] * 256);
      pcm_[2 * i + 1] = static_cast<std::int16_t>(clip_.channel[1][position_ + i] * 256);
    }
    position_ += count;
    SDL_AudioStreamPut(convert_, pcm_.data(), static_cast<int>(count * 4));
    Drain();
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
      clip_ = {};
      position_ = 0;
      if (!LoadAudioClip(path, clip_, error)) {
        streams.err << "tavelmir: " << error << "; skipped\n";
        continue;
      }
      convert_ = SDL_NewAudioStream(AUDIO_S16SYS, 2, clip_.rate, AUDIO_S16SYS, 2, kPlaybackRate);
      if (!convert_) {
        streams.err << "tavelmir: '" << path << "': " << SDL_GetError() << "; skipped\n";
        continue;
      }
      streams.out << "playing " << next_ << "/" << o_.audioPaths.size() << ": " << path << '\n';
      return true;
    }
    return false;
  }

  const PlayerOptions& o_;
  AudioPlayback playback_;
  SampleHistory history_;
  SDL_AudioStream* convert_ = nullptr;
  AudioClip clip_;
  std::int64_t position_ = 0;
  std::size_t next_ = 0;
  bool playlistDone_ = false;
  std::int64_t offsetSamples_ = 0;
  std::vector<std::int16_t> pcm_;
  SteadyTime nextAttempt_{};
};

}  // namespace

int RunPlay(const PlayerOptions& o, CommandStreams& streams) {
  if (o.audioPaths.empty()) {
    streams.err << "tavelmir: play needs at least one AUDIO file\n";
    return 1;
  }
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO) != 0) {
    streams.err << "tavelmir: cannot start SDL: " << SDL_GetError() << '\n';
    return 1;
  }
  int status = 1;
  {
    PlayFeed feed(o);
    std::string error;
    if (feed.Open(error))
      status = RunPlayerLoop(o, feed, streams);
    else
      streams.err << "tavelmir: " << error << '\n';
  }
  SDL_Quit();
  return status;
}
