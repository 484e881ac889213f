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
