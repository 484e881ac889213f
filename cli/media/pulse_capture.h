// Capture of what the desktop plays, through the PulseAudio client (PipeWire serves it too), for `live`.
#pragma once
#include <atomic>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "sample_history.h"

constexpr int kCaptureRate = 44100;
// The monitor of the default output: what the desktop is playing.
constexpr const char kDefaultMonitor[] = "@DEFAULT_MONITOR@";

struct PulseCapture;
void StopPulseCapture(PulseCapture& capture);

// Stopped with the object: the reader thread is joined.
struct PulseCapture {
  PulseCapture() = default;
  PulseCapture(const PulseCapture&) = delete;
  PulseCapture& operator=(const PulseCapture&) = delete;
  ~PulseCapture() { StopPulseCapture(*this); }

  std::string source;
  SampleHistory* history = nullptr;
  std::thread reader;
  std::atomic<bool> stop{false};
  std::atomic<bool> connected{false};
  std::atomic<std::int64_t> latencyUs{0};  // the server's latency at the last read
  std::mutex messagesMutex;
  std::vector<std::string> messages;  // for the user, taken by the frame loop
};

// Connects to the server and starts reading `source` into `history` on a thread of its own. False, with a clear
// message, when no server answers or the source does not exist; with `keepTrying` the reader starts all the same
// and connects once it can (`connected` turns true). Later losses of the server are reported through
// TakeCaptureMessages and the reader connects again when it is back.
bool StartPulseCapture(PulseCapture& capture, const std::string& source, SampleHistory& history, std::string& error,
                       bool keepTrying = false);
void StopPulseCapture(PulseCapture& capture);
// The message for a capture that did not start: `code` a PA_ERR_* value, naming the source where the server
// refused it.
std::string PulseStartError(int code, const std::string& source);
// Why no sound server answers (none running, or one that does not answer in time); "" when one does.
std::string SoundServerProblem();
std::vector<std::string> TakeCaptureMessages(PulseCapture& capture);

// Writes one line per source the server offers: its name, then its description; monitors are marked. False, with a
// message, without a server.
bool ListPulseSources(std::ostream& out, std::string& error);
