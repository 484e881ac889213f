// `--trace FILE`: one line per shown frame with the sound it was given and when, for checking picture/sound sync.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sample_history.h"
#include "waveform_source.h"

// Where a frame's waveform came from. Positions are samples per channel of the device's stream.
struct FramePlacement {
  std::int64_t blockStart = 0;
  AudioClockPoint clock;  // the device clock the block was chosen by
  int rate = 0;
  std::int64_t latencyUs = 0;    // the device latency in that clock
  std::int64_t songSample = -1;  // play: where in its song (at `rate`) blockStart lies; -1 live or unknown
};

// Closed with the object.
struct PlayerTrace {
  PlayerTrace() = default;
  PlayerTrace(const PlayerTrace&) = delete;
  PlayerTrace& operator=(const PlayerTrace&) = delete;
  ~PlayerTrace();

  std::FILE* file = nullptr;
  SteadyTime origin{};
  std::string path;    // as given
  int writeError = 0;  // errno of the first write that failed
};

// Writes the header naming the columns. The trace is an output like any other: never one of `inputs`, an existing
// file replaced only with `replace`, a device or pipe written as it is. It is written line by line under its own
// name, for whoever follows it. False, with a message naming the file, when it cannot be created.
bool OpenPlayerTrace(const std::string& path, const std::vector<std::string>& inputs, bool replace, SteadyTime origin,
                     PlayerTrace& trace, std::string& error);
// What the frame cost: its drawing and its presentation in wall time, and how long the frame loop's thread was held
// since the frame before (neither running nor asleep until the frame was due; -1 where the system does not say): a
// busy machine's share of a late frame.
struct FrameTimes {
  double renderUs = 0, presentUs = 0;
  std::int64_t heldUs = -1;
};
void TraceFrame(PlayerTrace& trace, std::int64_t frame, SteadyTime shown, const FramePlacement& placement,
                const unsigned char block[kWaveformBlockBytes], const FrameTimes& times);
// "# clock TIME POSITION": a point of the device's clock as its thread recorded it (sample POSITION heard at TIME).
void TraceClock(PlayerTrace& trace, const AudioClockPoint& point);
// A line starting with '#', for events (keys, device changes) and the closing summary.
void TraceNote(PlayerTrace& trace, std::int64_t frame, const std::string& text);
// A write to the trace has failed (a full disk, a closed pipe): the player stops rather than run on unrecorded.
bool TraceFailed(const PlayerTrace& trace);
// Closes the trace. False, with a message naming it and the reason, when any of it could not be written.
bool ClosePlayerTrace(PlayerTrace& trace, std::string& error);
