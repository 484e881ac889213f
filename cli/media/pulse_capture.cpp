// The PulseAudio reader of `live`: a blocking stream on its own thread, reconnected whenever the server returns.
#include "pulse_capture.h"

#include <pulse/error.h>
#include <pulse/pulseaudio.h>
#include <pulse/simple.h>

#include <algorithm>
#include <chrono>
#include <sstream>

namespace {

constexpr int kChunkSamples = kCaptureRate / 100;  // 10 ms per read keeps the picture close to the sound
// A server on this machine answers within milliseconds; the client library alone would wait 30 s for one that
// accepts the connection and never speaks.
constexpr int kAnswerSeconds = 5;

std::string ServerError(int code) {
  std::string text = pa_strerror(code);
  if (code == PA_ERR_CONNECTIONREFUSED || code == PA_ERR_INVALIDSERVER)
    text = "no sound server is running (PulseAudio, or PipeWire with pipewire-pulse): " + text;
  if (code == PA_ERR_TIMEOUT)
    text = "the sound server does not answer (waited " + std::to_string(kAnswerSeconds) + " s)";
  return text;
}

// Runs `loop` until `done` says so or the server has had kAnswerSeconds to answer. False on the timeout.
template <typename Done>
bool IterateUntil(pa_mainloop* loop, Done done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kAnswerSeconds);
  while (!done()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (pa_mainloop_prepare(loop, static_cast<int>(std::min<long long>(left.count(), 100000))) < 0 ||
        pa_mainloop_poll(loop) < 0 || pa_mainloop_dispatch(loop) < 0)
      return true;  // the loop broke down: `done` has its own say
  }
  return true;
}

// Whether a server answers at all, within kAnswerSeconds. 0, or the PA_ERR_* code.
int ProbeServer() {
  pa_mainloop* loop = pa_mainloop_new();
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "tavelmir");
  int code = 0;
  if (pa_context_connect(context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) code = pa_context_errno(context);
  const auto settled = [&] {
    const pa_context_state_t state = pa_context_get_state(context);
    return code != 0 || state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
  };
  if (!IterateUntil(loop, settled)) code = PA_ERR_TIMEOUT;
  if (code == 0 && pa_context_get_state(context) != PA_CONTEXT_READY) code = pa_context_errno(context);
  pa_context_disconnect(context);
  pa_context_unref(context);
  pa_mainloop_free(loop);
  return code;
}

pa_simple* Connect(const std::string& source, int& code) {
  const pa_sample_spec format{PA_SAMPLE_S16LE, kCaptureRate, 2};
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.fragsize = kChunkSamples * 4;
  return pa_simple_new(nullptr, "tavelmir", PA_STREAM_RECORD, source.c_str(), "visualization", &format, nullptr, &attr,
                       &code);
}

void Report(PulseCapture& c, const std::string& text) {
  std::lock_guard lock(c.messagesMutex);
  c.messages.push_back(text);
}

// The sources the server offers, by name, for a message; "" when it does not answer.
std::string SourceNames() {
  std::ostringstream listing;
  std::string error, names, line;
  if (!ListPulseSources(listing, error)) return {};
  std::istringstream lines(listing.str());
  while (std::getline(lines, line))
    if (const std::string name = line.substr(0, line.find("  ")); name != kDefaultMonitor)
      names += (names.empty() ? "" : ", ") + name;
  return names;
}

// Why connecting failed; a source that does not exist is told with those that do.
std::string ConnectError(int code, const std::string& source) {
  if (code != PA_ERR_NOENTITY) return PulseStartError(code, source);
  const std::string names = SourceNames();
  return "no sound source named '" + source + "'" + (names.empty() ? "" : " (the server has: " + names + ")");
}

// Why connecting failed, when that differs from the last time (a server that came without the source, a source
// still missing is said once).
void ReportFailure(PulseCapture& c, int code, int& lastCode) {
  if (code == lastCode) return;
  lastCode = code;
  Report(c, ConnectError(code, c.source) + "; trying again");
}

// `startCode`: why the first connection failed (already told), 0 when it worked.
void ReadLoop(PulseCapture& c, pa_simple* stream, int startCode) {
  std::int16_t chunk[2 * kChunkSamples];
  int lastCode = startCode;
  while (!c.stop) {
    if (!stream) {
      // The probe gives up on a server that never answers, where the simple API would wait half a minute.
      int code = ProbeServer();
      if (code == 0) stream = Connect(c.source, code);
      if (!stream) {
        ReportFailure(c, code, lastCode);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        continue;
      }
      c.connected = true;
      lastCode = 0;
      Report(c, "the sound server is back: capturing from " + c.source);
    }
    int code = 0;
    if (pa_simple_read(stream, chunk, sizeof chunk, &code) < 0) {
      // A named source can go (a device unplugged) while the server stays.
      const bool serverThere = code != PA_ERR_CONNECTIONTERMINATED && ProbeServer() == 0;
      Report(c, serverThere
                    ? "the source '" + c.source + "' is gone (" + pa_strerror(code) + "); waiting for it to come back"
                    : "lost the sound server (" + std::string(pa_strerror(code)) + "); waiting for it to come back");
      pa_simple_free(stream);
      stream = nullptr;
      c.connected = false;
      lastCode = serverThere ? PA_ERR_NOENTITY : PA_ERR_CONNECTIONREFUSED;
      continue;
    }
    const SteadyTime now = std::chrono::steady_clock::now();
    const pa_usec_t latency = pa_simple_get_latency(stream, &code);
    const std::int64_t lat = latency == static_cast<pa_usec_t>(-1) ? 0 : static_cast<std::int64_t>(latency);
    c.latencyUs = lat;
    // The newest sample read was at the source `latency` ago.
    const std::int64_t end = c.history->end() + kChunkSamples;
    c.history->Append(chunk, kChunkSamples, {now - std::chrono::microseconds(lat), end, true});
  }
  if (stream) pa_simple_free(stream);
}

}  // namespace

std::string PulseStartError(int code, const std::string& source) {
  if (code == PA_ERR_NOENTITY) return "no sound source named '" + source + "' (--list-sources shows them)";
  if (code == PA_ERR_INVALID || code == PA_ERR_NOTSUPPORTED || code == PA_ERR_ACCESS)
    return "the sound server refused the source '" + source + "': " + pa_strerror(code) +
           " (--list-sources shows the sources)";
  return ServerError(code);
}

std::string SoundServerProblem() {
  const int code = ProbeServer();
  return code == 0 ? std::string() : ServerError(code);
}

bool StartPulseCapture(PulseCapture& c, const std::string& source, SampleHistory& history, std::string& error,
                       bool keepTrying) {
  c.source = source;
  c.history = &history;
  c.stop = false;
  history.Reset(kCaptureRate, 2.0);
  int code = ProbeServer();
  pa_simple* stream = code == 0 ? Connect(source, code) : nullptr;
  c.connected = stream != nullptr;
  if (stream || keepTrying) c.reader = std::thread(ReadLoop, std::ref(c), stream, code);
  if (!stream) error = ConnectError(code, source);
  return stream != nullptr;
}

void StopPulseCapture(PulseCapture& c) {
  c.stop = true;
  if (c.reader.joinable()) c.reader.join();
}

std::vector<std::string> TakeCaptureMessages(PulseCapture& c) {
  std::lock_guard lock(c.messagesMutex);
  std::vector<std::string> taken;
  taken.swap(c.messages);
  return taken;
}

namespace {

struct SourceListing {
  std::ostream* out;
  bool done = false;
  bool failed = false;
  int code = 0;
};

void OnSource(pa_context*, const pa_source_info* info, int eol, void* user) {
  auto& l = *static_cast<SourceListing*>(user);
  if (eol) {
    l.done = true;
    return;
  }
  *l.out << info->name << "  " << (info->description ? info->description : "")
         << (info->monitor_of_sink != PA_INVALID_INDEX ? "  (monitor: what an output plays)" : "") << '\n';
}

void OnState(pa_context* context, void* user) {
  auto& l = *static_cast<SourceListing*>(user);
  switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
      pa_operation_unref(pa_context_get_source_info_list(context, OnSource, user));
      break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
      l.failed = true;
      l.code = pa_context_errno(context);
      break;
    default:
      break;
  }
}

}  // namespace

bool ListPulseSources(std::ostream& out, std::string& error) {
  pa_mainloop* loop = pa_mainloop_new();
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "tavelmir");
  SourceListing listing{&out};
  pa_context_set_state_callback(context, OnState, &listing);
  if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    listing.failed = true;
    listing.code = pa_context_errno(context);
  }
  const bool answered = IterateUntil(loop, [&] { return listing.done || listing.failed; });
  pa_context_set_state_callback(context, nullptr, nullptr);
  if (!answered) listing.code = PA_ERR_TIMEOUT;
  pa_context_disconnect(context);
  pa_context_unref(context);
  pa_mainloop_free(loop);
  if (!listing.done) {
    error = ServerError(listing.code ? listing.code : PA_ERR_CONNECTIONREFUSED);
    return false;
  }
  out << kDefaultMonitor << "  the monitor of the default output (the default of live)\n";
  return true;
}
