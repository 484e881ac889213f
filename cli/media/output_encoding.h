// How an output is encoded: the kinds of output, their codecs, quality, sound and tags, as ffmpeg arguments.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "frame_image.h"
#include "core/frame_resampler.h"

enum class OutputKind { Dump, Mp4, Mkv, Mov, Webm, Gif, Png, PngDirectory, MatroskaStream, Unsupported };

// Kinds that ffmpeg encodes as a video with sound.
bool IsVideoOutput(OutputKind kind);
// The container as messages name it: ".mp4", "Matroska (-o -)", ...
const char* ContainerName(OutputKind kind);

constexpr int kDefaultGifFramesPerSecond = 25;
constexpr int kDefaultVideoFramesPerSecond = 50;

// The hardware a video is encoded on (hardware_encoders.h); None is FFmpeg's software encoders.
enum class HardwareEncoder { None, Nvenc, Vaapi, Qsv };

struct EncoderChoice {
  int crf = -1;         // -1: the quality's CRF
  std::string preset;   // empty: the quality's preset; ignored by VP9
  std::string quality;  // "draft", "good", "best"; empty: kDefaultQuality
  std::string tune;     // x264's tuning, "none" for none; empty: the quality's
  Scaling scaling = Scaling::Sharp;
  std::string videoCodec;    // "h264", "av1" or "prores" (.mov only); empty: H.264 (VP9 for .webm)
  std::string audioCodec;    // "aac", "opus", "flac" or "copy"; empty: AAC (Opus for .webm)
  std::string audioBitrate;  // as ffmpeg takes it ("192k"); empty: kDefaultAudioBitrate of the codec
  // With "copy": the input whose sound is copied, from `copyStart` seconds for `copyLength` (< 0: to the end).
  std::string copySoundFrom;
  double copyStart = 0, copyLength = -1;
  std::vector<std::pair<std::string, std::string>> tags;  // container metadata, e.g. ("title", ...)
  int framesPerSecond = 0;         // --fps: a divisor of 50 for a GIF, 50 or 25 for a video; 0: the output's own
  bool drawnAtOutputSize = false;  // the picture is an hd look, which has quality points of its own
  HardwareEncoder hardware = HardwareEncoder::None;  // chosen by --encoder once the encoder was tried
};

// x264's settings behind each --quality (chosen by measurement; see the README).
struct QualityPoint {
  const char* name;
  const char* preset;
  int crf;
  const char* tune;  // nullptr: none
};
extern const QualityPoint kQualityPoints[3];    // for the classic picture, enlarged
extern const QualityPoint kHdQualityPoints[3];  // for the picture drawn at the output's size
extern const char kDefaultQuality[];
// SVT-AV1's and libvpx-vp9's settings behind each --quality at 1920x1080 and 50 frames a second (chosen by
// measurement; see the README): a speed (SVT-AV1's preset, libvpx's cpu-used) and a CRF.
struct CodecPoint {
  const char* name;
  int speed;
  int crf;
  bool tenBits;   // SVT-AV1: encode 10 bits a sample, which keeps more of the picture for the same bits
  bool realtime;  // libvpx: the realtime deadline
};
extern const CodecPoint kAv1Points[3];
extern const CodecPoint kVp9Points[3];
constexpr const char* kDefaultAudioBitrateAac = "192k";
constexpr const char* kDefaultAudioBitrateOpus = "160k";

// The --quality a choice names: "draft", "good" or "best", kDefaultQuality when it names none.
std::string QualityName(const EncoderChoice& encoder);
// The quality point a choice names (the default when it names none), of x264 or of SVT-AV1 and VP9.
const QualityPoint& ChosenQuality(const EncoderChoice& encoder);
const CodecPoint& ChosenCodecPoint(const CodecPoint (&points)[3], const EncoderChoice& encoder);
// The video codec of a video output: "h264", "vp9", "av1" or "prores" ("" for other kinds).
const char* VideoCodecName(OutputKind kind, const EncoderChoice& encoder);
// FFmpeg's software encoder of that codec: "libx264", "libvpx-vp9", "libsvtav1", "prores_ks".
const char* SoftwareEncoderName(OutputKind kind, const EncoderChoice& encoder);
// The frames a second an output of `kind` gets.
int FramesPerSecond(OutputKind kind, const EncoderChoice& encoder);
// A CRF chosen for 1920x1080 at 50 frames a second, moved for another picture size and frame rate so that the
// picture keeps about the same SSIM: smaller pictures need a lower CRF, larger ones take a higher.
int CrfForPicture(int crfAt1080p50, int width, int height, int framesPerSecond);

// Empty when the choice can encode `kind`, else a usage message. `soundFile`: the input is an audio file (not
// standard input, not waveform blocks), whose sound can be copied.
std::string CheckEncoderChoice(OutputKind kind, const EncoderChoice& encoder, bool hasSound, bool soundFile);

// The video codec and its settings for pictures of `geometry`, then the audio codec (when `sound`), then the tags.
void AppendVideoEncoding(OutputKind kind, const EncoderChoice& encoder, const OutputGeometry& geometry,
                         std::vector<std::string>& arguments);
void AppendAudioEncoding(OutputKind kind, const EncoderChoice& encoder, std::vector<std::string>& arguments);
void AppendTags(const EncoderChoice& encoder, std::vector<std::string>& arguments);
