// Codec choices and the checks that keep each container to what it can hold, so a bad combination is a usage error
// before any frame is rendered rather than an ffmpeg failure at the end.
#include "output_encoding.h"

#include "hardware_encoders.h"

#include <cstdio>
#include <algorithm>
#include <cstring>

// Measured at 1920x1080 and 50 frames a second on loud, quiet and percussive music against lossless frames
// (bench/quality_settings.sh; the README has the table): "good" is the cheapest setting that keeps the luma's SSIM at
// 0.95 or more on every clip within 12 Mb/s, the rate video sites ask for at 1080p50 (ultrafast needs twice that for
// the same SSIM; superfast's CABAC, B-frames and deblocking make the difference). "draft" keeps the old speed,
// faster than real time on two cores, at about 0.94; "best" is smaller than good at the same SSIM, for about half
// as much CPU again. H.264's High profile throughout (ultrafast's streams stay Constrained Baseline in it).
const QualityPoint kQualityPoints[3] = {
    {"draft", "ultrafast", 28, nullptr},
    {"good", "superfast", 28, nullptr},
    {"best", "veryfast", 26, nullptr},
};
// The picture drawn at the output's size has smooth edges that cost x264 more bits: the same CRF keeps a little
// less, and draft's ultrafast needs CRF 26 for 0.94.
const QualityPoint kHdQualityPoints[3] = {
    {"draft", "ultrafast", 26, nullptr},
    {"good", "superfast", 28, nullptr},
    {"best", "veryfast", 26, nullptr},
};
const char kDefaultQuality[] = "good";
// AV1 and VP9, measured the same way (the README has the table). AV1's good is the fastest preset that keeps 0.95
// within 6 Mb/s, at 10 bits a sample (the same bits keep more of the picture, for a fifth more CPU); VP9 stays at
// libvpx's realtime speed, whose good deadline took several times the CPU. Best keeps more for more bits.
const CodecPoint kAv1Points[3] = {
    {"draft", 12, 40, false, false},
    {"good", 9, 40, true, false},
    {"best", 8, 40, true, false},
};
const CodecPoint kVp9Points[3] = {
    {"draft", 8, 44, false, true},
    {"good", 8, 40, false, true},
    {"best", 8, 36, false, true},
};

namespace {

// CRF steps from the points above for other pictures, measured the same way at 1280x720 and 3840x2160, and at 25
// frames a second: at 720p superfast's CRF 28 keeps only 0.932 (and 27 0.939), so smaller pictures take 3 less; at
// 4K CRF 30 keeps 0.981 (34 Mb/s) and 34 still 0.971 (24 Mb/s), so 4K takes 6 more; at 25 frames a second CRF 28
// keeps 0.970 and 30 0.963 (6.6 Mb/s), so they take 2 more.
constexpr int kCrfStep720p = -3;
constexpr int kCrfStep2160p = 6;
constexpr int kCrfStep25Fps = 2;

}  // namespace

namespace {

void Push(std::vector<std::string>& a, std::initializer_list<const char*> words) {
  for (const char* w : words) a.emplace_back(w);
}

bool IsAv1(OutputKind kind, const EncoderChoice& e) { return IsVideoOutput(kind) && e.videoCodec == "av1"; }

bool IsH264(OutputKind kind, const EncoderChoice& e) {
  return IsVideoOutput(kind) && kind != OutputKind::Webm && e.videoCodec != "prores" && !IsAv1(kind, e);
}

// The audio codec a video gets: the choice, or its container's usual one.
std::string AudioCodec(OutputKind kind, const EncoderChoice& e) {
  if (!e.audioCodec.empty()) return e.audioCodec;
  return kind == OutputKind::Webm ? "opus" : "aac";
}

// "192k": whole kilobits from 6 to 512, digits only, so that no value wraps into range.
bool AudioBitrateIsValid(const std::string& text) {
  if (text.size() < 2 || text.size() > 4 || (text.back() != 'k' && text.back() != 'K')) return false;
  int kbits = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    kbits = kbits * 10 + (text[i] - '0');
  }
  return kbits >= 6 && kbits <= 512;
}

}  // namespace

const char* ContainerName(OutputKind kind) {
  switch (kind) {
    case OutputKind::Mp4:
      return ".mp4";
    case OutputKind::Mov:
      return ".mov";
    case OutputKind::Webm:
      return ".webm";
    case OutputKind::Mkv:
      return ".mkv";
    case OutputKind::MatroskaStream:
      return "Matroska (-o -)";
    default:
      return "this output";
  }
}

bool IsVideoOutput(OutputKind kind) {
  return kind == OutputKind::Mp4 || kind == OutputKind::Mkv || kind == OutputKind::Mov || kind == OutputKind::Webm ||
         kind == OutputKind::MatroskaStream;
}

const char* VideoCodecName(OutputKind kind, const EncoderChoice& e) {
  if (!IsVideoOutput(kind)) return "";
  if (IsAv1(kind, e)) return "av1";
  if (e.videoCodec == "prores") return "prores";
  return kind == OutputKind::Webm ? "vp9" : "h264";
}

const char* SoftwareEncoderName(OutputKind kind, const EncoderChoice& e) {
  const std::string codec = VideoCodecName(kind, e);
  return codec == "av1" ? "libsvtav1" : codec == "vp9" ? "libvpx-vp9" : codec == "prores" ? "prores_ks" : "libx264";
}

int FramesPerSecond(OutputKind kind, const EncoderChoice& e) {
  if (e.framesPerSecond > 0) return e.framesPerSecond;
  return kind == OutputKind::Gif ? kDefaultGifFramesPerSecond : kDefaultVideoFramesPerSecond;
}

int CrfForPicture(int crf, int width, int height, int framesPerSecond) {
  const long pixels = static_cast<long>(width) * height;
  if (pixels < 1600L * 900) crf += kCrfStep720p;
  if (pixels >= 2560L * 1440) crf += kCrfStep2160p;
  if (framesPerSecond < 50) crf += kCrfStep25Fps;
  return std::clamp(crf, 1, 63);
}

std::string QualityName(const EncoderChoice& e) { return e.quality.empty() ? kDefaultQuality : e.quality; }

const QualityPoint& ChosenQuality(const EncoderChoice& e) {
  const std::string name = QualityName(e);
  const QualityPoint* points = e.drawnAtOutputSize ? kHdQualityPoints : kQualityPoints;
  for (int i = 0; i < 3; ++i)
    if (name == points[i].name) return points[i];
  return points[1];
}

const CodecPoint& ChosenCodecPoint(const CodecPoint (&points)[3], const EncoderChoice& e) {
  const std::string name = QualityName(e);
  for (const CodecPoint& p : points)
    if (name == p.name) return p;
  return points[1];
}

std::string CheckEncoderChoice(OutputKind kind, const EncoderChoice& e, bool hasSound, bool soundFile) {
  const bool video = IsVideoOutput(kind);
  if (!video && (e.crf >= 0 || !e.preset.empty() || !e.quality.empty() || !e.tune.empty() || !e.videoCodec.empty()))
    return "--crf, --preset, --quality, --tune and --video-codec choose the video encoding: only for .mp4, .mkv, "
           ".mov, .webm and -";
  if (!video && (!e.audioCodec.empty() || !e.audioBitrate.empty()))
    return "--audio-codec and --audio-bitrate choose the sound of a video: GIFs and PNGs have none";
  if (e.videoCodec == "prores" && kind != OutputKind::Mov)
    return "--video-codec prores writes .mov only (for editing software)";
  if (e.videoCodec == "av1" && kind == OutputKind::Mov) return ".mov does not hold AV1: use .mp4, .mkv or .webm";
  if (kind == OutputKind::Webm && e.videoCodec == "h264")
    return ".webm holds VP9, not H.264: use .mp4, .mkv or .mov for H.264";
  if (e.crf >= 0 && IsAv1(kind, e) && e.crf < 1)
    return "--crf for AV1 takes 1 to 63 (SVT-AV1 has no lossless mode), not " + std::to_string(e.crf);
  if (e.crf >= 0 && kind == OutputKind::Webm && e.crf > 63)
    return "--crf for VP9 (.webm) takes 0 to 63, not " + std::to_string(e.crf);
  if (e.crf >= 0 && IsH264(kind, e) && e.crf > 51)
    return "--crf for H.264 (.mp4, .mkv, .mov, -) takes 0 (lossless) to 51, not " + std::to_string(e.crf);
  if ((e.crf >= 0 || !e.preset.empty() || !e.quality.empty() || !e.tune.empty()) && e.videoCodec == "prores")
    return "--crf, --preset, --quality and --tune choose H.264's quality; ProRes has a fixed one";
  if ((!e.preset.empty() || !e.tune.empty()) && IsAv1(kind, e))
    return "--preset and --tune choose x264's settings; for AV1 use --quality or --crf";
  if ((!e.preset.empty() || !e.tune.empty()) && kind == OutputKind::Webm)
    return "--preset and --tune choose x264's settings; for .webm (VP9) use --quality or --crf";
  if ((!e.audioCodec.empty() || !e.audioBitrate.empty()) && !hasSound)
    return "--audio-codec and --audio-bitrate need an AUDIO input; waveform blocks have no sound";
  const std::string audio = AudioCodec(kind, e);
  if (audio == "copy" && !soundFile)
    return "--audio-codec copy copies the sound of an AUDIO file; standard input or a pipe cannot be read twice";
  if (!e.audioBitrate.empty() && (audio == "flac" || audio == "copy"))
    return "--audio-bitrate is for aac and opus; " + audio + " keeps the sound as it is";
  if (hasSound && audio != "copy") {
    const bool fits = kind == OutputKind::Mkv || kind == OutputKind::MatroskaStream || kind == OutputKind::Mp4 ||
                      (kind == OutputKind::Mov && audio == "aac") || (kind == OutputKind::Webm && audio == "opus");
    if (video && !fits)
      return std::string(ContainerName(kind)) + " cannot hold " + audio + " sound; " +
             (kind == OutputKind::Webm ? "use opus" : "use aac, or .mkv for any");
  }
  if (!e.audioBitrate.empty() && !AudioBitrateIsValid(e.audioBitrate))
    return "--audio-bitrate takes kilobits per second from 6k to 512k, e.g. 192k, not '" + e.audioBitrate + "'";
  const int fps = FramesPerSecond(kind, e);
  if (kind == OutputKind::Gif && (fps <= 0 || 50 % fps != 0))
    return "--fps takes a divisor of 50 (50, 25, 10, 5, 2 or 1), not " + std::to_string(fps);
  // The picture moves in steps of 1/50 s: 25 shows every other one; other rates would show them unevenly.
  if (video && fps != 50 && fps != 25)
    return "--fps for a video takes 50 or 25 (every other frame), not " + std::to_string(fps);
  return {};
}

void AppendVideoEncoding(OutputKind kind, const EncoderChoice& e, const OutputGeometry& g,
                         std::vector<std::string>& a) {
  const int fps = FramesPerSecond(kind, e);
  if (e.hardware != HardwareEncoder::None) {
    AppendHardwareVideoEncoding(e.hardware, kind, e, g, a);
  } else if (IsAv1(kind, e)) {
    // A key frame every 5 s, where a player can start; SVT-AV1's own default of 2.5 s costs bits.
    const CodecPoint& p = ChosenCodecPoint(kAv1Points, e);
    Push(a, {"-c:v", "libsvtav1", "-preset"});
    a.push_back(std::to_string(p.speed));
    a.push_back("-crf");
    a.push_back(std::to_string(e.crf >= 0 ? e.crf : CrfForPicture(p.crf, g.width, g.height, fps)));
    Push(a, {"-g", "250", "-pix_fmt", p.tenBits ? "yuv420p10le" : "yuv420p"});
  } else if (kind == OutputKind::Webm) {
    const CodecPoint& p = ChosenCodecPoint(kVp9Points, e);
    Push(a, {"-c:v", "libvpx-vp9", "-b:v", "0", "-deadline", p.realtime ? "realtime" : "good", "-cpu-used"});
    a.push_back(std::to_string(p.speed));
    Push(a, {"-row-mt", "1", "-crf"});
    a.push_back(std::to_string(e.crf >= 0 ? e.crf : CrfForPicture(p.crf, g.width, g.height, fps)));
    Push(a, {"-pix_fmt", "yuv420p"});
  } else if (e.videoCodec == "prores") {
    // ProRes 422 HQ, what editing software takes without converting.
    Push(a, {"-c:v", "prores_ks", "-profile:v", "3", "-vendor", "apl0", "-pix_fmt", "yuv422p10le"});
  } else {
    const QualityPoint& q = ChosenQuality(e);
    const int crf = e.crf >= 0 ? e.crf : CrfForPicture(q.crf, g.width, g.height, fps);
    Push(a, {"-c:v", "libx264", "-preset"});
    a.push_back(e.preset.empty() ? q.preset : e.preset);
    a.push_back("-crf");
    a.push_back(std::to_string(crf));
    // High is what every player of the last decade decodes; x264 marks a stream with the profile its tools need
    // (ultrafast's stays Constrained Baseline). Lossless needs High 4:4:4, which x264 picks itself.
    if (crf != 0) Push(a, {"-profile:v", "high"});
    const std::string tune = !e.tune.empty() ? e.tune : q.tune ? q.tune : "none";
    if (tune != "none") {
      a.push_back("-tune");
      a.push_back(tune);
    }
    Push(a, {"-pix_fmt", "yuv420p"});
  }
}

void AppendAudioEncoding(OutputKind kind, const EncoderChoice& e, std::vector<std::string>& a) {
  const std::string codec = AudioCodec(kind, e);
  if (codec == "copy") {
    Push(a, {"-c:a", "copy"});
    // FLAC copied into MP4 is as "experimental" to FFmpeg as FLAC encoded into it.
    if (kind == OutputKind::Mp4) Push(a, {"-strict", "experimental"});
  } else if (codec == "flac") {
    Push(a, {"-c:a", "flac"});
    // FFmpeg still calls FLAC in MP4 experimental, though browsers and players read it.
    if (kind == OutputKind::Mp4) Push(a, {"-strict", "experimental"});
  } else {
    const bool opus = codec == "opus";
    Push(a, {"-c:a", opus ? "libopus" : "aac", "-b:a"});
    a.push_back(!e.audioBitrate.empty() ? e.audioBitrate : (opus ? kDefaultAudioBitrateOpus : kDefaultAudioBitrateAac));
  }
}

void AppendTags(const EncoderChoice& e, std::vector<std::string>& a) {
  for (const auto& [key, value] : e.tags) {
    a.push_back("-metadata");
    a.push_back(key + "=" + value);
  }
}
