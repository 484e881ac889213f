// ffmpeg's arguments for each kind of output: raw frames and sound in, the encoders and the container out.
#include "encoder_arguments.h"

#include "hardware_encoders.h"
#include "media_chatter.h"

#include <cstdio>
#include <filesystem>
#include <iterator>

namespace fs = std::filesystem;

std::vector<std::string> FfmpegArguments(OutputKind kind, const std::string& target, const OutputGeometry& geometry,
                                         const AudioFeed& audio, const EncoderChoice& encoder) {
  const bool video = IsVideoOutput(kind);
  // -xerror: any error ends ffmpeg with a failure, a failed write of the container's end (its index) among them,
  // which it otherwise only reports and exits 0.
  std::vector<std::string> a = {"-hide_banner", "-loglevel", MediaChatterShown() ? "info" : "error",
                                "-nostdin",     "-xerror",   "-y"};
  if (video) AppendHardwareDevice(encoder.hardware, a);
  for (const char* s : {"-f", "rawvideo"}) a.push_back(s);
  const char* colour[] = {"-color_range",     "tv",    "-colorspace", "bt709",
                          "-color_primaries", "bt709", "-color_trc",  "bt709"};
  for (const char* s : {"-pix_fmt", video ? "yuv420p" : kind == OutputKind::Gif ? "pal8" : "rgb24"}) a.push_back(s);
  a.push_back("-s");
  a.push_back(std::to_string(geometry.width) + "x" + std::to_string(geometry.height));
  a.push_back("-framerate");
  a.push_back(std::to_string(FramesPerSecond(kind, encoder)));
  if (video) a.insert(a.end(), std::begin(colour), std::end(colour));
  for (const char* s : {"-i", "pipe:0"}) a.push_back(s);
  const bool copy = video && !encoder.copySoundFrom.empty();
  const bool sound = video && (audio.channels > 0 || copy);
  if (copy) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", encoder.copyStart);
    for (const char* s : {"-ss", static_cast<const char*>(seconds)}) a.push_back(s);
    if (encoder.copyLength >= 0) {
      std::snprintf(seconds, sizeof seconds, "%.3f", encoder.copyLength);
      for (const char* s : {"-t", static_cast<const char*>(seconds)}) a.push_back(s);
    }
    a.push_back("-i");
    a.push_back("file:" + fs::absolute(encoder.copySoundFrom).string());
    for (const char* s : {"-map", "0:v:0", "-map", "1:a:0"}) a.push_back(s);
  } else if (sound) {
    // Both inputs are raw and fully described: nothing is to be learnt by reading ahead while starting.
    for (const char* s : {"-probesize", "32", "-analyzeduration", "0", "-f", "f32le", "-ar"}) a.push_back(s);
    a.push_back(std::to_string(audio.rate));
    a.push_back("-ac");
    a.push_back(std::to_string(audio.channels));
    for (const char* s : {"-i", "pipe:3", "-map", "0:v:0", "-map", "1:a:0"}) a.push_back(s);
  }
  if (video) {
    AppendVideoEncoding(kind, encoder, geometry, a);
    a.insert(a.end(), std::begin(colour), std::end(colour));
    if (sound) AppendAudioEncoding(kind, encoder, a);
    AppendTags(encoder, a);
  }
  switch (kind) {
    case OutputKind::Mp4:
      for (const char* s : {"-movflags", "+faststart", "-f", "mp4"}) a.push_back(s);
      break;
    case OutputKind::Mov:
      for (const char* s : {"-movflags", "+faststart", "-f", "mov"}) a.push_back(s);
      break;
    case OutputKind::Mkv:
    case OutputKind::MatroskaStream:
      for (const char* s : {"-f", "matroska"}) a.push_back(s);
      break;
    case OutputKind::Webm:
      for (const char* s : {"-f", "webm"}) a.push_back(s);
      break;
    case OutputKind::Gif:
      // The frames' own indices and palettes go in as they are: no colour is quantised or dithered.
      for (const char* s : {"-loop", "0", "-f", "gif"}) a.push_back(s);
      break;
    case OutputKind::Png:
      for (const char* s : {"-frames:v", "1", "-update", "1", "-c:v", "png", "-f", "image2"}) a.push_back(s);
      break;
    case OutputKind::PngDirectory:
      for (const char* s : {"-f", "image2", "-start_number", "0"}) a.push_back(s);
      break;
    default:
      break;
  }
  a.push_back(target);
  return a;
}
