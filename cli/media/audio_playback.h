// SDL audio output for `play`: a queue the frame loop fills, the device's clock, and what was handed out.
#pragma once
#include <SDL2/SDL.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sample_history.h"

struct AudioPlayback {
  SDL_AudioDeviceID device = 0;
  int rate = 0;
  int latencySamples = 0;  // the device's buffer: a sample handed out now is heard this much later
  SampleHistory* history = nullptr;

  // Filled by the frame loop, drained by the device's callback; interleaved stereo 16-bit.
  std::mutex mutex;
  std::vector<std::int16_t> queue;
  std::size_t queueHead = 0;          // samples (pairs) of `queue` already played
  std::int64_t handedOut = 0;         // stream position of the next sample the callback hands out
  std::int64_t lastSoundEnd = 0;      // stream position just after the last queued sample handed out
  std::vector<std::int16_t> scratch;  // the callback's buffer, sized at open
  // Queue positions count every sample ever queued; a mark learns the stream position at which its queue position
  // was handed out (silence handed out in an underrun lies between the two).
  std::int64_t queuedTotal = 0;  // queue position of the next sample queued
  std::int64_t playedTotal = 0;  // queue position of the next sample handed out
  struct Mark {
    std::int64_t queued;
    std::int64_t stream;  // -1 until handed out
  };
  std::vector<Mark> marks;
  bool paused = false;
};

// Opens the default output device at `rate` (stereo, 16-bit; SDL converts if the device wants otherwise) and
// starts it; what it plays goes into `history`. False, with SDL's reason, when there is no usable device.
bool OpenAudioPlayback(AudioPlayback& playback, int rate, SampleHistory& history, std::string& error);
void CloseAudioPlayback(AudioPlayback& playback);

// Samples (per channel) waiting to be played.
std::int64_t QueuedSamples(AudioPlayback& playback);
void QueueSamples(AudioPlayback& playback, const std::int16_t* stereo, std::int64_t count);
// The stream position just after the last queued sample that has been handed to the device.
std::int64_t PlayedSoundEnd(AudioPlayback& playback);

// Pausing stops the device and its clock; the queue waits.
void PauseAudioPlayback(AudioPlayback& playback, bool paused);
// Forgets what is queued and not yet handed to the device (a new song or a seek): the next sample queued is
// handed out next.
void DropQueuedSamples(AudioPlayback& playback);
// Marks the queue position of the next sample queued and returns it; StreamPositionOf then tells where in the
// device's stream it was handed out.
std::int64_t MarkNextQueued(AudioPlayback& playback);
// The stream position of marked queue position `queued`; -1 while it has not been handed out (or was dropped).
std::int64_t StreamPositionOf(AudioPlayback& playback, std::int64_t queued);
