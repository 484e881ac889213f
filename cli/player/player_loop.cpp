// One engine frame per 20 ms, the finished frame shown at once, with the waveform the sound device is playing then.
#include "player_loop.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "clock_text.h"
#include "data/palette_names.h"
#include "effect_session.h"
#include "frame_image.h"
#include "interruption.h"
#include "look_options.h"
#include "player_keys.h"
#include "player_window.h"
#include "scripted_keys.h"
#include "settings_commands.h"

namespace {

constexpr auto kFramePeriod = std::chrono::microseconds(1000000 / kFramesPerSecond);
// A note about a key's change stays on screen this long.
constexpr auto kNoteTime = std::chrono::seconds(2);

// Which palette the animation is in, by number and name, for the note after a palette key.
std::string PaletteNote(const EffectSession& session, const std::vector<NamedPalette>& palettes) {
  const int count = std::max(session.engine.PaletteCount(), 1);
  const int current = CurrentPalette(session);
  std::string note = "palette " + std::to_string(current) + " of " + std::to_string(count);
  if (static_cast<std::size_t>(count) == palettes.size())
    note += ": " + palettes[static_cast<std::size_t>(current - 1)].name;
  return note;
}

// The help: the song heard now, where it is and how long it is, above the keys.
const char* HelpWithSong(const NowPlaying& playing, const char* keys, char (&out)[512]) {
  if (playing.song < 0) return keys;
  char position[kClockTextBytes], length[kClockTextBytes];
  std::snprintf(out, sizeof out, "%d/%d  %s  %s / %s\n%s", playing.song + 1, playing.songs, playing.name,
                FormatClock(WholeSecondsAsCentiseconds(playing.position), false, position),
                FormatClock(WholeSecondsAsCentiseconds(playing.length), false, length), keys);
  return out;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The loop's resources (trace, window, effect) and its state between frames; each closes with the object.
class PlayerLoop {
 public:
  PlayerLoop(const PlayerOptions& options, FrameFeed& feed, CommandStreams& streams)
      : o_(options), feed_(feed), streams_(streams) {}

  // Every check and file the loop needs before a device opens, in the order a user would fix them. 0 = go on,
  // else the exit status (message written): 2 for usage errors.
  int Check() {
    std::string error;
    if (!ParseScriptedKeys(o_.scriptedKeys, script_, error)) return Fail(error, 2);
    if (o_.replace && o_.tracePath.empty())
      return Usage("-y replaces an existing --trace file, and there is no --trace");
    PictureLook picture = PictureLook::Classic;
    if (!PlayerPictureLook(o_, picture, error)) return Usage(error);
    if (!ResolveLook(o_.look, resolved_, error) || !ListNamedPalettes(resolved_.palettesDir, palettes_, error))
      return Fail(error, 1);
    int paletteIndex = 0;
    if (!o_.look.palette.empty() &&
        (paletteIndex = FindPaletteIndex(palettes_, o_.look.palette, resolved_.palettesDir, error)) < 0)
      return Usage(error);
    origin_ = std::chrono::steady_clock::now();
    if (!o_.tracePath.empty() && !OpenPlayerTrace(o_.tracePath, o_.audioPaths, o_.replace, origin_, trace_, error))
      return Fail(error, 1);
    if (!StartEffect(resolved_, session_, error)) return Fail(error, 1);
    for (const std::string& w : resolved_.warnings) streams_.err << "tavelmir: warning: " << w << '\n';
    session_.engine.SkipPalettes(paletteIndex);
    look_ = {resolved_.settings, session_.engine.PaletteCount(), 0};
    return 0;
  }

  // The window, once the sound is there. 0 = go on, else the exit status (message written).
  int Open() {
    std::string error;
    PictureLook picture = PictureLook::Classic;
    PlayerPictureLook(o_, picture, error);
    if (!OpenPlayerWindow({o_.scaling == "smooth", o_.fullscreen, o_.monitor, picture}, window_, error))
      return Fail(error, 1);
    return 0;
  }

  // Until Escape, Q, the window's close or the end of the sound.
  void Run() {
    cpuAtStart_ = CpuSeconds();
    due_ = std::chrono::steady_clock::now();
    for (;; ++frame_) {
      while (nextScripted_ < script_.size() && script_[nextScripted_].frame <= frame_)
        PushKey(script_[nextScripted_++]);
      // A signal, a trace that cannot be written, the window's close or the end of the sound end the loop.
      if (Interrupted() || TraceFailed(trace_) || !HandleEvents() || !feed_.Prepare(streams_)) break;
      StepFrame();
      KeepTime();
    }
  }

  // The closing summary in the trace, and the settings saved with --save. The exit status.
  int Finish() {
    TraceSummary();
    std::string error;
    if (!ClosePlayerTrace(trace_, error)) return Fail(error, 1);
    if (Interrupted()) {
      streams_.err << "tavelmir: interrupted by " << InterruptionName()
                   << (o_.save ? "; the settings were not saved" : "") << '\n';
      return InterruptionExitStatus();
    }
    if (!o_.save) return 0;
    if (resolved_.settingsFile.empty())
      return Fail("cannot tell where to keep the settings: neither XDG_CONFIG_HOME nor HOME names a folder", 1);
    if (!SaveSettingsFile(resolved_.settingsFile, look_.settings, error)) return Fail(error, 1);
    streams_.out << "saved " << resolved_.settingsFile << '\n';
    return 0;
  }

 private:
  int Fail(const std::string& message, int status) {
    streams_.err << "tavelmir: " << message << '\n';
    return status;
  }

  int Usage(const std::string& message) {
    return Fail(message + "\n(see `tavelmir " + (IsPlay() ? "play" : "live") + " --help`)", 2);
  }

  bool IsPlay() const { return feed_.HelpLines() == kPlayHelpLines; }

  void Note(const std::string& text, const SDL_Keysym& key) {
    note_ = text;
    noteUntil_ = std::chrono::steady_clock::now() + kNoteTime;
    TraceNote(trace_, frame_, "key " + KeyName(key) + ": " + note_);
  }

  // The window's events and the keys. False to stop.
  bool HandleEvents() {
    SDL_Event event;
    bool running = true;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT) running = false;
      if (event.type == SDL_AUDIODEVICEADDED || event.type == SDL_AUDIODEVICEREMOVED)
        feed_.OnDeviceEvent(event.adevice, streams_);
      if (event.type == SDL_DROPFILE) Dropped(event.drop.file);
      if (event.type == SDL_DROPTEXT) SDL_free(event.drop.file);  // text is no file to play
      if (event.type == SDL_KEYDOWN && !HandleKey(event.key.keysym)) running = false;
    }
    return running;
  }

  // A file dropped on the window joins the playlist.
  void Dropped(char* path) {
    feed_.AddFiles({path}, streams_);
    TraceNote(trace_, frame_, std::string("dropped ") + path);
    SDL_free(path);
  }

  // One key press. False for the key that quits.
  bool HandleKey(const SDL_Keysym& key) {
    const KeyAction action = ActionForKey(key.sym, key.mod);
    switch (action.action) {
      case PlayerAction::None:
        return true;
      case PlayerAction::Quit:
        return false;
      case PlayerAction::ToggleFullscreen:
        TogglePlayerFullscreen(window_);
        return true;
      case PlayerAction::ToggleHelp:
        help_ = !help_;
        return true;
      case PlayerAction::TogglePicture:
        Note(TogglePlayerPicture(window_), key);
        return true;
      default:
        break;
    }
    if (IsTransportAction(action.action)) {
      const std::string done = feed_.Transport(action.action, std::chrono::steady_clock::now(), streams_);
      if (done.empty())
        note_.clear();
      else
        Note(done, key);
      return true;
    }
    int paletteStep = 0;
    std::string done = ApplyLookAction(action, look_, paletteStep);
    if (paletteStep != 0) {
      session_.engine.SkipPalettes(paletteStep);
      done = PaletteNote(session_, palettes_);
    }
    session_.engine.ApplySettings(look_.settings);
    Note(done, key);
    return true;
  }

  // The window's title and the trace's note when another song is heard.
  void FollowSong(const NowPlaying& playing) {
    if (playing.song < 0 || playing.song == titledSong_) return;
    titledSong_ = playing.song;
    SDL_SetWindowTitle(window_.window, (std::string(playing.name) + " - Ombrelo Tunnel").c_str());
    TraceNote(trace_, frame_,
              "song " + std::to_string(playing.song + 1) + "/" + std::to_string(playing.songs) + ": " + playing.name);
  }

  // The line over the picture: the help, a key's note, paused, or the feed's status.
  const char* Overlay(SteadyTime start, const NowPlaying& playing, bool paused) {
    const char* statusLine = feed_.Status(start);
    if (statusLine != shownStatus_) {
      TraceNote(trace_, frame_, std::string("status: ") + (statusLine[0] ? statusLine : "(none)"));
      shownStatus_ = statusLine;
    }
    if (help_) return HelpWithSong(playing, feed_.HelpLines(), helpText_);
    if (!note_.empty() && start < noteUntil_) return note_.c_str();
    if (paused) return "paused: Space plays on";
    return statusLine;
  }

  // One frame: the waveform of the sound heard now, drawn and shown, and its line in the trace.
  void StepFrame() {
    const SteadyTime start = std::chrono::steady_clock::now();
    const NowPlaying playing = feed_.Playing(start);
    FollowSong(playing);
    // Paused, the last frame stays on screen (with the help or a note over it) and nothing is drawn anew.
    const bool paused = feed_.Paused();
    FramePlacement placement;
    if (!paused) {
      feed_.Fill(start, block_.data(), placement);
      DrawEffectFrame(session_, block_.data(), indices_.data(), palette_.data());
    }
    const SteadyTime rendered = std::chrono::steady_clock::now();
    PresentFrame(window_, session_.engine, indices_.data(), palette_.data(), Overlay(start, playing, paused));
    const SteadyTime shown = std::chrono::steady_clock::now();
    const double renderUs = std::chrono::duration<double, std::micro>(rendered - start).count();
    const double presentUs = std::chrono::duration<double, std::micro>(shown - rendered).count();
    if (!paused) {
      renderTotalUs_ += renderUs;
      presentTotalUs_ += presentUs;
      TraceFrame(trace_, frame_, shown, placement, block_.data(), {renderUs, presentUs, HeldUs()});
    }
    if (!trace_.file) return;
    int count = 0;
    clockPointsTraced_ = feed_.Sound().ClockPointsSince(clockPointsTraced_, clockPoints_, count);
    for (int i = 0; i < count; ++i) TraceClock(trace_, clockPoints_[i]);
  }

  // Keep to the 20 ms grid; after a stall (a busy machine, a dragged window) start a new grid rather than rushing
  // through the missed frames.
  void KeepTime() {
    due_ += kFramePeriod;
    const SteadyTime now = std::chrono::steady_clock::now();
    if (now > due_ + 3 * kFramePeriod) due_ = now;
    sleptUs_ += std::max<std::int64_t>(std::chrono::duration_cast<std::chrono::microseconds>(due_ - now).count(), 0);
    std::this_thread::sleep_until(due_);
  }

  // How long this thread was held since the last call: neither on a processor (the scheduler's own count) nor
  // asleep until its next frame was due, so waiting for a processor, the disk or a lock. -1 where the system does
  // not say. Read only for the trace.
  std::int64_t HeldUs() {
    if (schedStat_ < 0) schedStat_ = ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    char text[96];
    const ssize_t got = schedStat_ >= 0 ? ::pread(schedStat_, text, sizeof text - 1, 0) : -1;
    if (got <= 0) return -1;
    text[got] = '\0';
    // "time on a processor, time waiting for one, time slices", in nanoseconds.
    const auto running = static_cast<std::int64_t>(std::strtoull(text, nullptr, 10) / 1000);
    const SteadyTime now = std::chrono::steady_clock::now();
    const std::int64_t wall = std::chrono::duration_cast<std::chrono::microseconds>(now - heldCountedAt_).count();
    const std::int64_t held = wall - (running - runningBefore_) - sleptUs_;
    heldCountedAt_ = now;
    runningBefore_ = running;
    sleptUs_ = 0;
    return std::max<std::int64_t>(held, 0);
  }

  void TraceSummary() {
    if (!trace_.file || frame_ <= 0) return;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - origin_).count();
    const double cpu = CpuSeconds() - cpuAtStart_;
    const double frames = static_cast<double>(frame_);
    char summary[200];
    std::snprintf(summary, sizeof summary,
                  "end: %lld frames in %.2f s; process CPU %.2f s (%.1f %% of one core); a frame's Render %.0f us "
                  "and presentation %.0f us of wall time (%.1f %% of 20 ms)",
                  static_cast<long long>(frame_), wall, cpu, 100 * cpu / wall, renderTotalUs_ / frames,
                  presentTotalUs_ / frames, (renderTotalUs_ + presentTotalUs_) / frames / 200.0);
    TraceNote(trace_, frame_, summary);
  }

  const PlayerOptions& o_;
  FrameFeed& feed_;
  CommandStreams& streams_;
  std::vector<ScriptedKey> script_;
  std::size_t nextScripted_ = 0;
  SteadyTime origin_{}, due_{};
  PlayerTrace trace_;
  PlayerWindow window_;
  Look resolved_;
  EffectSession session_;
  std::vector<NamedPalette> palettes_;
  LiveLook look_;
  std::vector<unsigned char> block_ = std::vector<unsigned char>(kWaveformBlockBytes);
  std::vector<std::uint8_t> indices_ = std::vector<std::uint8_t>(kScreenPixels);
  std::vector<std::uint8_t> palette_ = std::vector<std::uint8_t>(kPaletteBytes);
  std::string note_;
  SteadyTime noteUntil_{};
  char helpText_[512] = {};
  int titledSong_ = -1;
  const char* shownStatus_ = "";
  bool help_ = false;
  double renderTotalUs_ = 0, presentTotalUs_ = 0, cpuAtStart_ = 0;
  std::uint64_t clockPointsTraced_ = 0;
  AudioClockPoint clockPoints_[SampleHistory::kKeptClockPoints];
  std::int64_t frame_ = 0;
  // This thread's scheduler statistics, for the trace; opened at the first frame traced.
  struct Descriptor {
    int fd = -1;
    ~Descriptor() {
      if (fd >= 0) ::close(fd);
    }
    operator int() const { return fd; }
    Descriptor& operator=(int opened) {
      fd = opened;
      return *this;
    }
  } schedStat_;
  SteadyTime heldCountedAt_ = std::chrono::steady_clock::now();
  std::int64_t runningBefore_ = 0, sleptUs_ = 0;
};

}  // namespace

int RunPlayerLoop(const PlayerOptions& o, FrameFeed& feed, CommandStreams& streams,
                  const std::function<bool(std::string&)>& openSound) {
  PlayerLoop loop(o, feed, streams);
  if (const int status = loop.Check()) return status;
  // Noted from here on, so that Ctrl+C or SIGTERM end the loop and everything closes in order; SDL is told to
  // leave the signals alone.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  CatchInterruptions();
  struct Release {
    ~Release() { ReleaseInterruptions(); }
  } release;
  std::string error;
  if (!openSound(error)) {
    streams.err << "tavelmir: " << error << '\n';
    return Interrupted() ? InterruptionExitStatus() : 1;
  }
  if (const int status = loop.Open()) return status;
  loop.Run();
  return loop.Finish();
}
