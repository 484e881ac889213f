// ffmpeg's video arguments for each codec, quality, picture size and frame rate: the measured points as they are
// handed to the encoders.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "encoder_arguments.h"
#include "hardware_encoders.h"
#include "output_encoding.h"

namespace {

std::string Joined(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& w : words) line += (line.empty() ? "" : " ") + w;
  return line;
}

}  // namespace

TEST(EncoderArgumentsTest, EachQualitySizeAndRateGetsItsMeasuredPoint) {
  using enum OutputKind;
  struct Case {
    const char* name;
    OutputKind kind;
    bool hd;                          // the picture drawn at the output's size
    std::vector<const char*> choice;  // EncoderChoice's fields: quality, crf, preset, tune, codec, fps, hardware
    int width, height;
    const char* video;  // the arguments between -c:v and -pix_fmt
    const char* rate;   // -framerate's value
  } cases[] = {
      {"hd good, 1080p", Mp4, true, {}, 1920, 1080, "libx264 -preset superfast -crf 28 -profile:v high", "50"},
      {"hd good, 720p", Mkv, true, {}, 1280, 720, "libx264 -preset superfast -crf 25 -profile:v high", "50"},
      {"hd good, 4K", Mp4, true, {}, 3840, 2160, "libx264 -preset superfast -crf 34 -profile:v high", "50"},
      {"hd good, 25 fps",
       Mp4,
       true,
       {"", "", "", "", "", "25"},
       1920,
       1080,
       "libx264 -preset superfast -crf 30 -profile:v high",
       "25"},
      {"hd draft", Mp4, true, {"draft"}, 1920, 1080, "libx264 -preset ultrafast -crf 26 -profile:v high", "50"},
      {"hd best", Mov, true, {"best"}, 1920, 1080, "libx264 -preset veryfast -crf 26 -profile:v high", "50"},
      {"classic good", Mp4, false, {}, 1920, 1080, "libx264 -preset superfast -crf 28 -profile:v high", "50"},
      {"a CRF given stays",
       Mp4,
       false,
       {"", "30", "medium"},
       640,
       480,
       "libx264 -preset medium -crf 30 -profile:v high",
       "50"},
      {"lossless: x264 picks its profile",
       Mkv,
       false,
       {"", "0", "ultrafast"},
       1920,
       1080,
       "libx264 -preset ultrafast -crf 0",
       "50"},
      {"tuned",
       Mp4,
       false,
       {"", "", "", "animation"},
       1920,
       1080,
       "libx264 -preset superfast -crf 28 -profile:v high -tune animation",
       "50"},
      {"AV1 good", Webm, false, {"", "", "", "", "av1"}, 1920, 1080, "libsvtav1 -preset 9 -crf 40 -g 250", "50"},
      {"AV1 draft, 720p",
       Mkv,
       true,
       {"draft", "", "", "", "av1"},
       1280,
       720,
       "libsvtav1 -preset 12 -crf 37 -g 250",
       "50"},
      {"AV1 best, 25 fps",
       Mp4,
       true,
       {"best", "", "", "", "av1", "25"},
       1920,
       1080,
       "libsvtav1 -preset 8 -crf 42 -g 250",
       "25"},
      {"VP9 good",
       Webm,
       false,
       {},
       1920,
       1080,
       "libvpx-vp9 -b:v 0 -deadline realtime -cpu-used 8 -row-mt 1 -crf 40",
       "50"},
      {"VP9 best, 4K",
       Webm,
       true,
       {"best"},
       3840,
       2160,
       "libvpx-vp9 -b:v 0 -deadline realtime -cpu-used 8 -row-mt 1 -crf 42",
       "50"},
      {"VP9, a CRF given",
       Webm,
       false,
       {"draft", "33"},
       1920,
       1080,
       "libvpx-vp9 -b:v 0 -deadline realtime -cpu-used 8 -row-mt 1 -crf 33",
       "50"},
      {"GIF", Gif, false, {"", "", "", "", "", "10"}, 320, 200, "", "10"},
      {"NVENC good",
       Mp4,
       true,
       {"", "", "", "", "", "", "nvenc"},
       1920,
       1080,
       "h264_nvenc -preset p4 -rc vbr -cq 25 -b:v 0 -profile:v high",
       "50"},
      {"NVENC draft, 720p",
       Mkv,
       true,
       {"draft", "", "", "", "", "", "nvenc"},
       1280,
       720,
       "h264_nvenc -preset p1 -rc vbr -cq 25 -b:v 0 -profile:v high",
       "50"},
      // VA-API's frames are uploaded to the device (opened before the inputs) by the filter, as NV12.
      {"VA-API best, 25 fps",
       Mp4,
       true,
       {"best", "", "", "", "", "25", "vaapi"},
       1920,
       1080,
       "h264_vaapi -rc_mode CQP -global_quality 25 -profile:v high -vf format=nv12,hwupload",
       "25"},
      {"Quick Sync, a CRF given",
       Mov,
       false,
       {"", "20", "", "", "", "", "qsv"},
       1920,
       1080,
       "h264_qsv -preset medium -global_quality 20 -look_ahead 0 -profile:v high",
       "50"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EncoderChoice e;
    e.drawnAtOutputSize = c.hd;
    std::vector<std::string> f(c.choice.begin(), c.choice.end());
    f.resize(7);
    e.quality = f[0];
    e.crf = f[1].empty() ? -1 : std::stoi(f[1]);
    e.preset = f[2];
    e.tune = f[3];
    e.videoCodec = f[4];
    e.framesPerSecond = f[5].empty() ? 0 : std::stoi(f[5]);
    bool automatic = false;
    ParseHardwareEncoder(f[6], e.hardware, automatic);
    OutputGeometry g;
    g.width = c.width;
    g.height = c.height;
    const std::string line = Joined(FfmpegArguments(c.kind, "pipe:1", g, AudioFeed{}, e));
    EXPECT_NE(line.find(std::string(" -framerate ") + c.rate + " "), std::string::npos) << line;
    if (*c.video == 0) {
      EXPECT_EQ(line.find("-c:v"), std::string::npos) << line;
      continue;
    }
    const std::size_t from = line.find("-c:v ");
    const std::size_t to = std::min(line.find(" -pix_fmt", from), line.find(" -color_range", from));
    ASSERT_NE(to, std::string::npos) << line;
    EXPECT_EQ(line.substr(from + 5, to - from - 5), c.video);
    EXPECT_EQ(line.find("-init_hw_device vaapi=va -filter_hw_device va -f rawvideo") != std::string::npos,
              e.hardware == HardwareEncoder::Vaapi)
        << line;
  }
}

// --encoder: auto takes the first API whose test encode works, in a fixed order, and falls back to software with a
// line that says so; a named API works or is an error with ffmpeg's reason.
TEST(EncoderArgumentsTest, TheEncoderIsTheFirstHardwareThatEncodesElseSoftware) {
  struct Case {
    const char* name;
    const char* request;
    OutputKind kind;
    std::vector<const char*> choice;  // quality, crf, codec
    const char* working;              // the encoders whose test encode works, and whose devices are there
    bool restartable;
    HardwareEncoder chosen;
    const char* note;    // the one line told, or ""
    const char* error;   // the start of the error, or ""
    const char* probed;  // the encoders tried, in order
  } cases[] = {
      {"auto, nothing there", "auto", OutputKind::Mp4, {}, "", true, HardwareEncoder::None, "", "", ""},
      {"auto, Quick Sync works",
       "",
       OutputKind::Mkv,
       {},
       "h264_qsv",
       true,
       HardwareEncoder::Qsv,
       "encoder: h264_qsv (Quick Sync)",
       "",
       "h264_qsv"},
      {"auto, NVENC first",
       "auto",
       OutputKind::Mp4,
       {},
       "h264_nvenc h264_vaapi",
       true,
       HardwareEncoder::Nvenc,
       "encoder: h264_nvenc (NVENC)",
       "",
       "h264_nvenc"},
      {"auto, devices but none encodes",
       "auto",
       OutputKind::Mp4,
       {},
       "-h264_nvenc -h264_vaapi -h264_qsv",
       true,
       HardwareEncoder::None,
       "encoder: libx264 (software; h264_nvenc, h264_vaapi, h264_qsv did not work here)",
       "",
       "h264_nvenc h264_vaapi h264_qsv"},
      {"auto, an output that cannot be made again",
       "auto",
       OutputKind::MatroskaStream,
       {},
       "h264_vaapi",
       false,
       HardwareEncoder::None,
       "",
       "",
       ""},
      {"auto, software's CRF given",
       "auto",
       OutputKind::Mp4,
       {"", "23"},
       "h264_vaapi",
       true,
       HardwareEncoder::None,
       "",
       "",
       ""},
      {"auto, VP9 has none here", "auto", OutputKind::Webm, {}, "h264_vaapi", true, HardwareEncoder::None, "", "", ""},
      {"software", "software", OutputKind::Mp4, {}, "h264_vaapi", true, HardwareEncoder::None, "", "", ""},
      {"named, works",
       "vaapi",
       OutputKind::Mp4,
       {"best"},
       "h264_vaapi",
       false,
       HardwareEncoder::Vaapi,
       "encoder: h264_vaapi (VA-API)",
       "",
       "h264_vaapi"},
      {"named, no device",
       "nvenc",
       OutputKind::Mp4,
       {},
       "",
       true,
       HardwareEncoder::None,
       "",
       "--encoder nvenc: h264_nvenc does not work on this machine: no h264_nvenc here",
       "h264_nvenc"},
      {"named, no such encoder of AV1",
       "qsv",
       OutputKind::Mkv,
       {"", "", "av1"},
       "h264_qsv",
       true,
       HardwareEncoder::None,
       "",
       "--encoder qsv: FFmpeg has no hardware encoder of av1 through Quick Sync",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EncoderChoice e;
    std::vector<std::string> f(c.choice.begin(), c.choice.end());
    f.resize(3);
    e.quality = f[0];
    e.crf = f[1].empty() ? -1 : std::stoi(f[1]);
    e.videoCodec = f[2];
    const std::string working = std::string(" ") + c.working + " ";
    std::string probed;
    // A listed encoder works; one listed with a dash has its device there but fails.
    const auto probe = [&](const std::vector<std::string>& arguments, std::string& reason) {
      const std::string line = Joined(arguments);
      const std::size_t at = line.find("-c:v ") + 5;
      const std::string encoder = line.substr(at, line.find(' ', at) - at);
      EXPECT_NE(line.find("-frames:v 1"), std::string::npos) << line;
      probed += (probed.empty() ? "" : " ") + encoder;
      reason = "no " + encoder + " here";
      return working.find(" " + encoder + " ") != std::string::npos;
    };
    const auto device = [&](HardwareEncoder api) {
      return working.find(HardwareEncoderName(api, c.kind, e)) != std::string::npos;
    };
    const EncoderDecision d = DecideEncoder(c.request, c.kind, e, c.restartable, probe, device);
    EXPECT_EQ(d.api, c.chosen);
    EXPECT_EQ(d.note, c.note);
    EXPECT_EQ(d.error.substr(0, std::string(c.error).size()), c.error);
    EXPECT_EQ(d.error.empty(), *c.error == 0);
    EXPECT_EQ(probed, c.probed);
  }
}
