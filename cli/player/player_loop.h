// The frame loop shared by `play` and `live`: the plug-in, the window, the keys and 50 frames a second.
#pragma once
#include <SDL2/SDL.h>

#include <functional>
#include <string>
#include <vector>

#include "player_options.h"
#include "frame_trace.h"
#include "player_keys.h"

// What `play` is playing, for the window's title and the help.
struct NowPlaying {
  int song = -1;          // position in the playlist; -1 = none yet
  int songs = 0;          // length of the playlist
  const char* name = "";  // "Title - Artist" from the tags, else the file's name
  double position = 0;    // seconds into the song, as heard now
  double length = -1;     // seconds; -1 when the file does not say
};

// The sound side of the player, asked by the loop on its own thread.
struct FrameFeed {
  virtual ~FrameFeed() = default;
  // Before each frame: decode ahead, pass on device messages. False when the sound is over (a played playlist).
  virtual bool Prepare(CommandStreams& streams) = 0;
  // The waveform for a frame shown at `now`, and where it came from.
  virtual void Fill(SteadyTime now, unsigned char block[kWaveformBlockBytes], FramePlacement& placement) = 0;
  // The sound as the device's thread records it, with its clock.
  virtual const SampleHistory& Sound() const = 0;
  // Audio device added or removed.
  virtual void OnDeviceEvent(const SDL_AudioDeviceEvent& /*event*/, CommandStreams& /*streams*/) {}
  // The transport keys (pause, songs, seeking); returns what was done, for the screen, or "" when the feed has no
  // transport (live).
  virtual std::string Transport(PlayerAction /*action*/, SteadyTime /*now*/, CommandStreams& /*streams*/) { return {}; }
  // Files dropped on the window (or chosen with O) for the playlist; `live` has none.
  virtual void AddFiles(const std::vector<std::string>& /*paths*/, CommandStreams& /*streams*/) {}
  // Paused: no frames are drawn and the sound's clock stands still.
  virtual bool Paused() const { return false; }
  virtual NowPlaying Playing(SteadyTime /*now*/) { return {}; }
  // A line for the screen while neither a key's note nor the help shows (live waiting for sound); "" for none.
  // The same text comes back as the same pointer.
  virtual const char* Status(SteadyTime /*now*/) { return ""; }
  // The keys, for the help on screen.
  virtual const char* HelpLines() const { return kLiveHelpLines; }
};

// Checks the options, the look and the trace, then `openSound` (which starts SDL and the feed's device), then opens
// the window and runs until Escape, Q, the window's close, the end of the sound, a signal (exit status 128 + the
// signal) or a failure. `openSound` returns false with a message. Returns the exit status.
int RunPlayerLoop(const PlayerOptions& options, FrameFeed& feed, CommandStreams& streams,
                  const std::function<bool(std::string&)>& openSound);
