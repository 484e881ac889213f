// The SDL audio device of `play`, driven by its callback so that each buffer's hand-out time places the sound.
#include "audio_playback.h"

#include <algorithm>
#include <cstring>

namespace {

void FillDevice(void* user, Uint8* stream, int bytes) {
  auto& p = *static_cast<AudioPlayback*>(user);
  const SteadyTime now = std::chrono::steady_clock::now();
  const std::int64_t count = bytes / 4;
  auto* out = reinterpret_cast<std::int16_t*>(stream);
  std::int64_t copied = 0;
  {
    std::lock_guard lock(p.mutex);
    const std::int64_t available = static_cast<std::int64_t>(p.queue.size() / 2 - p.queueHead);
    copied = std::min(count, available);
    std::memcpy(out, p.queue.data() + 2 * p.queueHead, static_cast<std::size_t>(copied) * 4);
    for (AudioPlayback::Mark& m : p.marks)
      if (m.stream < 0 && m.queued >= p.playedTotal && m.queued < p.playedTotal + copied)
        m.stream = p.handedOut + (m.queued - p.playedTotal);
    p.queueHead += static_cast<std::size_t>(copied);
    p.playedTotal += copied;
    // Underrun or the end of the playlist: the device goes on with silence, and so does the picture.
    std::memset(out + 2 * copied, 0, static_cast<std::size_t>(count - copied) * 4);
    if (copied > 0) p.lastSoundEnd = p.handedOut + copied;
  }
  // The buffer handed out now starts to sound when the one the device holds has played.
  const AudioClockPoint clock{
      now + std::chrono::microseconds(static_cast<std::int64_t>(p.latencySamples) * 1000000 / p.rate), p.handedOut,
      true};
  p.history->Append(out, count, clock);
  p.handedOut += count;
}

}  // namespace

bool OpenAudioPlayback(AudioPlayback& p, int rate, SampleHistory& history, std::string& error) {
  SDL_AudioSpec want{}, have{};
  want.freq = rate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = FillDevice;
  want.userdata = &p;
  p.rate = rate;
  p.history = &history;
  p.handedOut = 0;
  p.lastSoundEnd = 0;
  {
    std::lock_guard lock(p.mutex);
    p.queue.clear();
    p.queueHead = 0;
    p.queuedTotal = p.playedTotal = 0;
    p.marks.clear();
  }
  p.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (p.device == 0) {
    error = std::string("cannot open the audio output: ") + SDL_GetError();
    return false;
  }
  p.latencySamples = have.samples;
  history.Reset(rate, 2.0);
  p.queue.reserve(static_cast<std::size_t>(rate) * 4);
  SDL_PauseAudioDevice(p.device, p.paused ? 1 : 0);
  return true;
}

void CloseAudioPlayback(AudioPlayback& p) {
  if (p.device != 0) SDL_CloseAudioDevice(p.device);
  p.device = 0;
}

std::int64_t QueuedSamples(AudioPlayback& p) {
  std::lock_guard lock(p.mutex);
  return static_cast<std::int64_t>(p.queue.size() / 2 - p.queueHead);
}

void QueueSamples(AudioPlayback& p, const std::int16_t* stereo, std::int64_t count) {
  std::lock_guard lock(p.mutex);
  // Drop what has played once it is most of the buffer, so the queue stays small without moving every time.
  if (p.queueHead > 0 && p.queueHead * 2 >= p.queue.size() / 2) {
    p.queue.erase(p.queue.begin(), p.queue.begin() + static_cast<std::ptrdiff_t>(2 * p.queueHead));
    p.queueHead = 0;
  }
  p.queue.insert(p.queue.end(), stereo, stereo + 2 * count);
  p.queuedTotal += count;
}

std::int64_t PlayedSoundEnd(AudioPlayback& p) {
  std::lock_guard lock(p.mutex);
  return p.lastSoundEnd;
}

void PauseAudioPlayback(AudioPlayback& p, bool paused) {
  p.paused = paused;
  if (p.device != 0) SDL_PauseAudioDevice(p.device, paused ? 1 : 0);
}

void DropQueuedSamples(AudioPlayback& p) {
  std::lock_guard lock(p.mutex);
  p.queue.resize(2 * p.queueHead);
  p.queuedTotal = p.playedTotal;
  std::erase_if(p.marks, [&](const AudioPlayback::Mark& m) { return m.stream < 0; });
}

std::int64_t MarkNextQueued(AudioPlayback& p) {
  std::lock_guard lock(p.mutex);
  // Only the marks still to come and the latest one reached are ever asked for.
  std::int64_t latestReached = -1;
  for (const AudioPlayback::Mark& m : p.marks)
    if (m.stream >= 0) latestReached = std::max(latestReached, m.queued);
  std::erase_if(p.marks, [&](const AudioPlayback::Mark& m) { return m.stream >= 0 && m.queued < latestReached; });
  p.marks.push_back({p.queuedTotal, -1});
  return p.queuedTotal;
}

std::int64_t StreamPositionOf(AudioPlayback& p, std::int64_t queued) {
  std::lock_guard lock(p.mutex);
  for (const AudioPlayback::Mark& m : p.marks)
    if (m.queued == queued) return m.stream;
  return -1;
}
