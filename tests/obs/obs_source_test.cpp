// The module in Debian's libobs: loaded, its source registered, fed a known signal through a test audio source,
// and its picture read back from the GPU (a texture render and a stage surface) equal to `tavelmir render --dump`
// of the same samples, in the hd and the classic look; settings taken live; the audio source renamed and removed.
#include <gtest/gtest.h>
#include <obs-module.h>
#include <obs-nix-platform.h>
#include <obs.h>
#include <util/platform.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

// Xlib's own header defines macros (None, Bool) that collide with GoogleTest's names.
extern "C" {
struct _XDisplay;
_XDisplay* XOpenDisplay(const char* name);
int XCloseDisplay(_XDisplay* display);
}

namespace {

constexpr int kRate = 48000;
constexpr int kSignalSamples = kRate;      // one second of music: frames 0 .. 49
constexpr int kSilentSamples = 4 * kRate;  // then the calm tunnel, as long as the test may take to look
constexpr int kLastSignalFrame = 49;
constexpr int kHdWidth = 384, kHdHeight = 216;
constexpr int kClassicWidth = 640, kClassicHeight = 480;  // the 320 x 200 frame at 2 x 2.4: 4:3 exactly
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

// The first frame from `from` on whose picture `picture` is, or -1.
int MatchingFrame(const std::vector<std::uint8_t>& picture, const std::vector<std::vector<std::uint8_t>>& frames,
                  int from) {
  for (int n = from; n < static_cast<int>(frames.size()); ++n)
    if (frames[static_cast<std::size_t>(n)] == picture) return n;
  return -1;
}

// Reads the picture back until it is one of the command line's frames from `from` on; the frame, or -1 after a
// minute (a guard against hanging, not a measure of speed).
int WaitForMatch(obs_source_t* source, int width, int height, const std::vector<std::vector<std::uint8_t>>& frames,
                 int from) {
  for (int tries = 0; tries < 1200; ++tries) {
    const int n = MatchingFrame(ReadBack(source, width, height), frames, from);
    if (n >= 0) return n;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return -1;
}

// The command line's frames of the signal: hd pictures as they are, classic ones enlarged 2 x 2.4 through the
// palette as a screen shows it (entries 0 and 255 black and white).
std::vector<std::vector<std::uint8_t>> RenderFrames(const fs::path& work, const char* look, int width, int height) {
  const fs::path dump = work / (std::string(look) + ".dump");
  fs::remove(dump);
  const std::string command = "XDG_CONFIG_HOME='" + (work / "config").string() + "' '" TAVELMIR_PROGRAM "' render '" +
                              (work / "signal.wav").string() + "' --dump '" + dump.string() + "' --look " + look +
                              " --size " + std::to_string(width) + "x" + std::to_string(height) +
                              " --set PaletteAnimationSpeed=40 --set RadioIndex=1 >/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  const std::vector<std::uint8_t> bytes = ReadFile(dump);
  std::vector<std::vector<std::uint8_t>> frames;
  const bool hd = std::strcmp(look, "hd") == 0;
  const std::size_t frameBytes = hd ? static_cast<std::size_t>(width) * height * 3 : 320 * 200 + 768;
  for (std::size_t at = 0; at + frameBytes <= bytes.size(); at += frameBytes) {
    if (hd) {
      frames.emplace_back(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + frameBytes));
      continue;
    }
    const std::uint8_t* indices = bytes.data() + at;
    std::uint8_t palette[768];
    std::memcpy(palette, indices + 320 * 200, 768);
    std::memset(palette, 0, 3);
    std::memset(palette + 765, 255, 3);
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        // The GPU samples at each pixel's centre.
        const std::uint8_t index = indices[((2 * y + 1) * 200 / (2 * height)) * 320 + (2 * x + 1) * 320 / (2 * width)];
        rgb.insert(rgb.end(), palette + 3 * index, palette + 3 * index + 3);
      }
    frames.push_back(std::move(rgb));
  }
  return frames;
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

}  // namespace

TEST(ObsSource, LoadsRegistersAndDrawsTheCommandLinesFramesForTheSameSamples) {
  const fs::path work = TAVELMIR_TEST_WORK;
  fs::remove_all(work);
  fs::create_directories(work / "config");
  const Signal signal = MakeSignal();
  WriteWav(work / "signal.wav", signal);
  const auto hdFrames = RenderFrames(work, "hd", kHdWidth, kHdHeight);
  const auto classicFrames = RenderFrames(work, "classic", kClassicWidth, kClassicHeight);
  ASSERT_EQ(hdFrames.size(), 250u);
  ASSERT_EQ(classicFrames.size(), 250u);
  // The music moves the picture, so a match names one frame.
  ASSERT_NE(hdFrames[kLastSignalFrame], hdFrames[kLastSignalFrame - 1]);

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
  video.base_width = video.output_width = 1280;
  video.base_height = video.output_height = 720;
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
  const int hdFrame = WaitForMatch(tunnel, kHdWidth, kHdHeight, hdFrames, kLastSignalFrame);
  EXPECT_GE(hdFrame, kLastSignalFrame);
  std::printf("hd picture: the command line's frame %d\n", hdFrame);

  // A new look and size, live: the map is made anew while the effect goes on.
  obs_data_set_string(settings, "look", "classic-nearest");
  obs_data_set_string(settings, "size", (std::to_string(kClassicWidth) + "x" + std::to_string(kClassicHeight)).c_str());
  obs_source_update(tunnel, settings);
  EXPECT_GE(WaitForMatch(tunnel, kClassicWidth, kClassicHeight, classicFrames, std::max(hdFrame, 0)), hdFrame);
  EXPECT_EQ(obs_source_get_width(tunnel), static_cast<std::uint32_t>(kClassicWidth));

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
  EXPECT_EQ(ReadBack(tunnel, kClassicWidth, kClassicHeight).size(),
            static_cast<std::size_t>(kClassicWidth) * kClassicHeight * 3);

  obs_source_dec_showing(tunnel);
  obs_source_release(tunnel);
  obs_data_release(settings);
  obs_shutdown();
  XCloseDisplay(display);
}
