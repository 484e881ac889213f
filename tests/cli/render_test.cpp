// render: size and fit arithmetic, YUV frames, sharp scaling, --start against the whole song, existing outputs,
// interruptions.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "cli_test_support.h"
#include "core/hd_tunnel.h"
#include "core/screen_colours.h"
#include "frame_image.h"
#include "core/frame_resampler.h"
#include "frame_sinks.h"
#include "rgb_to_yuv.h"

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(FrameGeometry, ContainAndCoverPlaceThePictureForAnySize) {
  struct Case {
    int width, height;
    bool cover, fourThirds;
    int x, y, w, h;
  } cases[] = {
      {1920, 1080, false, true, 240, 0, 1440, 1080},    // 4:3 into 16:9: black left and right
      {1920, 1080, false, false, 160, 40, 1600, 1000},  // 16:10: whole pixels (5 x 5) fill 93 % of the height
      {3840, 2160, false, false, 320, 80, 3200, 2000},
      {1920, 1080, true, true, 0, -180, 1920, 1440},  // cover: cut at top and bottom
      {1080, 1920, false, true, 0, 554, 1080, 810},   // 16:9 upright: black above and below, corner even
      {1080, 1920, true, true, -740, 0, 2560, 1920},  // cover upright: cut left and right
      {960, 720, false, true, 0, 0, 960, 720},
      {161, 99, false, true, 14, 0, 132, 99},  // odd, and smaller than the screen
      {320, 200, false, false, 0, 0, 320, 200},
      {16, 16, true, false, -5, 0, 26, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + (c.cover ? " cover" : " contain") +
                 (c.fourThirds ? " 4:3" : " 16:10"));
    const OutputGeometry g = FitOutputGeometry(c.width, c.height, c.cover, c.fourThirds);
    EXPECT_EQ(g.width, c.width);
    EXPECT_EQ(g.height, c.height);
    EXPECT_EQ(g.pictureX, c.x);
    EXPECT_EQ(g.pictureY, c.y);
    EXPECT_EQ(g.pictureWidth, c.w);
    EXPECT_EQ(g.pictureHeight, c.h);
    FrameScaler scaler;
    PrepareFrameScaler(scaler, g);
    // Every screen column and row that lies inside the frame shows, in order, and nothing else does.
    int shown = 0, previous = -1;
    for (int column : scaler.column) {
      if (column < 0) continue;
      EXPECT_GE(column, previous);
      if (column != previous) ++shown;
      previous = column;
    }
    if (!c.cover && c.w >= 320) {
      EXPECT_EQ(shown, 320);
    }
  }
}

TEST(FrameImage, YuvIsLimitedRangeBt709MadeAfterTheEnlargement) {
  // Left half of the screen palette entry 10 (pure red), right half entry 255 (white on the screen).
  std::vector<std::uint8_t> indices(kScreenPixels);
  for (int y = 0; y < kScreenHeight; ++y)
    for (int x = 0; x < kScreenWidth; ++x) indices[y * kScreenWidth + x] = x < 160 ? 10 : 255;
  std::uint8_t palette[768] = {};
  palette[30] = 255;
  // 4:3 into 1280 x 720: the picture is 960 wide from column 160, so the red/white edge falls at column 640.
  FrameScaler scaler;
  PrepareFrameScaler(scaler, FitOutputGeometry(1280, 720, false, true));
  std::vector<std::uint8_t> yuv(1280 * 720 * 3 / 2);
  ScaleFrameToYuv420(scaler, indices.data(), palette, yuv.data());
  const std::uint8_t* y = yuv.data();
  const std::uint8_t* cb = y + 1280 * 720;
  const std::uint8_t* cr = cb + 640 * 360;
  EXPECT_EQ(y[0], 16);    // black around the picture
  EXPECT_EQ(y[160], 63);  // red: 16 + 219 x 0.2126
  EXPECT_EQ(y[639], 63);
  EXPECT_EQ(y[640], 235);  // white
  EXPECT_EQ(cb[0], 128);
  EXPECT_EQ(cr[0], 128);
  EXPECT_EQ(cb[80], 102);
  EXPECT_EQ(cr[80], 240);
  // The chroma sample next to the edge covers red only, the one after it white only: nothing bleeds.
  EXPECT_EQ(cr[319], 240);
  EXPECT_EQ(cr[320], 128);
  EXPECT_EQ(cr[360 * 640 - 1], 128);

  // A picture drawn at the output's size goes through the same conversion from RGB, in fixed point: at most one
  // step from the one made from the indices.
  std::vector<std::uint8_t> rgb(1280 * 720 * 3), fromRgb(yuv.size());
  ScaleFrameToRgb(scaler, indices.data(), palette, rgb.data());
  RgbToYuv420(rgb.data(), 1280, 720, fromRgb.data());
  for (std::size_t i = 0; i < yuv.size(); ++i) ASSERT_LE(std::abs(fromRgb[i] - yuv[i]), 1) << i;
  EXPECT_EQ(fromRgb[160], 63);
  EXPECT_EQ(fromRgb[640], 235);
  // Four bytes a pixel, the fourth anything, give the same bytes.
  std::vector<std::uint8_t> rgbx(1280 * 720 * 4, 0x5a), fromRgbx(yuv.size());
  for (std::size_t i = 0; i < 1280 * 720; ++i) std::copy_n(&rgb[3 * i], 3, &rgbx[4 * i]);
  RgbxToYuv420(rgbx.data(), 1280, 720, fromRgbx.data());
  EXPECT_TRUE(fromRgbx == fromRgb);
}

TEST(FrameImage, PictureDrawnInYuvMatchesTheConversionOfItsRgb) {
  // The tunnel at a video's size from one landscape, drawn in RGB and converted (as --crf 0 still is) and drawn
  // straight in YUV. Every pixel of a picture without blends gives the same luma, and a block of four such pixels of
  // one colour the same chroma; blends round before the conversion one way and after it the other, and chroma rounds
  // each pixel before its average of four: one step apart at most here (two could be, in theory), greys stay grey.
  std::vector<std::uint8_t> landscape(65536);
  for (std::size_t i = 0; i < landscape.size(); ++i)
    landscape[i] = static_cast<std::uint8_t>(i % 7 == 0 ? i * 37 + i / 256 : (i / 256 + i / 4096) & 0xFF);
  struct Case {
    const char* name;
    HdSampling sampling;
    int palette;  // 0: random, 1: grey ramp, 2: primaries and extremes
    int lumaSteps, chromaSteps;
  } cases[] = {
      {"nearest, random", HdSampling::Nearest, 0, 0, 1},      {"sharp, random", HdSampling::Sharp, 0, 1, 1},
      {"bilinear, random", HdSampling::Bilinear, 0, 1, 1},    {"sharp, grey", HdSampling::Sharp, 1, 1, 0},
      {"bilinear, primaries", HdSampling::Bilinear, 2, 1, 1},
  };
  constexpr int kWidth = 322, kHeight = 182;
  std::uint32_t seed = 12345;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint8_t palette[768];
    for (int i = 0; i < 768; ++i) {
      seed = seed * 1664525u + 1013904223u;
      const int primary = (i / 3) % 8;
      palette[i] = static_cast<std::uint8_t>(c.palette == 0   ? seed >> 24
                                             : c.palette == 1 ? i / 3
                                                              : (primary >> (i % 3) & 1) * 255);
    }
    HdTunnel tunnel;
    ASSERT_TRUE(tunnel.Prepare(kWidth, kHeight, CentredHdView(kWidth, kHeight, 1, false), c.sampling));
    std::uint32_t rgbWords[256], yuvWords[256];
    ScreenColourWords(palette, rgbWords);
    YuvColourWords(palette, yuvWords);
    std::vector<std::uint8_t> rgbx(kWidth * kHeight * 4), yuvx(rgbx.size());
    tunnel.Draw(landscape.data(), rgbWords, rgbx.data(), kWidth * 4, 4);
    tunnel.Draw(landscape.data(), yuvWords, yuvx.data(), kWidth * 4, 4);
    std::vector<std::uint8_t> converted(kWidth * kHeight * 3 / 2), drawn(converted.size());
    RgbxToYuv420(rgbx.data(), kWidth, kHeight, converted.data());
    YuvxToYuv420(yuvx.data(), kWidth, kHeight, drawn.data());
    int lumaSteps = 0, chromaSteps = 0, flatBlocks = 0;
    for (std::size_t i = 0; i < converted.size(); ++i) {
      const int steps = std::abs(converted[i] - drawn[i]);
      (i < kWidth * kHeight ? lumaSteps : chromaSteps) =
          std::max(i < kWidth * kHeight ? lumaSteps : chromaSteps, steps);
    }
    // Every 2 x 2 block of one colour: the same three bytes both ways.
    for (int y = 0; y < kHeight; y += 2)
      for (int x = 0; x < kWidth; x += 2) {
        const auto word = [&](int dx, int dy) {
          std::uint32_t w;
          std::memcpy(&w, &rgbx[4 * ((y + dy) * kWidth + x + dx)], 4);
          return w & 0xFFFFFF;
        };
        if (c.sampling != HdSampling::Nearest || word(0, 0) != word(1, 0) || word(0, 0) != word(0, 1) ||
            word(0, 0) != word(1, 1))
          continue;
        ++flatBlocks;
        const std::size_t chroma = static_cast<std::size_t>(kWidth * kHeight + (y / 2) * (kWidth / 2) + x / 2);
        ASSERT_EQ(drawn[y * kWidth + x], converted[y * kWidth + x]) << x << "," << y;
        ASSERT_EQ(drawn[chroma], converted[chroma]) << x << "," << y;
        ASSERT_EQ(drawn[chroma + (kWidth / 2) * (kHeight / 2)], converted[chroma + (kWidth / 2) * (kHeight / 2)]);
      }
    if (c.sampling == HdSampling::Nearest) {
      EXPECT_GT(flatBlocks, 100);
    }
    EXPECT_LE(lumaSteps, c.lumaSteps);
    EXPECT_LE(chromaSteps, c.chromaSteps);
  }
}

// How much of each white screen column (or row) an enlarged line shows: the brightness, 0 .. 1, of the output
// pixels between the centres of its two black neighbours, summed; every third screen column is white.
std::vector<double> Coverage(const std::uint8_t* line, int step, int offset, int picture, int screen, double black,
                             double white) {
  std::vector<double> coverage;
  for (int c = 1; c + 1 < screen; c += 3) {
    double sum = 0;
    for (int x = 0; x < picture; ++x) {
      const double s = (x + 0.5) * screen / picture;
      if (s > c - 0.5 && s < c + 1.5) sum += (line[(offset + x) * step] - black) / (white - black);
    }
    coverage.push_back(sum);
  }
  return coverage;
}

TEST(FrameImage, SharpScalingGivesEveryScreenPixelTheSameSize) {
  std::uint8_t palette[768] = {};
  std::vector<std::uint8_t> columns(kScreenPixels), rows(kScreenPixels);
  for (int y = 0; y < kScreenHeight; ++y)
    for (int x = 0; x < kScreenWidth; ++x) {
      columns[y * kScreenWidth + x] = x % 3 == 1 ? 255 : 0;
      rows[y * kScreenWidth + x] = y % 3 == 1 ? 255 : 0;
    }
  struct Case {
    int width, height;
    bool fourThirds;
    Scaling scaling;
    double spread;  // the difference between the largest and smallest column (row), in output pixels
    int blends;     // most output pixels of a row that are neither black nor white
  } cases[] = {
      {1920, 1080, true, Scaling::Sharp, 0.2, 2 * 214},  // 4.5 x 5.4 output pixels per screen pixel
      {960, 720, true, Scaling::Sharp, 0.2, 0},          // 3 x 3.6
      {1280, 720, true, Scaling::Smooth, 0.2, 400},      // 3 x 3.6, bilinear all the way
      {1920, 1080, true, Scaling::Nearest, 1.0, 0},      // 4 or 5 columns, 5 or 6 rows
      {1920, 1080, false, Scaling::Sharp, 0.0, 0},       // whole pixels, 5 x 5
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " " +
                 std::to_string(static_cast<int>(c.scaling)));
    const OutputGeometry g = FitOutputGeometry(c.width, c.height, false, c.fourThirds);
    FrameScaler scaler;
    PrepareFrameScaler(scaler, g);
    FrameResampler resampler;
    PrepareFrameResampler(resampler, g, c.scaling);
    std::vector<std::uint8_t> yuv(static_cast<std::size_t>(c.width) * c.height * 3 / 2);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(c.width) * c.height * 3);
    // Columns in the luma of a video frame (a middle row), rows in the red of an RGB one (a middle column).
    if (c.scaling == Scaling::Nearest) {
      ScaleFrameToYuv420(scaler, columns.data(), palette, yuv.data());
      ScaleFrameToRgb(scaler, rows.data(), palette, rgb.data());
    } else {
      ResampleFrameToYuv420(resampler, columns.data(), palette, yuv.data());
      ResampleFrameToRgb(resampler, rows.data(), palette, rgb.data());
    }
    const std::vector<double> across = Coverage(yuv.data() + static_cast<std::size_t>(c.height / 2) * c.width, 1,
                                                g.pictureX, g.pictureWidth, kScreenWidth, 16, 235);
    const std::vector<double> down = Coverage(rgb.data() + (g.pictureX + g.pictureWidth / 2) * 3, c.width * 3,
                                              g.pictureY, g.pictureHeight, kScreenHeight, 0, 255);
    for (const auto* sizes : {&across, &down}) {
      const auto [low, high] = std::minmax_element(sizes->begin(), sizes->end());
      if (c.scaling == Scaling::Nearest) {
        EXPECT_GE(*high - *low, c.spread - 0.05) << *low << " .. " << *high;
      } else {
        EXPECT_LE(*high - *low, c.spread + 0.01) << *low << " .. " << *high;
        const double mean = sizes == &across ? g.pictureWidth / 320.0 : g.pictureHeight / 200.0;
        EXPECT_NEAR((*low + *high) / 2, mean, 0.06);
      }
    }
    // Sharp: edges blend over at most two output pixels; smooth: over all of a screen pixel's width.
    int blends = 0;
    for (int x = g.pictureX; x < g.pictureX + g.pictureWidth; ++x) {
      const std::uint8_t v = yuv[static_cast<std::size_t>(c.height / 2) * c.width + x];
      blends += v != 16 && v != 235;
    }
    if (c.scaling == Scaling::Smooth) {
      EXPECT_GE(blends, c.blends);
    } else {
      EXPECT_LE(blends, c.blends);
    }
  }
}

TEST(FrameImage, SharpScalingByWholeFactorsIsNearestNeighboursAndNearestTakesPixelCentres) {
  std::vector<std::uint8_t> indices(kScreenPixels);
  std::uint8_t palette[768];
  for (int i = 0; i < kScreenPixels; ++i) indices[i] = static_cast<std::uint8_t>(i * 7 + i / 320);
  for (int i = 0; i < 768; ++i) palette[i] = static_cast<std::uint8_t>(i * 13);
  for (const OutputGeometry& g :
       {MakeOutputGeometry(2, false), MakeOutputGeometry(3, false), FitOutputGeometry(1920, 1080, false, false)}) {
    SCOPED_TRACE(g.width);
    FrameScaler scaler;
    PrepareFrameScaler(scaler, g);
    FrameResampler resampler;
    PrepareFrameResampler(resampler, g, Scaling::Sharp);
    const std::size_t pixels = static_cast<std::size_t>(g.width) * g.height;
    std::vector<std::uint8_t> nearest(pixels * 3), sharp(pixels * 3);
    ScaleFrameToYuv420(scaler, indices.data(), palette, nearest.data());
    ResampleFrameToYuv420(resampler, indices.data(), palette, sharp.data());
    EXPECT_TRUE(std::equal(sharp.begin(), sharp.begin() + pixels * 3 / 2, nearest.begin()));
    ScaleFrameToRgb(scaler, indices.data(), palette, nearest.data());
    ResampleFrameToRgb(resampler, indices.data(), palette, sharp.data());
    EXPECT_EQ(sharp, nearest);
    // A texture's words: the same colours, each with an opaque alpha.
    std::vector<std::uint8_t> words(pixels * 4), expected(pixels * 4, 255);
    ResampleFrameToRgb(resampler, indices.data(), palette, words.data(), 4);
    for (std::size_t i = 0; i < pixels; ++i) std::copy_n(&nearest[3 * i], 3, &expected[4 * i]);
    EXPECT_EQ(words, expected);
  }
  // At any size the resampler's nearest (what the OBS source checks its point-sampled picture against) is the
  // scaler's: each output pixel the screen pixel under its centre, e.g. rows 0 0 1 1 1 2 2 3 3 3 at 2.4 x.
  for (const OutputGeometry& g :
       {FitOutputGeometry(640, 480, false, true), FitOutputGeometry(1366, 768, false, true)}) {
    SCOPED_TRACE(g.width);
    FrameScaler scaler;
    PrepareFrameScaler(scaler, g);
    FrameResampler resampler;
    PrepareFrameResampler(resampler, g, Scaling::Nearest);
    const std::size_t pixels = static_cast<std::size_t>(g.width) * g.height;
    std::vector<std::uint8_t> scaled(pixels * 3), resampled(pixels * 3);
    ScaleFrameToRgb(scaler, indices.data(), palette, scaled.data());
    ResampleFrameToRgb(resampler, indices.data(), palette, resampled.data());
    EXPECT_EQ(scaled, resampled);
  }
  FrameScaler scaler;
  PrepareFrameScaler(scaler, FitOutputGeometry(640, 480, false, true));
  EXPECT_EQ(std::vector<int>(scaler.row.begin(), scaler.row.begin() + 10),
            (std::vector<int>{0, 0, 1, 1, 1, 2, 2, 3, 3, 3}));
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin = folder.path / "plugin";
    CopyDefaultPluginFolder(plugin);
    // 13 s of a beating tone at 8 kHz.
    std::vector<double> samples;
    for (int i = 0; i < 8000 * 13; ++i)
      samples.push_back(std::floor(20000 * std::sin(i * 0.07) * std::sin(i * 0.0011)));
    WriteAudio(folder.path / "song.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, samples);
  }
  std::string P(const char* name) const { return (folder.path / name).string(); }
  CliRun Render(std::vector<std::string> extra) {
    std::vector<std::string> args = {"render", P("song.wav"), "--plugin-dir", plugin.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCli(args);
  }
  // Files in the folder besides the plug-in folder and the song.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder.path)) {
      const std::string name = e.path().filename().string();
      if (name != "plugin" && name != "song.wav") names.push_back(name);
    }
    return names;
  }
  TempFolder folder;
  fs::path plugin;
};

std::uint64_t Digest(const std::uint8_t* data, std::size_t size) {
  std::uint64_t h = 1469598103934665603ull;
  for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
  return h;
}

TEST_F(RenderTest, StartGivesTheFrameOfTheWholeSongAtThatTime) {
  constexpr std::size_t kFrameBytes = 64000 + 768;
  ASSERT_EQ(Render({"--dump", P("whole.dump"), "--frames", "618"}).status, 0);
  const std::vector<std::uint8_t> whole = ReadBytes(P("whole.dump"));
  ASSERT_EQ(whole.size(), 618 * kFrameBytes);
  const std::uint64_t expected = Digest(whole.data() + 617 * kFrameBytes, kFrameBytes);  // 12.34 s = frame 617
  const std::vector<std::vector<std::string>> ways = {{"--start", "12.34", "--frames", "1"},
                                                      {"-ss", "0:12.340", "-t", "0.02"}};
  for (const auto& way : ways) {
    SCOPED_TRACE(way[1]);
    std::vector<std::string> args = {"--dump", P("part.dump"), "-y"};
    args.insert(args.end(), way.begin(), way.end());
    CliRun run = Render(args);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::uint8_t> part = ReadBytes(P("part.dump"));
    ASSERT_EQ(part.size(), kFrameBytes);
    EXPECT_EQ(Digest(part.data(), part.size()), expected);
  }
  CliRun late = Render({"--dump", P("late.dump"), "--start", "20"});
  EXPECT_EQ(late.status, 1);
  EXPECT_TRUE(Contains(late.err, "past the end")) << late.err;
  EXPECT_FALSE(fs::exists(P("late.dump")));
}

// The tunnel drawn at the output's size, at 320 x 200 with square pixels and one texel a pixel, is the plug-in's
// own frame through the screen's colours, frame for frame; the smooth look writes the same number of RGB frames.
TEST_F(RenderTest, HdLookAt320x200IsThePluginsFrameInColour) {
  constexpr std::size_t kFrameBytes = 64000 + 768, kRgbBytes = 320 * 200 * 3;
  ASSERT_EQ(Render({"--dump", P("classic.dump"), "--frames", "30"}).status, 0);
  CliRun nearest = Render(
      {"--dump", P("nearest.rgb"), "--frames", "30", "--look", "hd-nearest", "--size", "320x200", "--aspect", "16:10"});
  ASSERT_EQ(nearest.status, 0) << nearest.err;
  CliRun hd = Render({"--dump", P("hd.rgb"), "--frames", "30", "--look", "hd", "--size", "64x40"});
  ASSERT_EQ(hd.status, 0) << hd.err;
  EXPECT_EQ(ReadBytes(P("hd.rgb")).size(), 30u * 64 * 40 * 3);
  const std::vector<std::uint8_t> classic = ReadBytes(P("classic.dump")), rgb = ReadBytes(P("nearest.rgb"));
  ASSERT_EQ(classic.size(), 30 * kFrameBytes);
  ASSERT_EQ(rgb.size(), 30 * kRgbBytes);
  for (std::size_t f = 0; f < 30; ++f) {
    const std::uint8_t* indices = classic.data() + f * kFrameBytes;
    const std::uint8_t* palette = indices + 64000;
    for (std::size_t i = 0; i < 64000; ++i) {
      const int index = indices[i];
      for (int c = 0; c < 3; ++c) {
        const int want = index == 0 ? 0 : index == 255 ? 255 : palette[3 * index + c];
        ASSERT_EQ(rgb[f * kRgbBytes + 3 * i + c], want) << "frame " << f << " pixel " << i;
      }
    }
  }
}

TEST_F(RenderTest, AnExistingOutputIsReplacedOnlyWithY) {
  WriteFileText(P("old.dump"), "keep me");
  CliRun refused = Render({"--dump", P("old.dump"), "--frames", "2"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "already exists; add -y")) << refused.err;
  CliRun quiet = Render({"--dump", P("old.dump"), "--frames", "2", "-n"});
  EXPECT_EQ(quiet.status, 1);
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(ReadFileText(P("old.dump")), "keep me");
  // A file made read-only stays, even with -y.
  ASSERT_EQ(::chmod(P("old.dump").c_str(), 0444), 0);
  CliRun readOnly = Render({"--dump", P("old.dump"), "--frames", "2", "-y"});
  EXPECT_EQ(readOnly.status, 1);
  EXPECT_TRUE(Contains(readOnly.err, "cannot replace '" + P("old.dump") + "': it is read-only (mode 0444)"))
      << readOnly.err;
  EXPECT_EQ(ReadFileText(P("old.dump")), "keep me");
  ASSERT_EQ(::chmod(P("old.dump").c_str(), 0640), 0);
  CliRun replaced = Render({"--dump", P("old.dump"), "--frames", "2", "-y"});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  struct stat st {};
  ASSERT_EQ(::stat(P("old.dump").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadBytes(P("old.dump")).size(), 2u * (64000 + 768));

  // The input is never an output, and PNG frames never mix with files already in a folder.
  const std::vector<std::uint8_t> song = ReadBytes(P("song.wav"));
  CliRun self = Render({"--dump", P("song.wav"), "-y"});
  EXPECT_EQ(self.status, 1);
  EXPECT_TRUE(Contains(self.err, "is the input")) << self.err;
  EXPECT_TRUE(ReadBytes(P("song.wav")) == song);
  fs::create_directory(P("frames"));
  WriteFileText(folder.path / "frames" / "frame_000000.png", "an older render");
  CliRun mixed = Render({"-o", P("frames"), "--frames", "2", "-y"});
  EXPECT_EQ(mixed.status, 1);
  EXPECT_TRUE(Contains(mixed.err, "not an empty folder")) << mixed.err;
  EXPECT_EQ(ReadFileText(folder.path / "frames" / "frame_000000.png"), "an older render");
  fs::remove_all(P("frames"));
  EXPECT_EQ(Leftovers(), std::vector<std::string>{"old.dump"});
}

// Names that are no new file: checked before any work, devices and pipes written as they are, links followed.
TEST_F(RenderTest, OutputNamesAreCheckedFirstAndWrittenAsWhatTheyAre) {
  const std::string longest(255 - 4, 'n'), tooLong(256, 'n');
  fs::create_directory(P("real"));
  fs::create_directory_symlink("real", P("linked"));
  fs::create_symlink("nowhere/x.dump", P("dangling.dump"));
  WriteFileText(P("target.dump"), "old");
  fs::create_symlink("target.dump", P("link.dump"));
  struct Case {
    std::vector<std::string> output;  // the output options
    std::string failure;              // part of the message; empty for success
    std::string written;              // what holds the frames afterwards
  } cases[] = {
      {{"--dump", "/dev/null"}, "", ""},
      {{"--dump", P("dangling.dump")}, "which does not exist", ""},
      {{"--dump", P("none/x.dump")}, "the folder '" + P("none") + "' does not exist", ""},
      {{"--dump", P("song.wav") + "/x.dump"}, "is not a folder", ""},
      {{"--dump", P(tooLong.c_str())}, "File name too long", ""},
      {{"--dump", P((longest + ".raw").c_str())}, "", P((longest + ".raw").c_str())},  // no room for a suffix
      {{"--dump", P("link.dump"), "-y"}, "", P("target.dump")},
      {{"-o", P("linked"), "--size", "32x20"}, "", P("real") + "/frame_000001.png"},
      {{"-o", P("100%d 5%%/"), "--size", "32x20"}, "", P("100%d 5%%") + "/frame_000001.png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output[1]);
    std::vector<std::string> args = c.output;
    args.insert(args.end(), {"--frames", "2"});
    if (args[0] == "-o" && FindProgramOnPath("ffmpeg").empty()) continue;
    CliRun run = Render(args);
    if (!c.failure.empty()) {
      EXPECT_EQ(run.status, 1);
      EXPECT_TRUE(Contains(run.err, "cannot write '" + c.output[1] + "': ")) << run.err;
      EXPECT_TRUE(Contains(run.err, c.failure)) << run.err;
      continue;
    }
    EXPECT_EQ(run.status, 0) << run.err;
    if (!c.written.empty()) {
      EXPECT_GE(fs::file_size(c.written), 64u) << c.written;
    }
  }
  EXPECT_TRUE(fs::is_symlink(P("link.dump")));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  // A named pipe receives the stream while it is rendered, with no -y.
  ASSERT_EQ(::mkfifo(P("pipe").c_str(), 0600), 0);
  std::vector<std::uint8_t> received;
  std::thread reader([&] { received = ReadBytes(P("pipe")); });
  CliRun piped = Render({"--dump", P("pipe"), "--frames", "3"});
  reader.join();
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(received.size(), 3u * (64000 + 768));
  EXPECT_TRUE(fs::is_fifo(P("pipe")));
}

// Sound at a low rate ends well before the encoder has the last picture frame: its pipe must close then.
TEST_F(RenderTest, AVideoOfLowRateSoundEnds) {
  if (FindProgramOnPath("ffprobe").empty()) GTEST_SKIP() << "ffmpeg is not installed";
  WriteAudio(P("low.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2000, 1, std::vector<double>(5000, 3000));
  const std::string command = std::string("timeout 120 '") + TAVELMIR_CLI_BINARY + "' render '" + P("low.wav") +
                              "' --plugin-dir '" + plugin.string() + "' -o '" + P("low.mkv") +
                              "' --size 64x48 >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(CommandOutput("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
                          "-of csv=p=0 '" +
                          P("low.mkv") + "'"),
            "125\n");
}

// A named pipe can be read once: the tags are not looked for there, or the render would wait for ever. The video
// replaces a private one with -y and stays private.
TEST_F(RenderTest, AVideoFromANamedPipeReplacesAPrivateFileKeepingItsMode) {
  if (FindProgramOnPath("ffprobe").empty()) GTEST_SKIP() << "ffmpeg is not installed";
  ASSERT_EQ(::mkfifo(P("song.fifo").c_str(), 0600), 0);
  WriteBytes(P("out.mkv"), {1, 2, 3});
  ASSERT_EQ(::chmod(P("out.mkv").c_str(), 0600), 0);
  const std::vector<std::uint8_t> song = ReadBytes(P("song.wav"));
  std::thread writer([&] { WriteBytes(P("song.fifo"), song); });
  // The time limit only keeps a hang from stopping the test run.
  const std::string command = std::string("timeout 300 '") + TAVELMIR_CLI_BINARY + "' render '" + P("song.fifo") +
                              "' --plugin-dir '" + plugin.string() + "' -y -o '" + P("out.mkv") +
                              "' --frames 10 --size 64x48 >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  writer.join();
  ASSERT_EQ(status, 0);
  EXPECT_EQ(CommandOutput("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
                          "-of csv=p=0 '" +
                          P("out.mkv") + "'"),
            "10\n");
  struct stat st {};
  ASSERT_EQ(::stat(P("out.mkv").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(RenderTest, AnInterruptedRenderLeavesNothingUnderTheFinalName) {
  if (FindProgramOnPath("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is not installed";
  // The status a shell reports for a program the signal stopped: 128 + the signal.
  for (auto [signal, status] : {std::pair{"INT", 130}, std::pair{"TERM", 143}}) {
    SCOPED_TRACE(signal);
    const std::string command = std::string("timeout --preserve-status -s ") + signal + " 1.5 '" + TAVELMIR_CLI_BINARY +
                                "' render '" + P("song.wav") + "' --plugin-dir '" + plugin.string() + "' -o '" +
                                P("out.mp4") + "' --size 1920x1080 --preset medium >/dev/null 2>&1";
    const int exit = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(exit));
    EXPECT_EQ(WEXITSTATUS(exit), status);
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});
  }
}

// A file system of `bytes` for one test, where one can be mounted (as root); unmounted by the destructor.
struct SmallDisk {
  SmallDisk(const fs::path& where, std::uintmax_t bytes) : path(where) {
    fs::create_directories(path);
    const std::string command =
        "mount -t tmpfs -o size=" + std::to_string(bytes) + " tmpfs '" + path.string() + "' 2>/dev/null";
    mounted = ::geteuid() == 0 && std::system(command.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted && std::system(("umount '" + path.string() + "'").c_str()) != 0) ADD_FAILURE() << "umount failed";
  }
  fs::path path;
  bool mounted = false;
};

// A full disk at any moment, while the frames go in or while the encoder writes the video's end (its index, after
// the last frame), and a device that takes nothing: the render fails with the reason, exit 1, nothing is reported
// written, and an older file stays byte for byte.
TEST_F(RenderTest, AFullDiskFailsTheRenderAndKeepsTheOldFile) {
  if (FindProgramOnPath("ffprobe").empty()) GTEST_SKIP() << "ffmpeg is not installed";
  for (const char* option : {"--dump", "-o"}) {
    SCOPED_TRACE(option);
    CliRun run = Render({option, "/dev/full", "--frames", "20"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "cannot write '/dev/full': No space left on device")) << run.err;
    EXPECT_FALSE(Contains(run.out, "wrote")) << run.out;
  }
  ASSERT_EQ(Render({"-o", P("whole.mp4"), "--size", "64x48"}).status, 0);
  const std::uintmax_t whole = fs::file_size(P("whole.mp4")), page = 4096;
  const std::vector<std::uint8_t> old(3000, 0x5a);
  const struct {
    const char* name;
    std::vector<std::string> options;
    std::uintmax_t bytes;  // the file system's size: one page for the old file, the rest for the new one
  } cases[] = {
      {"old.mkv", {"--size", "64x48"}, 4 * page},
      {"old.dump", {"--frames", "20"}, 8 * page},
      // Every frame fits; the video's index does not.
      {"old.mp4", {"--size", "64x48"}, ((whole - 1) / page + 1) * page},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SmallDisk disk(folder.path / "small", c.bytes);
    if (!disk.mounted) GTEST_SKIP() << "a small file system cannot be mounted here (it needs root)";
    const std::string out = (disk.path / c.name).string();
    WriteBytes(out, old);
    std::vector<std::string> args = {std::string(c.name) == "old.dump" ? "--dump" : "-o", out, "-y"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    CliRun run = Render(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "cannot write '" + out + "': No space left on device")) << run.err;
    EXPECT_TRUE(Contains(run.err, "'" + out + "' was left as it was")) << run.err;
    EXPECT_TRUE(ReadBytes(out) == old);
    EXPECT_EQ(std::distance(fs::directory_iterator(disk.path), fs::directory_iterator()), 1);
  }
}

// Standard input and output by either of their names, pipes and process substitutions: read once, for every kind
// of output; a terminal where bytes are meant is refused at once.
TEST_F(RenderTest, PipesAndStandardStreamsServeEveryOutput) {
  if (FindProgramOnPath("ffprobe").empty()) GTEST_SKIP() << "ffmpeg is not installed";
  WriteBytes(P("blocks.raw"), MakeWaveformBlocks(6));
  ASSERT_EQ(::mkfifo(P("song.fifo").c_str(), 0600), 0);
  // An MP4 as ffmpeg writes it by default, its index after the samples: a pipe has to be read to its end first.
  ASSERT_EQ(std::system(("ffmpeg -v error -i '" + P("song.wav") + "' -c:a aac '" + P("song.m4a") + "'").c_str()), 0);
  const std::string cli = std::string("'") + TAVELMIR_CLI_BINARY + "' render --plugin-dir '" + plugin.string() + "' ";
  constexpr std::uintmax_t kFrame = 64000 + 768;
  const struct {
    std::string command;   // run by bash in the test's folder
    const char* written;   // what holds the frames
    std::uintmax_t bytes;  // its size; 0: a picture ffprobe reads
  } cases[] = {
      {"- --dump - --frames 4 < song.wav > a.dump", "a.dump", 4 * kFrame},
      {"/dev/stdin --dump /dev/stdout --frames 4 < song.wav > b.dump", "b.dump", 4 * kFrame},
      {"--waveform - --dump c.dump < blocks.raw", "c.dump", 6 * kFrame},
      {"--waveform /dev/stdin --dump /dev/stdout < blocks.raw > d.dump", "d.dump", 6 * kFrame},
      {"- -o /dev/stdout --frames 10 --size 64x48 < song.wav > e.mkv", "e.mkv", 0},
      {"<(cat song.wav) -o f.mp4 --frames 10 --size 64x48", "f.mp4", 0},
      {"- -o g.gif --frames 10 < <(cat song.wav)", "g.gif", 0},
      {"- -o h.png --start 1 < <(cat song.wav)", "h.png", 0},
      {"<(cat song.m4a) -o j.mkv --frames 10 --size 64x48", "j.mkv", 0},
      {"- --dump k.dump --frames 4 < <(cat song.m4a)", "k.dump", 4 * kFrame},
      {"song.fifo -o i.webm --frames 10 --size 64x48 & cat song.wav > song.fifo; wait $!", "i.webm", 0},
      {"--waveform song.fifo -o frames/ --size 32x20 & cat blocks.raw > song.fifo; wait $!", "frames", 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    const std::string command =
        "cd '" + folder.path.string() + "' && timeout 300 bash -c \"" + cli + c.command + "\" 2>err.txt";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadFileText(P("err.txt"));
    const fs::path written = folder.path / c.written;
    if (fs::is_directory(written))
      EXPECT_EQ(static_cast<std::uintmax_t>(std::distance(fs::directory_iterator(written), fs::directory_iterator())),
                c.bytes);
    else if (c.bytes > 0)
      EXPECT_EQ(fs::file_size(written), c.bytes);
    else
      EXPECT_EQ(CommandOutput("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" + written.string() +
                              "' | head -1"),
                "video\n");
  }
  // A terminal as standard input or where frames would go; the sound of a pipe cannot be copied from it again.
  const struct {
    std::string command;
    const char* message;
  } refused[] = {
      {"- --dump x.dump", "standard input, which is a terminal"},
      {"--waveform /dev/stdin --dump x.dump", "standard input, which is a terminal"},
      {"song.wav --dump -", "a terminal here: redirect it"},
      {"song.wav -o /dev/stdout", "a terminal here: pipe it"},
      {"song.fifo -o x.mkv --audio-codec copy", "a pipe cannot be read twice"},
  };
  if (FindProgramOnPath("script").empty()) GTEST_SKIP() << "script (util-linux) is not installed";
  for (const auto& r : refused) {
    SCOPED_TRACE(r.command);
    const std::string command =
        "cd '" + folder.path.string() + "' && script -qec \"" + cli + r.command + "\" /dev/null > out.txt 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2) << ReadFileText(P("out.txt"));
    EXPECT_TRUE(Contains(ReadFileText(P("out.txt")), r.message)) << ReadFileText(P("out.txt"));
  }
  EXPECT_FALSE(fs::exists(P("x.dump")));
}

TEST_F(RenderTest, MatroskaGoesToStandardOutput) {
  if (FindProgramOnPath("ffprobe").empty()) GTEST_SKIP() << "ffmpeg is not installed";
  const std::string command = std::string("'") + TAVELMIR_CLI_BINARY + "' render '" + P("song.wav") +
                              "' --plugin-dir '" + plugin.string() + "' -o - --frames 10 --size 320x240 > '" +
                              P("stream.mkv") + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string probe = CommandOutput(
      "ffprobe -v error -count_frames -show_entries stream=codec_name,nb_read_frames,color_space -of csv=p=0 '" +
      P("stream.mkv") + "'");
  EXPECT_EQ(probe.substr(0, 18), "h264,bt709,10\naac,") << probe;
}

}  // namespace
