// Hardware encoders: the probe, the choice among them and their arguments. Their quality values are not measured
// (no machine here has a GPU): they are set where each API's constant-quality scale gives about x264's CRF of the
// same number, and move with the picture's size and frame rate as x264's do.
#include "hardware_encoders.h"

#include <fcntl.h>
#include <glob.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "encoder_process.h"

extern char** environ;

namespace {

// The constant quality of each --quality through hardware: draft, good, best.
constexpr int kHardwareQuality[3] = {28, 25, 23};
// A probe that has not answered by then counts as failed: a driver that hangs would otherwise hang every render.
constexpr auto kProbeTimeLimit = std::chrono::seconds(8);
constexpr HardwareEncoder kAutomaticOrder[] = {HardwareEncoder::Nvenc, HardwareEncoder::Vaapi, HardwareEncoder::Qsv};

void Push(std::vector<std::string>& a, std::initializer_list<const char*> words) {
  for (const char* w : words) a.emplace_back(w);
}

int HardwareQuality(OutputKind kind, const EncoderChoice& e, int width, int height) {
  if (e.crf >= 0) return e.crf;
  const std::string name = QualityName(e);
  const int base = name == "draft" ? kHardwareQuality[0] : name == "best" ? kHardwareQuality[2] : kHardwareQuality[1];
  return CrfForPicture(base, width, height, FramesPerSecond(kind, e));
}

// The first line a failed ffmpeg wrote, which names the cause ("Cannot load libcuda.so.1"); the later ones only say
// that the encoder did not open. Without the "[h264_nvenc @ 0x...] " that starts an encoder's own lines.
std::string FirstLine(const std::string& text) {
  std::size_t start = text.find_first_not_of("\r\n");
  if (start == std::string::npos) return {};
  if (text[start] == '[') {
    const std::size_t close = text.find("] ", start);
    if (close != std::string::npos && close < text.find('\n', start)) start = close + 2;
  }
  return text.substr(start, text.find_first_of("\r\n", start) - start);
}

}  // namespace

bool ParseHardwareEncoder(const std::string& text, HardwareEncoder& api, bool& automatic) {
  automatic = text.empty() || text == "auto";
  api = text == "nvenc"   ? HardwareEncoder::Nvenc
        : text == "vaapi" ? HardwareEncoder::Vaapi
        : text == "qsv"   ? HardwareEncoder::Qsv
                          : HardwareEncoder::None;
  return automatic || api != HardwareEncoder::None || text == "software";
}

const char* HardwareEncoderTitle(HardwareEncoder api) {
  switch (api) {
    case HardwareEncoder::Nvenc:
      return "NVENC";
    case HardwareEncoder::Vaapi:
      return "VA-API";
    case HardwareEncoder::Qsv:
      return "Quick Sync";
    default:
      return "software";
  }
}

const char* HardwareEncoderName(HardwareEncoder api, OutputKind kind, const EncoderChoice& e) {
  // H.264 only: Debian's FFmpeg 5 has no AV1 hardware encoder, and VP9's (VA-API, Quick Sync) take another scale.
  if (std::string(VideoCodecName(kind, e)) != "h264") return nullptr;
  switch (api) {
    case HardwareEncoder::Nvenc:
      return "h264_nvenc";
    case HardwareEncoder::Vaapi:
      return "h264_vaapi";
    case HardwareEncoder::Qsv:
      return "h264_qsv";
    default:
      return nullptr;
  }
}

void AppendHardwareDevice(HardwareEncoder api, std::vector<std::string>& a) {
  // libva finds the machine's render node itself; NVENC and Quick Sync open theirs from frames in memory.
  if (api == HardwareEncoder::Vaapi) Push(a, {"-init_hw_device", "vaapi=va", "-filter_hw_device", "va"});
}

void AppendHardwareVideoEncoding(HardwareEncoder api, OutputKind kind, const EncoderChoice& e, const OutputGeometry& g,
                                 std::vector<std::string>& a) {
  const std::string quality = std::to_string(HardwareQuality(kind, e, g.width, g.height));
  const std::string name = QualityName(e);
  Push(a, {"-c:v", HardwareEncoderName(api, kind, e)});
  switch (api) {
    case HardwareEncoder::Nvenc:
      // Variable rate held to a constant quality (-cq), no cap (-b:v 0); p1 fastest to p7 smallest.
      Push(a, {"-preset", name == "draft" ? "p1" : name == "best" ? "p6" : "p4", "-rc", "vbr", "-cq"});
      a.push_back(quality);
      Push(a, {"-b:v", "0", "-profile:v", "high", "-pix_fmt", "yuv420p"});
      break;
    case HardwareEncoder::Vaapi:
      // Frames go up to the device as NV12; a constant QP, which every VA-API driver offers.
      Push(a, {"-rc_mode", "CQP", "-global_quality"});
      a.push_back(quality);
      Push(a, {"-profile:v", "high", "-vf", "format=nv12,hwupload"});
      break;
    default:
      // Intelligent constant quality, without the look-ahead that needs more memory on the device.
      Push(a, {"-preset", name == "draft" ? "veryfast" : name == "best" ? "slower" : "medium", "-global_quality"});
      a.push_back(quality);
      Push(a, {"-look_ahead", "0", "-profile:v", "high", "-pix_fmt", "nv12"});
      break;
  }
}

std::vector<std::string> ProbeArguments(HardwareEncoder api, OutputKind kind, const EncoderChoice& encoder) {
  std::vector<std::string> a = {"-hide_banner", "-loglevel", "error", "-nostdin"};
  AppendHardwareDevice(api, a);
  // Small, but above every encoder's least size; one frame is enough to open the device and encode.
  Push(a, {"-f", "lavfi", "-i", "color=c=gray:s=640x360:r=50", "-frames:v", "1"});
  OutputGeometry g;
  g.width = 640;
  g.height = 360;
  AppendHardwareVideoEncoding(api, kind, encoder, g, a);
  Push(a, {"-f", "null", "-"});
  return a;
}

bool HardwareDeviceNodePresent(HardwareEncoder api) {
  if (api == HardwareEncoder::Nvenc) return ::access("/dev/nvidiactl", F_OK) == 0;
  glob_t found{};
  const bool any = ::glob("/dev/dri/renderD*", 0, nullptr, &found) == 0 && found.gl_pathc > 0;
  ::globfree(&found);
  return any;
}

bool RunEncodeProbe(const std::vector<std::string>& arguments, std::string& reason) {
  const std::string program = FindProgramOnPath("ffmpeg");
  if (program.empty()) {
    reason = "ffmpeg was not found on PATH";
    return false;
  }
  char messages[] = "/tmp/tavelmir-probe-XXXXXX";
  const int err = ::mkstemp(messages);
  if (err < 0) {
    reason = "cannot make a temporary file for ffmpeg's messages";
    return false;
  }
  ::unlink(messages);
  std::vector<std::string> words = {program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  ::posix_spawn_file_actions_adddup2(&actions, err, 2);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  int status = -1;
  if (spawned == 0) {
    const auto deadline = std::chrono::steady_clock::now() + kProbeTimeLimit;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        reason = "the test encode did not finish within 8 s";
        ::close(err);
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  std::string text;
  char buffer[4096];
  ::lseek(err, 0, SEEK_SET);
  for (ssize_t got; (got = ::read(err, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(got));
  ::close(err);
  const bool ok = spawned == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!ok) reason = FirstLine(text).empty() ? "the test encode failed" : FirstLine(text);
  return ok;
}

EncoderDecision DecideEncoder(const std::string& request, OutputKind kind, const EncoderChoice& e, bool restartable,
                              const EncodeProbe& probe, const std::function<bool(HardwareEncoder)>& devicePresent) {
  EncoderDecision d;
  HardwareEncoder named = HardwareEncoder::None;
  bool automatic = true;
  ParseHardwareEncoder(request, named, automatic);
  const std::string software = SoftwareEncoderName(kind, e);
  if (!automatic) {
    if (named == HardwareEncoder::None) return d;
    const char* encoder = HardwareEncoderName(named, kind, e);
    std::string reason;
    if (!encoder)
      d.error = std::string("--encoder ") + request + ": FFmpeg has no hardware encoder of " + VideoCodecName(kind, e) +
                " through " + HardwareEncoderTitle(named) + " here (use --encoder software)";
    else if (!probe(ProbeArguments(named, kind, e), reason))
      d.error = std::string("--encoder ") + request + ": " + encoder + " does not work on this machine: " + reason;
    else {
      d.api = named;
      d.note = std::string("encoder: ") + encoder + " (" + HardwareEncoderTitle(named) + ")";
    }
    return d;
  }
  // Software's own settings name software; an output that cannot be made again stays with the encoder that does not
  // fail on a driver.
  if (!restartable || e.crf >= 0 || !e.preset.empty() || !e.tune.empty()) return d;
  std::string tried;
  for (const HardwareEncoder api : kAutomaticOrder) {
    const char* encoder = HardwareEncoderName(api, kind, e);
    if (!encoder || !devicePresent(api)) continue;
    std::string reason;
    if (probe(ProbeArguments(api, kind, e), reason)) {
      d.api = api;
      d.note = std::string("encoder: ") + encoder + " (" + HardwareEncoderTitle(api) + ")";
      return d;
    }
    tried += (tried.empty() ? "" : ", ") + std::string(encoder);
  }
  if (!tried.empty()) d.note = "encoder: " + software + " (software; " + tried + " did not work here)";
  return d;
}
