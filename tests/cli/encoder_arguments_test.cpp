// ffmpeg's video arguments for each codec, quality, picture size and frame rate: the measured points as they are
// handed to the encoders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoder_arguments.h"
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
    std::vector<const char*> choice;  // EncoderChoice's fields: quality, crf, preset, tune, codec, fps
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
      {"AV1", Webm, false, {"", "", "", "", "av1"}, 1920, 1080, "libsvtav1 -preset 12 -crf 38 -g 250", "50"},
      {"VP9", Webm, false, {}, 1920, 1080, "libvpx-vp9 -b:v 0 -deadline realtime -cpu-used 8 -row-mt 1 -crf 40", "50"},
      {"GIF", Gif, false, {"", "", "", "", "", "10"}, 320, 200, "", "10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EncoderChoice e;
    e.drawnAtOutputSize = c.hd;
    std::vector<std::string> f(c.choice.begin(), c.choice.end());
    f.resize(6);
    e.quality = f[0];
    e.crf = f[1].empty() ? -1 : std::stoi(f[1]);
    e.preset = f[2];
    e.tune = f[3];
    e.videoCodec = f[4];
    e.framesPerSecond = f[5].empty() ? 0 : std::stoi(f[5]);
    OutputGeometry g;
    g.width = c.width;
    g.height = c.height;
    const std::string line = Joined(FfmpegArguments(c.kind, "pipe:1", g, AudioFeed{}, e));
    EXPECT_NE(line.find(std::string(" -framerate ") + c.rate + " "), std::string::npos) << line;
    if (*c.video == 0) {
      EXPECT_EQ(line.find("-c:v"), std::string::npos) << line;
      continue;
    }
    const std::size_t from = line.find("-c:v "), to = line.find(" -pix_fmt", from);
    ASSERT_NE(to, std::string::npos) << line;
    EXPECT_EQ(line.substr(from + 5, to - from - 5), c.video);
  }
}
