// The frame loop shared by `play` and `live`: the plug-in, the window, the keys and 50 frames a second.
#pragma once
#include <SDL2/SDL.h>

#include "player_options.h"
#include "frame_trace.h"

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
};

// Runs until Escape, Q, the window's close, the end of the sound or a failure; SDL's video (and the feed's audio)
// must be initialised. Returns the exit status.
int RunPlayerLoop(const PlayerOptions& options, FrameFeed& feed, CommandStreams& streams);
