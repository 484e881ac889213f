// `tavelmir play`: a playlist through the audio output, the picture following the device's clock, with pause,
// songs and seeking on the keys.
#include <SDL2/SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "audio_decoder.h"
#include "clock_text.h"
#include "audio_playback.h"
#include "file_chooser.h"
#include "player_options.h"
#include "option_values.h"
#include "output_target.h"
#include "picture_look.h"
#include "player_loop.h"
#include "player_window.h"
#include "pulse_capture.h"
#include "waveform_source.h"

namespace {

constexpr int kPlaybackRate = 44100;
// Decoded sound kept ahead of the device: enough to ride out the player being held for most of a second on a busy
// machine (the device would play silence into the song), little enough to decode at once. Seeking, songs and pause
// drop or hold the queue, so its depth delays nothing people do.
constexpr std::int64_t kQueueAhead = kPlaybackRate;
constexpr std::int64_t kDecodeChunk = 4096;
// How often the feeding thread looks at the queue when nobody wakes it.
constexpr auto kFeedPeriod = std::chrono::milliseconds(20);

// A song of the playlist as the screen names it.
struct Song {
  std::string name;    // "Title - Artist", the title alone, or the file's name
  double length = -1;  // seconds; -1 unknown
};

// From `segment` on, the queued sound is song `song` from sample `songSample` (at the playback rate): a song's
// start, or where a seek landed.
struct Segment {
  std::int64_t queued;  // queue position of its first sample
  int song;
  std::int64_t songSample;
};

class PlayFeed : public FrameFeed {
  // What the feeding thread says, kept until the frame loop's thread writes it out.
  struct Messages {
    std::ostringstream out, err;
  };

 public:
  // Without files (opened from the desktop's menu) the window invites some and stays open for more.
  PlayFeed(const PlayerOptions& o, double offsetMs) : offsetMs_(offsetMs), waitsForFiles_(o.audioPaths.empty()) {
    for (const std::string& path : o.audioPaths) Add(path);
    const std::string chooser = FileChooserProgram();
    invitation_ = chooser.empty() ? "Drop audio files on this window to play them"
                                  : "Drop audio files on this window, or press O to choose some";
  }
  ~PlayFeed() override {
    {
      std::lock_guard lock(mutex_);
      stopFeeding_ = true;
    }
    wake_.notify_all();
    if (feeder_.joinable()) feeder_.join();
    StopFileChooser(chooser_);
    CloseSong();
    CloseAudioPlayback(playback_);
  }

  void Open(CommandStreams& streams) {
    std::lock_guard lock(mutex_);
    // The sound server shows the stream under the first song's name (SDL names a stream only as it opens it).
    if (OpenNext(said_, 0))
      SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, songs_[static_cast<std::size_t>(current_)].name.c_str());
    else
      playlistDone_ = true;
    offsetSamples_ = OffsetSamples(offsetMs_, kPlaybackRate);
    // Without a sound output (no sound server yet) the window opens all the same, says so, and keeps trying.
    std::string error;
    if (OpenOutput(error))
      MarkWhereDecodingIs();
    else
      streams.err << "tavelmir: " << error << "; trying again\n";
    FlushMessages(streams);
  }

  bool Prepare(CommandStreams& streams) override {
    // The song starts once the first frame is on screen, not while the window is still opening (its first
    // presentation takes long).
    if (!feeder_.joinable() && framesPrepared_++ > 0) feeder_ = std::thread([this] { Feed(); });
    std::lock_guard lock(mutex_);
    std::vector<std::string> chosen;
    if (FileChooserClosed(chooser_, chosen)) Append(chosen);
    if (playback_.device == 0) Reopen();
    FlushMessages(streams);
    if (!playlistDone_ || playback_.device == 0 || QueuedSamples(playback_) > 0) return true;
    // Everything queued has been handed out: end once the last of it has been heard, unless the window waits for
    // files.
    return waitsForFiles_ || history_.PositionAt(std::chrono::steady_clock::now()) < PlayedSoundEnd(playback_);
  }

  // Files dropped on the window or chosen: they join the playlist, and play at once when it had run out.
  void AddFiles(const std::vector<std::string>& paths, CommandStreams& streams) override {
    std::lock_guard lock(mutex_);
    Append(paths);
    FlushMessages(streams);
  }

  // What is left to say once the frame loop has ended.
  void FinalMessages(CommandStreams& streams) {
    std::lock_guard lock(mutex_);
    FlushMessages(streams);
  }

  // What the feeding thread had to say (songs started, files skipped), in the order it was said.
  void FlushMessages(CommandStreams& streams) {
    streams.out << said_.out.str();
    streams.err << said_.err.str();
    said_.out.str({});
    said_.err.str({});
  }

  const char* Status(SteadyTime now) override {
    std::lock_guard lock(mutex_);
    if (playback_.device == 0) return missing_.c_str();
    if (!waitsForFiles_ || !playlistDone_ || QueuedSamples(playback_) > 0) return "";
    int song = -1;
    SongPositionAt(history_.PositionAt(now), song);
    return song < 0 || history_.PositionAt(now) >= PlayedSoundEnd(playback_) ? invitation_.c_str() : "";
  }

  const SampleHistory& Sound() const override { return history_; }

  void Fill(SteadyTime now, unsigned char block[kWaveformBlockBytes], FramePlacement& placement) override {
    std::lock_guard lock(mutex_);
    placement.blockStart = history_.PositionAt(now) - offsetSamples_;
    placement.clock = history_.clock();
    placement.rate = kPlaybackRate;
    placement.latencyUs = static_cast<std::int64_t>(playback_.latencySamples) * 1000000 / kPlaybackRate;
    int song = -1;
    placement.songSample = SongPositionAt(placement.blockStart, song);
    history_.Block(placement.blockStart, block);
  }

  // The playlist given ran out without a single file that could be opened.
  bool PlayedNothing() const {
    std::lock_guard lock(mutex_);
    return !waitsForFiles_ && playlistDone_ && opened_ == 0;
  }

  void OnDeviceEvent(const SDL_AudioDeviceEvent& event, CommandStreams& streams) override {
    std::lock_guard lock(mutex_);
    if (event.type != SDL_AUDIODEVICEREMOVED || event.iscapture || event.which != playback_.device) return;
    streams.err << "tavelmir: lost the audio output; waiting for it to come back\n";
    missing_ = "lost the audio output; waiting for it to come back";
    CloseAudioPlayback(playback_);
    nextAttempt_ = std::chrono::steady_clock::now();
  }

  std::string Transport(PlayerAction action, SteadyTime now, CommandStreams& streams) override {
    std::lock_guard lock(mutex_);
    const std::string done = MoveThroughPlaylist(action, now);
    FlushMessages(streams);
    wake_.notify_one();
    return done;
  }

  bool Paused() const override { return playback_.paused; }

  NowPlaying Playing(SteadyTime now) override {
    std::lock_guard lock(mutex_);
    NowPlaying playing;
    int song = -1;
    const std::int64_t at = SongPositionAt(history_.PositionAt(now), song);
    if (song < 0) return playing;
    playing.song = song;
    playing.songs = static_cast<int>(songs_.size());
    playing.name = songs_[static_cast<std::size_t>(song)].name.c_str();
    playing.position = static_cast<double>(at) / kPlaybackRate;
    playing.length = songs_[static_cast<std::size_t>(song)].length;
    return playing;
  }

  const char* HelpLines() const override { return kPlayHelpLines; }

 private:
  // The feeding thread: keeps a second of sound queued, whatever the frames cost. Beside the picture, so that a
  // frame held by a busy machine (or a slow window) does not hold the sound; above it in priority, as the
  // device's own thread is, where the system allows.
  void Feed() {
    SDL_SetThreadPriority(SDL_THREAD_PRIORITY_HIGH);
    std::unique_lock lock(mutex_);
    while (!stopFeeding_) {
      if (!playlistDone_ && playback_.device != 0 && QueuedSamples(playback_) < kQueueAhead) {
        Decode();
        // A chunk at a time, so that a frame asking for the sound waits for one chunk at most.
        lock.unlock();
        lock.lock();
        continue;
      }
      wake_.wait_for(lock, kFeedPeriod);
    }
  }

  void Append(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
      Add(path);
      said_.out << "added " << songs_.size() << ": " << path << '\n';
    }
    if (!paths.empty()) playlistDone_ = false;
    wake_.notify_one();
  }

  // The file chooser and the transport keys, under the lock.
  std::string MoveThroughPlaylist(PlayerAction action, SteadyTime now) {
    if (action == PlayerAction::OpenFiles) {
      if (chooser_.pid >= 0) return "the file chooser is open";
      std::string error;
      if (!StartFileChooser(chooser_, error)) return error;
      return "choose files to play";
    }
    if (action == PlayerAction::TogglePause) {
      PauseAudioPlayback(playback_, !playback_.paused);
      return playback_.paused ? "paused" : "playing on";
    }
    // The song and place heard now, which the keys move from.
    int song = -1;
    const std::int64_t at = SongPositionAt(history_.PositionAt(now), song);
    if (song < 0) return "nothing plays yet";
    const double seconds = static_cast<double>(at) / kPlaybackRate;
    if (const std::string refusal = OnceOnly(action, song, seconds); !refusal.empty()) return refusal;
    switch (action) {
      case PlayerAction::NextSong:
        if (static_cast<std::size_t>(song) + 1 >= songs_.size()) {
          // Past the last song the playlist is over.
          DropQueuedSamples(playback_);
          CloseSong();
          playlistDone_ = true;
          return "that was the last song";
        }
        return PlayFrom(song + 1, 0);
      case PlayerAction::PreviousSong:
        // As players do: a few seconds in, back to the start of this song; at its start, the song before.
        return PlayFrom(seconds > kRestartSeconds || song == 0 ? song : song - 1, 0);
      case PlayerAction::SeekToStart:
        return PlayFrom(song, 0);
      case PlayerAction::SeekForward:
        return PlayFrom(song, seconds + kSeekSeconds);
      case PlayerAction::SeekBackward:
        return PlayFrom(song, std::max(0.0, seconds - kSeekSeconds));
      default:
        return {};
    }
  }

  // Where stream position `position` lies in its song (samples at the playback rate), and which song; -1 and
  // song -1 before the first song is heard.
  std::int64_t SongPositionAt(std::int64_t position, int& song) {
    for (auto s = segments_.rbegin(); s != segments_.rend(); ++s) {
      const std::int64_t stream = StreamPositionOf(playback_, s->queued);
      if (stream >= 0 && stream <= position) {
        song = s->song;
        return s->songSample + (position - stream);
      }
    }
    song = -1;
    return -1;
  }

  // A song from a pipe or standard input was read as it came and cannot be read again: the keys that would
  // read it anew say so instead, and it plays on.
  std::string OnceOnly(PlayerAction action, int song, double seconds) const {
    const bool back = action == PlayerAction::PreviousSong && (seconds > kRestartSeconds || song == 0);
    const int again = action == PlayerAction::PreviousSong && !back ? song - 1 : song;
    const bool rereads = back || action == PlayerAction::SeekToStart || action == PlayerAction::SeekForward ||
                         action == PlayerAction::SeekBackward || again != song;
    const std::string& path = paths_[static_cast<std::size_t>(again)];
    struct stat st {};
    if (!rereads || (!NamesStandardStream(path, 0) && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))) return {};
    return "cannot seek in " + songs_[static_cast<std::size_t>(again)].name + ": a pipe is read once";
  }

  // Plays song `song` from `seconds` on: what is queued goes, the file is read up to there (a song that ends
  // before it moves on to the next).
  std::string PlayFrom(int song, double seconds) {
    DropQueuedSamples(playback_);
    CloseSong();
    playlistDone_ = false;
    next_ = static_cast<std::size_t>(song);
    if (!OpenNext(said_, seconds)) {
      playlistDone_ = true;
      return "cannot play " + songs_[static_cast<std::size_t>(song)].name;
    }
    return std::to_string(current_ + 1) + "/" + std::to_string(songs_.size()) + ": " +
           songs_[static_cast<std::size_t>(current_)].name + " at " + ClockText(WholeSecondsAsCentiseconds(seconds));
  }

  void Reopen() {
    const SteadyTime now = std::chrono::steady_clock::now();
    if (now < nextAttempt_) return;
    // Each failed try may make the sound libraries write lines of their own: the longer the wait, the fewer.
    nextAttempt_ = now + retryDelay_;
    retryDelay_ = std::min(2 * retryDelay_, kLongestRetry);
    std::string error;
    if (!OpenOutput(error)) return;
    retryDelay_ = std::chrono::seconds(1);
    said_.err << "tavelmir: the audio output is back\n";
    MarkWhereDecodingIs();
    wake_.notify_one();
  }

  // The audio output; SDL picks its driver again after a failure, so that a sound server that starts later is
  // found. What is missing stays on screen until it works.
  bool OpenOutput(std::string& error) {
    if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
      error = std::string("no sound output: ") + SDL_GetError();
    else if (OpenAudioPlayback(playback_, kPlaybackRate, history_, error))
      return true;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    // Without a sound server SDL falls back to the sound card and tells why that failed; the server is what a
    // desktop is missing then (unless SDL was told to use another driver).
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const std::string asked = driver ? driver : "";
    if (asked.empty() || asked == "pulseaudio" || asked == "pipewire")
      if (const std::string server = SoundServerProblem(); !server.empty()) error = server;
    missing_ = WrapForScreen(error + "; trying again");
    if (waitsForFiles_) missing_ = invitation_ + "\n" + missing_;
    return false;
  }

  // A new device counts from zero: the sound queued from now on continues the song where decoding is.
  void MarkWhereDecodingIs() {
    segments_.clear();
    if (decoder_.backend) segments_.push_back({MarkNextQueued(playback_), current_, songQueued_});
  }

  // Queues the next chunk of the playlist, opening the next file when one ends; a file that fails to decode
  // halfway is reported and left, and the playlist goes on.
  void Decode() {
    Messages& streams = said_;
    if (!decoder_.backend && !OpenNext(said_, 0)) {
      playlistDone_ = true;
      return;
    }
    std::string error;
    const std::int64_t frames = ReadAudioFrames(decoder_, decoded_.data(), kDecodeChunk, error);
    for (const std::string& w : decoder_.warnings) streams.err << "tavelmir: warning: " << w << '\n';
    decoder_.warnings.clear();
    if (frames <= 0) {
      if (frames < 0) streams.err << "tavelmir: " << error << "; skipped the rest\n";
      // The converter's last samples, then on to the next file.
      SDL_AudioStreamFlush(convert_);
      Drain();
      CloseSong();
      return;
    }
    // A mono file sounds on both sides; surround comes mixed down to stereo from the decoder.
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
    while ((bytes = SDL_AudioStreamGet(convert_, out, sizeof out)) > 0) {
      QueueSamples(playback_, out, bytes / 4);
      songQueued_ += bytes / 4;
    }
  }

  void Add(const std::string& path) {
    paths_.push_back(path);
    songs_.push_back({std::filesystem::path(path).filename().string(), -1});
  }

  void CloseSong() {
    CloseAudioDecoder(decoder_);
    if (convert_) SDL_FreeAudioStream(convert_);
    convert_ = nullptr;
  }

  // Opens the playlist's next file that opens, read up to `seconds` into it.
  bool OpenNext(Messages& streams, double seconds) {
    while (next_ < paths_.size()) {
      const std::size_t index = next_++;
      const std::string& path = paths_[index];
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
      Song& song = songs_[index];
      if (!decoder_.title.empty())
        song.name = decoder_.artist.empty() ? decoder_.title : decoder_.title + " - " + decoder_.artist;
      song.length = decoder_.claimedLength > 0 ? static_cast<double>(decoder_.claimedLength) / decoder_.rate : -1;
      current_ = static_cast<int>(index);
      // The samples before the asked time are read and left: exact to the sample, whatever the format.
      const auto skip = static_cast<std::int64_t>(seconds * decoder_.rate);
      for (std::int64_t skipped = 0; skipped < skip;) {
        const std::int64_t got =
            ReadAudioFrames(decoder_, decoded_.data(), std::min(kDecodeChunk, skip - skipped), error);
        if (got <= 0) break;
        skipped += got;
      }
      songQueued_ = static_cast<std::int64_t>(seconds * kPlaybackRate);
      segments_.push_back({MarkNextQueued(playback_), current_, songQueued_});
      if (segments_.size() > kKeptSegments) segments_.erase(segments_.begin());
      if (seconds == 0) streams.out << "playing " << index + 1 << "/" << paths_.size() << ": " << path << '\n';
      ++opened_;
      return true;
    }
    return false;
  }

  // Back to the start of the song rather than to the song before after this long.
  static constexpr double kRestartSeconds = 3;
  static constexpr std::size_t kKeptSegments = 8;
  static constexpr std::chrono::seconds kLongestRetry{8};

  // Everything below is shared with the feeding thread, under `mutex_`.
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::thread feeder_;
  bool stopFeeding_ = false;
  int framesPrepared_ = 0;  // the frame loop's own, before the feeding thread starts
  Messages said_;           // until the frame loop passes them on
  const double offsetMs_;
  const bool waitsForFiles_;
  std::string invitation_;
  std::string missing_;  // while there is no sound output: why, for the screen
  FileChooser chooser_;
  std::vector<std::string> paths_;
  AudioPlayback playback_;
  SampleHistory history_;
  SDL_AudioStream* convert_ = nullptr;
  AudioDecoder decoder_;
  std::vector<double> decoded_;
  std::vector<std::int16_t> pcm_ = std::vector<std::int16_t>(2 * kDecodeChunk);
  std::vector<Song> songs_;
  std::vector<Segment> segments_;
  std::size_t next_ = 0;
  int current_ = -1;             // the song being read
  std::int64_t songQueued_ = 0;  // its sample (playback rate) that the next queued sample is
  bool playlistDone_ = false;
  int opened_ = 0;
  std::int64_t offsetSamples_ = 0;
  SteadyTime nextAttempt_{};
  std::chrono::seconds retryDelay_{1};
};

}  // namespace

int RunPlay(const PlayerOptions& o, CommandStreams& streams) {
  const auto fromInput = std::count_if(o.audioPaths.begin(), o.audioPaths.end(),
                                       [](const std::string& p) { return NamesStandardStream(p, 0); });
  if (fromInput > 1 || (fromInput == 1 && ::isatty(STDIN_FILENO))) {
    streams.err << "tavelmir: "
                << (fromInput > 1 ? "standard input holds one song: name it (-) once"
                                  : "standard input is a terminal here: pipe the song into it (< song.mp3)")
                << "\n(see `tavelmir play --help`)\n";
    return 2;
  }
  double offsetMs = 0;
  std::string error;
  if (!o.offsetMs.empty() &&
      !ParseFiniteNumber(o.offsetMs, "--offset-ms", -kMaximumOffsetMs, kMaximumOffsetMs, offsetMs, error)) {
    streams.err << "tavelmir: " << error << "\n(see `tavelmir play --help`)\n";
    return 2;
  }
  // SDL stops with the object, after the feed and the window it holds.
  struct SdlSession {
    bool started = false;
    ~SdlSession() {
      if (started) SDL_Quit();
    }
  } sdl;
  // With the trace on standard output, the songs' names go with the other messages.
  CommandStreams feedStreams{NamesStandardStream(o.tracePath, 1) ? streams.err : streams.out, streams.err,
                             streams.terminal};
  PlayFeed feed(o, offsetMs);
  const int status = RunPlayerLoop(o, feed, feedStreams, [&](std::string& failure) {
    // The sound server lists the player under this name (SDL tells it when its audio starts).
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "tavelmir");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
      failure = std::string("cannot start SDL: ") + SDL_GetError();
      return false;
    }
    sdl.started = true;
    feed.Open(feedStreams);
    return true;
  });
  feed.FinalMessages(feedStreams);
  if (status == 0 && feed.PlayedNothing()) {
    streams.err << "tavelmir: none of the files could be played\n";
    return 1;
  }
  return status;
}
