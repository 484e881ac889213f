// The per-frame sync record of the player.
#include "frame_trace.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "output_target.h"

namespace {
// Notes the first failed write; later lines are not tried.
void Check(PlayerTrace& trace, int written) {
  if (written < 0 && trace.writeError == 0) trace.writeError = errno != 0 ? errno : EIO;
}

long long Micros(SteadyTime t, SteadyTime origin) {
  return std::chrono::duration_cast<std::chrono::microseconds>(t - origin).count();
}
}  // namespace

bool OpenPlayerTrace(const std::string& path, const std::vector<std::string>& inputs, bool replace, SteadyTime origin,
                     PlayerTrace& trace, std::string& error) {
  if (NamesStandardStream(path, 1)) {
    // A copy of the descriptor: the trace closes it, standard output stays.
    const int fd = ::dup(STDOUT_FILENO);
    trace.file = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
    if (!trace.file && fd >= 0) ::close(fd);
  } else {
    OutputTarget target;
    if (!ResolveOutputTarget(path, target, error) || !CheckOutputReplacement(target, inputs, replace, error))
      return false;
    trace.file = std::fopen(target.path.c_str(), "w");
  }
  if (!trace.file) {
    error = "cannot write the trace '" + path + "': " + std::strerror(errno);
    return false;
  }
  // Line by line, so that someone watching the file (or a test) sees each frame as it is shown.
  std::setvbuf(trace.file, nullptr, _IOLBF, 0);
  trace.origin = origin;
  trace.path = path;
  trace.writeError = 0;
  errno = 0;
  Check(trace,
        std::fprintf(
            trace.file,
            "# frame shown_us block_start peak_pos peak clock_us clock_pos rate latency_us render_us present_us "
            "song_pos held_us\n"
            "# times in microseconds since start; positions in samples of the device's stream; sample\n"
            "# clock_pos is heard at clock_us; peak_pos is the loudest sample of the frame's waveform;\n"
            "# '# clock TIME POSITION' lines: every point of the device's clock, as its thread recorded it;\n"
            "# song_pos: where block_start lies in its song (play), -1 where there is no song (live);\n"
            "# held_us: how long the frames' thread was held since the frame before: neither running nor asleep\n"
            "# until the frame was due (waiting for a processor, the disk or a lock; -1: unknown)\n"));
  return true;
}

void TraceFrame(PlayerTrace& trace, std::int64_t frame, SteadyTime shown, const FramePlacement& p,
                const unsigned char block[kWaveformBlockBytes], const FrameTimes& times) {
  if (!trace.file || trace.writeError != 0) return;
  int peak = -1, peakAt = 0;
  for (int i = 0; i < kWaveformBlockBytes; ++i) {
    const int magnitude = std::abs(static_cast<int>(static_cast<signed char>(block[i])));
    if (magnitude > peak) {
      peak = magnitude;
      peakAt = i % kSamplesPerChannel;
    }
  }
  Check(trace,
        std::fprintf(trace.file, "%lld %lld %lld %lld %d %lld %lld %d %lld %.0f %.0f %lld %lld\n",
                     static_cast<long long>(frame), Micros(shown, trace.origin), static_cast<long long>(p.blockStart),
                     static_cast<long long>(p.blockStart + peakAt), peak,
                     p.clock.valid ? Micros(p.clock.time, trace.origin) : 0LL, static_cast<long long>(p.clock.position),
                     p.rate, static_cast<long long>(p.latencyUs), times.renderUs, times.presentUs,
                     static_cast<long long>(p.songSample), static_cast<long long>(times.heldUs)));
}

void TraceClock(PlayerTrace& trace, const AudioClockPoint& point) {
  if (trace.file && trace.writeError == 0 && point.valid)
    Check(trace, std::fprintf(trace.file, "# clock %lld %lld\n", Micros(point.time, trace.origin),
                              static_cast<long long>(point.position)));
}

void TraceNote(PlayerTrace& trace, std::int64_t frame, const std::string& text) {
  if (!trace.file || trace.writeError != 0) return;
  // One line a note: a text laid out in lines for the screen goes in as one.
  std::string line = text;
  for (char& c : line)
    if (c == '\n') c = ' ';
  Check(trace, std::fprintf(trace.file, "# %lld %s\n", static_cast<long long>(frame), line.c_str()));
}

bool TraceFailed(const PlayerTrace& trace) { return trace.writeError != 0; }

PlayerTrace::~PlayerTrace() {
  if (file) std::fclose(file);
}

bool ClosePlayerTrace(PlayerTrace& trace, std::string& error) {
  if (!trace.file) return true;
  errno = 0;
  if (std::fclose(trace.file) != 0 && trace.writeError == 0) trace.writeError = errno != 0 ? errno : EIO;
  trace.file = nullptr;
  if (trace.writeError == 0) return true;
  error = "cannot write the trace '" + trace.path + "': " + std::strerror(trace.writeError);
  return false;
}
