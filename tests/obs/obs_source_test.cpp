// The module in Debian's libobs: loaded, its source registered, fed a known signal through a test audio source,
// and its picture read back from the GPU (a texture render and a stage surface) equal to `tavelmir render --dump`
// of the same samples, in the hd look and the classic ones (nearest, and sharp at a size and at the canvas's, which it
// follows, also while hidden); settings taken live; the audio source renamed and removed.
#include <gtest/gtest.h>
#include <obs-module.h>
#include <obs-nix-platform.h>
#include <obs.h>
#include <util/platform.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/frame_resampler.h"
#include "core/output_geometry.h"
#include "core/screen_colours.h"

namespace fs = std::filesystem;

// Xlib's own header defines macros (None, Bool) that collide with GoogleTest's names.
extern "C" {
struct _XDisplay;
_XDisplay* XOpenDisplay(const char* name);
int XCloseDisplay(_XDisplay* display);
}

namespace {

constexpr int kRate = 48000;
constexpr int kSignalSamples = kRate;  // one second of music: frames 0 .. 49
// Then the calm tunnel, for as long as the test may run (its timeout): however slowly a busy machine lets it look,
// the source cannot step past the command line's frames. They are read only as far as the source has got.
constexpr int kSilentSamples = 300 * kRate;
constexpr int kLastSignalFrame = 49;
constexpr int kHdWidth = 384, kHdHeight = 216;
constexpr int kClassicWidth = 640, kClassicHeight = 480;  // the 320 x 200 frame at 2 x 2.4: 4:3 exactly
constexpr int kCanvasWidth = 1280, kCanvasHeight = 720;
constexpr const char kTunnelId[] = "ombrelo_tunnel_source";

// A chord with a beat and some noise, as 16-bit samples, so the 8-bit values OBS's floats and the file give agree.
std::int16_t Sample(int channel, int i) {
  const double t = static_cast<double>(i) / kRate;
  const double beat = (i / (kRate / 8)) % 2 ? 0.3 : 1.0;
  static std::uint32_t noise = 12345;
  noise = noise * 1664525u + 1013904223u;
  const double v =
      beat * (9000 * std::sin(2 * M_PI * (channel ? 220 : 110) * t) + 5000 * std::sin(2 * M_PI * 1375 * t)) +
      static_cast<double>(static_cast<int>(noise >> 20) - 2048);
  return static_cast<std::int16_t>(std::lround(v));
}

struct Signal {
  std::vector<std::int16_t> samples[2];
};

Signal MakeSignal() {
  Signal s;
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < kSignalSamples; ++i) s.samples[c].push_back(Sample(c, i));
  return s;
}

void WriteWav(const fs::path& file, const Signal& s) {
  const std::uint32_t frames = kSignalSamples + kSilentSamples, bytes = frames * 4;
  std::ofstream out(file, std::ios::binary);
  auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  out.write("RIFF", 4);
  u32(36 + bytes);
  out.write("WAVEfmt ", 8);
  u32(16), u16(1), u16(2), u32(kRate), u32(kRate * 4), u16(4), u16(16);
  out.write("data", 4);
  u32(bytes);
  for (std::uint32_t i = 0; i < frames; ++i)
    for (int c = 0; c < 2; ++c) u16(static_cast<std::uint16_t>(i < kSignalSamples ? s.samples[c][i] : 0));
}

std::vector<std::uint8_t> ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The source's picture at width x height, red, green, blue a pixel, top row first.
std::vector<std::uint8_t> ReadBack(obs_source_t* source, int width, int height) {
  std::vector<std::uint8_t> rgb;
  obs_enter_graphics();
  gs_texrender_t* render = gs_texrender_create(GS_RGBA, GS_ZS_NONE);
  gs_stagesurf_t* stage = gs_stagesurface_create(width, height, GS_RGBA);
  if (gs_texrender_begin(render, width, height)) {
    vec4 clear;
    vec4_zero(&clear);
    gs_clear(GS_CLEAR_COLOR, &clear, 0.0f, 0);
    gs_ortho(0.0f, static_cast<float>(width), 0.0f, static_cast<float>(height), -100.0f, 100.0f);
    gs_blend_state_push();
    gs_blend_function(GS_BLEND_ONE, GS_BLEND_ZERO);
    obs_source_video_render(source);
    gs_blend_state_pop();
    gs_texrender_end(render);
    gs_stage_texture(stage, gs_texrender_get_texture(render));
    std::uint8_t* data = nullptr;
    std::uint32_t pitch = 0;
    if (gs_stagesurface_map(stage, &data, &pitch)) {
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
          for (int c = 0; c < 3; ++c) rgb.push_back(data[y * pitch + x * 4 + c]);
      gs_stagesurface_unmap(stage);
    }
  }
  gs_stagesurface_destroy(stage);
  gs_texrender_destroy(render);
  obs_leave_graphics();
  return rgb;
}

// The command line's frame: the 320 x 200 indices and the display palette.
struct ClassicFrame {
  std::vector<std::uint8_t> indices;
  std::uint8_t palette[768];
};

ClassicFrame MakeClassicFrame(const std::vector<std::uint8_t>& dumped) {
  ClassicFrame frame;
  frame.indices.assign(dumped.begin(), dumped.begin() + 320 * 200);
  std::memcpy(frame.palette, dumped.data() + 320 * 200, 768);
  return frame;
}

// `tavelmir render --dump -` of the signal, read through a pipe as far as the test asks, so the command line renders
// only as far as the source got: the hd look's frames at width x height, the classic look's as the 320 x 200 frame
// with its palette.
class DumpStream {
 public:
  DumpStream(const fs::path& work, bool hd, int width, int height)
      : frameBytes_(hd ? static_cast<std::size_t>(width) * height * 3 : 320 * 200 + 768) {
    const std::string look = hd ? "hd --size " + std::to_string(width) + "x" + std::to_string(height) : "classic";
    const std::string command = "XDG_CONFIG_HOME='" + (work / "config").string() + "' '" TAVELMIR_PROGRAM "' render '" +
                                (work / "signal.wav").string() + "' --dump - --look " + look +
                                " --set PaletteAnimationSpeed=40 --set RadioIndex=1 2>>'" +
                                (work / "render.log").string() + "'";
    pipe_ = ::popen(command.c_str(), "r");
    EXPECT_NE(pipe_, nullptr) << command;
  }
  // Closing the pipe ends the command line where it stands.
  ~DumpStream() {
    if (pipe_) ::pclose(pipe_);
  }
  DumpStream(const DumpStream&) = delete;
  DumpStream& operator=(const DumpStream&) = delete;

  // Frame `n`; null past the song's end, or for a frame let go.
  const std::vector<std::uint8_t>* Frame(int n) {
    while (pipe_ && first_ + static_cast<int>(frames_.size()) <= n) {
      std::vector<std::uint8_t> frame(frameBytes_);
      if (std::fread(frame.data(), 1, frameBytes_, pipe_) != frameBytes_) return nullptr;
      frames_.push_back(std::move(frame));
    }
    return n >= first_ && n < first_ + static_cast<int>(frames_.size()) ? &frames_[static_cast<std::size_t>(n - first_)]
                                                                        : nullptr;
  }
  // The frames before `n` are not looked at again.
  void Forget(int n) {
    for (; first_ < n && !frames_.empty(); ++first_) frames_.pop_front();
  }

 private:
  std::size_t frameBytes_;
  std::FILE* pipe_ = nullptr;
  std::deque<std::vector<std::uint8_t>> frames_;
  int first_ = 0;  // the number of frames_.front()
};

// The classic look of `frame` at width x height, red, green, blue a pixel, as `tavelmir render --look classic
// --size WxH` enlarges it for its videos and PNG frames with --scaling sharp or nearest (each pixel the frame pixel
// under its centre, as the GPU's point sampling picks it).
std::vector<std::uint8_t> ClassicPicture(const ClassicFrame& frame, int width, int height, bool sharp) {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3, 0);
  FrameResampler resampler;
  PrepareFrameResampler(resampler, FitOutputGeometry(width, height, false, true),
                        sharp ? Scaling::Sharp : Scaling::Nearest);
  ResampleFrameToRgb(resampler, frame.indices.data(), frame.palette, rgb.data());
  return rgb;
}

// Which frame's classic look a picture is. Frames are told apart first by probes, output pixels that show one frame
// pixel unblended (its colour through the screen's palette), and only a frame whose probes all agree is enlarged and
// compared whole, so that looking through many frames stays cheap.
class ClassicPictures {
 public:
  ClassicPictures(DumpStream& frames, int width, int height, bool sharp)
      : frames_(frames), width_(width), height_(height), sharp_(sharp) {
    const OutputGeometry g = FitOutputGeometry(width, height, false, true);
    FrameResampler taps;
    PrepareFrameResampler(taps, g, sharp ? Scaling::Sharp : Scaling::Nearest);
    for (int py = 1; py < 16; ++py)
      for (int px = 1; px < 16; ++px) {
        const int x = g.pictureX + g.pictureWidth * px / 16, y = g.pictureY + g.pictureHeight * py / 16;
        const ResampleTap& column = taps.column[static_cast<std::size_t>(x)];
        const ResampleTap& row = taps.row[static_cast<std::size_t>(y)];
        if (column.weight != 0 || row.weight != 0) continue;
        probes_.push_back({(static_cast<std::size_t>(y) * width + x) * 3, row.first * 320 + column.first});
      }
  }

  // The first frame from `from` up to `until` that `picture` shows, or -1.
  int Find(const std::vector<std::uint8_t>& picture, int from, int until) const {
    if (picture.size() != static_cast<std::size_t>(width_) * height_ * 3) return -1;
    frames_.Forget(from);
    for (int n = from; n < until; ++n) {
      const std::vector<std::uint8_t>* dumped = frames_.Frame(n);
      if (!dumped) break;
      const ClassicFrame frame = MakeClassicFrame(*dumped);
      std::uint8_t palette[768];
      ScreenPalette(frame.palette, palette);
      bool agree = true;
      for (const Probe& p : probes_)
        agree = agree &&
                std::memcmp(&picture[p.at], palette + 3 * frame.indices[static_cast<std::size_t>(p.index)], 3) == 0;
      if (agree && picture == ClassicPicture(frame, width_, height_, sharp_)) return n;
    }
    return -1;
  }

 private:
  struct Probe {
    std::size_t at;  // the output pixel's first byte
    int index;       // the frame pixel it shows
  };
  DumpStream& frames_;
  int width_, height_;
  bool sharp_;
  std::vector<Probe> probes_;
};

// Reads the picture back until `find` names the command line's frame it is (or -1); the frame, or -1 after a minute
// (a guard against hanging, not a measure of speed).
template <typename Find>
int WaitForFrame(obs_source_t* source, int width, int height, Find find) {
  for (int tries = 0; tries < 1200; ++tries) {
    if (const int n = find(ReadBack(source, width, height)); n >= 0) return n;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return -1;
}

// A source of sound only, which the test feeds itself.
obs_source_info ToneInfo() {
  obs_source_info info{};
  info.id = "tavelmir_test_tone";
  info.type = OBS_SOURCE_TYPE_INPUT;
  info.output_flags = OBS_SOURCE_AUDIO;
  info.get_name = [](void*) { return "Test tone"; };
  info.create = [](obs_data_t*, obs_source_t* source) -> void* { return source; };
  info.destroy = [](void*) {};
  return info;
}

void FeedSignal(obs_source_t* tone, const Signal& s) {
  std::vector<float> left(1024), right(1024);
  const std::uint64_t start = os_gettime_ns();
  for (int at = 0; at < kSignalSamples; at += 1024) {
    const int count = std::min(1024, kSignalSamples - at);
    for (int i = 0; i < count; ++i) {
      left[static_cast<std::size_t>(i)] = s.samples[0][static_cast<std::size_t>(at + i)] / 32768.0f;
      right[static_cast<std::size_t>(i)] = s.samples[1][static_cast<std::size_t>(at + i)] / 32768.0f;
    }
    obs_source_audio audio{};
    audio.data[0] = reinterpret_cast<const std::uint8_t*>(left.data());
    audio.data[1] = reinterpret_cast<const std::uint8_t*>(right.data());
    audio.frames = static_cast<std::uint32_t>(count);
    audio.speakers = SPEAKERS_STEREO;
    audio.format = AUDIO_FORMAT_FLOAT_PLANAR;
    audio.samples_per_sec = kRate;
    audio.timestamp = start + static_cast<std::uint64_t>(at) * 1000000000ull / kRate;
    obs_source_output_audio(tone, &audio);
  }
}

std::string SettingString(obs_source_t* source, const char* key) {
  obs_data_t* settings = obs_source_get_settings(source);
  std::string value = obs_data_get_string(settings, key);
  obs_data_release(settings);
  return value;
}

// Waits until OBS's video thread has begun `count` more ticks (each one ticks every source, then draws).
void WaitForVideoTicks(int count) {
  std::atomic<int> ticks{0};
  auto onTick = [](void* param, float) { static_cast<std::atomic<int>*>(param)->fetch_add(1); };
  obs_add_tick_callback(onTick, &ticks);
  for (int tries = 0; tries < 1200 && ticks.load() < count; ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  obs_remove_tick_callback(onTick, &ticks);
}

}  // namespace

TEST(ObsSource, LoadsRegistersAndDrawsTheCommandLinesFramesForTheSameSamples) {
  const fs::path work = TAVELMIR_TEST_WORK;
  fs::remove_all(work);
  fs::create_directories(work / "config");
  const Signal signal = MakeSignal();
  WriteWav(work / "signal.wav", signal);
  DumpStream hdFrames(work, true, kHdWidth, kHdHeight);
  DumpStream classicFrames(work, false, 320, 200);
  // The music moves the picture, so a match names one frame.
  ASSERT_NE(hdFrames.Frame(kLastSignalFrame - 1), nullptr);
  ASSERT_NE(hdFrames.Frame(kLastSignalFrame), nullptr);
  ASSERT_NE(*hdFrames.Frame(kLastSignalFrame), *hdFrames.Frame(kLastSignalFrame - 1));

  _XDisplay* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr) << "no X display (the test runs under xvfb-run)";
  obs_set_nix_platform(OBS_NIX_PLATFORM_X11_EGL);
  obs_set_nix_platform_display(display);
  ASSERT_TRUE(obs_startup("en-US", nullptr, nullptr));
  obs_audio_info audio{kRate, SPEAKERS_STEREO};
  ASSERT_TRUE(obs_reset_audio(&audio));
  obs_video_info video{};
  video.graphics_module = "libobs-opengl";
  video.fps_num = 30;
  video.fps_den = 1;
  video.base_width = video.output_width = kCanvasWidth;
  video.base_height = video.output_height = kCanvasHeight;
  video.output_format = VIDEO_FORMAT_NV12;
  video.gpu_conversion = true;
  video.colorspace = VIDEO_CS_709;
  video.range = VIDEO_RANGE_PARTIAL;
  video.scale_type = OBS_SCALE_BICUBIC;
  ASSERT_EQ(obs_reset_video(&video), OBS_VIDEO_SUCCESS);

  obs_module_t* module = nullptr;
  ASSERT_EQ(obs_open_module(&module, TAVELMIR_OBS_MODULE, TAVELMIR_OBS_DATA), MODULE_SUCCESS);
  ASSERT_TRUE(obs_init_module(module));
  bool listed = false;
  const char* id = nullptr;
  for (std::size_t i = 0; obs_enum_input_types(i, &id); ++i) listed = listed || std::strcmp(id, kTunnelId) == 0;
  EXPECT_TRUE(listed);
  EXPECT_STREQ(obs_source_get_display_name(kTunnelId), "Ombrelo Tunnel");

  static const obs_source_info tone_info = ToneInfo();
  obs_register_source(&tone_info);
  obs_source_t* tone = obs_source_create("tavelmir_test_tone", "tone", nullptr, nullptr);
  obs_data_t* settings = obs_data_create();
  obs_data_set_string(settings, "audio_source", "tone");
  obs_data_set_string(settings, "look", "hd");
  obs_data_set_string(settings, "size", (std::to_string(kHdWidth) + "x" + std::to_string(kHdHeight)).c_str());
  obs_data_set_int(settings, "PaletteAnimationSpeed", 40);
  obs_data_set_int(settings, "RadioIndex", 1);
  obs_source_t* tunnel = obs_source_create(kTunnelId, "tunnel", settings, nullptr);
  ASSERT_NE(tunnel, nullptr);
  EXPECT_EQ(obs_source_get_width(tunnel), static_cast<std::uint32_t>(kHdWidth));

  // Hidden, the source draws nothing and keeps what it hears; shown, it draws the frames of that second and then,
  // with no more sound, goes on calmly with the command line's frames of the silence that follows.
  FeedSignal(tone, signal);
  obs_source_inc_showing(tunnel);
  const auto shownAt = std::chrono::steady_clock::now();
  // A bound on the frame shown: the source steps 50 frames a second of sound or, without sound, of its own time.
  const auto shownUntil = [&] {
    const std::chrono::duration<double> since = std::chrono::steady_clock::now() - shownAt;
    return static_cast<int>(since.count() * 50) + 100;
  };
  const int hdFrame = WaitForFrame(tunnel, kHdWidth, kHdHeight, [&](const std::vector<std::uint8_t>& picture) {
    for (int n = kLastSignalFrame; n < shownUntil(); ++n) {
      const std::vector<std::uint8_t>* dumped = hdFrames.Frame(n);
      if (!dumped) break;
      if (*dumped == picture) return n;
    }
    return -1;
  });
  EXPECT_GE(hdFrame, kLastSignalFrame);
  std::printf("hd picture: the command line's frame %d\n", hdFrame);

  // New looks and sizes, live: the map is made anew while the effect goes on. "canvas" is the canvas's size, and
  // follows it when the canvas changes (the user's base resolution, which resets OBS's video).
  struct LookChange {
    const char* look;
    const char* size;
    int canvasWidth, canvasHeight;  // the canvas resized to this (the settings untouched); 0: the settings changed
    int width, height;              // the source's size then
    bool sharp;
    bool hidden;  // the source hidden while the canvas is resized, and shown again
  };
  const LookChange changes[] = {
      {"classic-nearest", "640x480", 0, 0, kClassicWidth, kClassicHeight, false, false},
      {"classic", "640x480", 0, 0, kClassicWidth, kClassicHeight, true, false},
      {"classic", "canvas", 0, 0, kCanvasWidth, kCanvasHeight, true, false},
      {"classic", "canvas", 1366, 768, 1366, 768, true, true},
      {"classic", "canvas", 800, 600, 800, 600, true, false},
      {"classic", "canvas", 640, 720, 640, 720, true, false},
  };
  int frame = std::max(hdFrame, 0);
  for (const LookChange& change : changes) {
    SCOPED_TRACE(std::string(change.look) + " at " + change.size + " " + std::to_string(change.width) + "x" +
                 std::to_string(change.height));
    ClassicPictures pictures(classicFrames, change.width, change.height, change.sharp);
    if (change.hidden) obs_source_dec_showing(tunnel);
    if (change.canvasWidth) {
      video.base_width = video.output_width = static_cast<std::uint32_t>(change.canvasWidth);
      video.base_height = video.output_height = static_cast<std::uint32_t>(change.canvasHeight);
      ASSERT_EQ(obs_reset_video(&video), OBS_VIDEO_SUCCESS);
    } else {
      obs_data_set_string(settings, "look", change.look);
      obs_data_set_string(settings, "size", change.size);
      obs_source_update(tunnel, settings);
    }
    if (change.hidden) {
      // Hidden, the source takes its new size and has its picture made, drawing nothing; shown again, the first
      // frame it draws (in the first video tick after showing) is at that size.
      for (int tries = 0; tries < 200 && obs_source_get_width(tunnel) != static_cast<std::uint32_t>(change.width);
           ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      obs_source_inc_showing(tunnel);
      WaitForVideoTicks(2);
      EXPECT_GE(pictures.Find(ReadBack(tunnel, change.width, change.height), frame, shownUntil()), frame)
          << "the first frame shown is not at the new size";
    }
    const int shown = WaitForFrame(tunnel, change.width, change.height, [&](const std::vector<std::uint8_t>& picture) {
      return pictures.Find(picture, frame, shownUntil());
    });
    EXPECT_GE(shown, frame);
    std::printf("%s at %dx%d: the command line's frame %d\n", change.look, change.width, change.height, shown);
    frame = std::max(shown, frame);
    EXPECT_EQ(obs_source_get_width(tunnel), static_cast<std::uint32_t>(change.width));
    EXPECT_EQ(obs_source_get_height(tunnel), static_cast<std::uint32_t>(change.height));
  }
  const int kLastWidth = 640, kLastHeight = 720;

  // The audio source renamed: the source keeps listening and takes the new name; removed: it goes on calmly.
  obs_source_set_name(tone, "renamed tone");
  std::string listened;
  for (int tries = 0; tries < 200 && listened != "renamed tone"; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    listened = SettingString(tunnel, "audio_source");
  }
  EXPECT_EQ(listened, "renamed tone");
  obs_source_remove(tone);
  obs_source_release(tone);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(ReadBack(tunnel, kLastWidth, kLastHeight).size(), static_cast<std::size_t>(kLastWidth) * kLastHeight * 3);

  obs_source_dec_showing(tunnel);
  obs_source_release(tunnel);
  obs_data_release(settings);
  obs_shutdown();
  XCloseDisplay(display);
  fs::remove(work / "signal.wav");  // five minutes of sound, not kept
}
