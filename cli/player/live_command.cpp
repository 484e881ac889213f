// `tavelmir live`: the sound the desktop plays, captured from the sound server, shown as it arrives.
#include <SDL2/SDL.h>

#include <cstdlib>
#include <string>

#include "player_options.h"
#include "picture_look.h"
#include "player_loop.h"
#include "player_window.h"
#include "pulse_capture.h"

namespace {

// Without fresh sound for this long (the server is gone) the effect runs on silence instead of repeating the
// last block.
constexpr auto kStaleSound = std::chrono::milliseconds(250);
// After this long without sound the screen says what the player is waiting for.
constexpr auto kSilenceHint = std::chrono::seconds(2);
// Samples this close to zero (of 127) are silence: the hiss of an idle input is not music.
constexpr int kSilenceLevel = 2;

class LiveFeed : public FrameFeed {
 public:
  ~LiveFeed() override { StopPulseCapture(capture_); }

  // Starts capturing; without a server (or the source) the window opens all the same, says what is missing, and
  // the reader keeps trying.
  void Open(const std::string& source, CommandStreams& streams) {
    waiting_ = "waiting for sound from " +
               (source == kDefaultMonitor ? std::string("the desktop (the monitor of the default output)") : source);
    std::string error;
    if (StartPulseCapture(capture_, source, history_, error, true)) return;
    streams.err << "tavelmir: " << error << "; trying again\n";
    missing_ = WrapForScreen(error + "; trying again");
  }

  const char* Status(SteadyTime now) override {
    if (!capture_.connected) return missing_.c_str();
    return now - lastSound_ > kSilenceHint ? waiting_.c_str() : "";
  }

  bool Prepare(CommandStreams& streams) override {
    for (const std::string& message : TakeCaptureMessages(capture_)) {
      streams.err << "tavelmir: " << message << '\n';
      // What went wrong stays on screen until the server (or the source) is back.
      if (message.rfind("the sound server is back", 0) != 0) missing_ = WrapForScreen(message);
    }
    return true;
  }

  const SampleHistory& Sound() const override { return history_; }

  void Fill(SteadyTime now, unsigned char block[kWaveformBlockBytes], FramePlacement& placement) override {
    // Silence is counted from the first frame on screen: starting the window and the capture may take a while.
    if (lastSound_ == SteadyTime{}) lastSound_ = now;
    // The newest sound there is: a live picture can only follow what has already arrived.
    const std::int64_t end = history_.end();
    placement.clock = history_.clock();
    placement.rate = kCaptureRate;
    placement.latencyUs = capture_.latencyUs;
    placement.blockStart = end - kSamplesPerChannel;
    if (!placement.clock.valid || now - placement.clock.time > kStaleSound) placement.blockStart = end;
    history_.Block(placement.blockStart, block);
    for (int i = 0; i < kWaveformBlockBytes; ++i)
      if (std::abs(static_cast<int>(static_cast<signed char>(block[i]))) > kSilenceLevel) {
        lastSound_ = now;
        break;
      }
  }

 private:
  PulseCapture capture_;
  SampleHistory history_;
  std::string missing_;  // while not connected: why, for the screen
  std::string waiting_;
  SteadyTime lastSound_{};
};

}  // namespace

int RunLive(const PlayerOptions& o, CommandStreams& streams) {
  std::string error;
  if (o.listSources) {
    if (ListPulseSources(streams.out, error)) return 0;
    streams.err << "tavelmir: " << error << '\n';
    return 1;
  }
  struct SdlSession {
    bool started = false;
    ~SdlSession() {
      if (started) SDL_Quit();
    }
  } sdl;
  LiveFeed feed;
  return RunPlayerLoop(o, feed, streams, [&](std::string& failure) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
      failure = std::string("cannot start SDL: ") + SDL_GetError();
      return false;
    }
    sdl.started = true;
    feed.Open(o.source.empty() ? kDefaultMonitor : o.source, streams);
    return true;
  });
}
