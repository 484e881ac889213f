// The source's life in OBS: sound from the chosen audio source through a capture callback, 50 effect frames a
// second of that sound's time stepped in the video tick, the picture uploaded once per video frame, and the engine
// and the map built by a worker thread whenever a setting needs them anew.
#include "tunnel_source.h"

#include <graphics/graphics.h>
#include <obs-module.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "core/fade_table.h"
#include "source_config.h"
#include "sound_ring.h"
#include "tunnel_picture.h"

namespace {

using Clock = std::chrono::steady_clock;

// Sound kept for the frames: enough for a second's catching up after the source was hidden.
constexpr double kRingSeconds = 2.0;
// Without sound for this long the tunnel goes on at the video's pace with silence: a calm tunnel.
constexpr auto kSoundGap = std::chrono::milliseconds(250);
// How often a source that is gone (removed, or not there yet) is looked for again by name.
constexpr auto kListenRetry = std::chrono::seconds(1);

bool SameFadeAndTexture(const EffectSettings& a, const EffectSettings& b) {
  return SameFadeSettings(a, b) && a.UseTexture == b.UseTexture && std::string(a.TextureName) == b.TextureName;
}

// What the worker is asked to make, and what it made.
struct BuildJob {
  bool effect = false, picture = false;
  SourceConfig config;
  FrameCounters counters{};
  bool firstEffect = false;
};

class TunnelSource {
 public:
  TunnelSource(obs_data_t* settings, obs_source_t* self) : self_(self) {
    obs_module_t* module = obs_current_module();
    const char* data = module ? obs_get_module_data_path(module) : nullptr;
    dataFolder_ = data ? data : "";
    obs_audio_info audio{};
    const int rate = obs_get_audio_info(&audio) ? static_cast<int>(audio.samples_per_sec) : 48000;
    ring_.Reset(rate, kRingSeconds);
    grid_.Reset(rate);
    worker_ = std::thread([this] { Work(); });
    Update(settings);
  }

  ~TunnelSource() {
    {
      std::lock_guard<std::mutex> lock(jobMutex_);
      stopping_ = true;
    }
    jobReady_.notify_one();
    worker_.join();
    StopListening();
    obs_enter_graphics();
    gs_texture_destroy(texture_);
    gs_samplerstate_destroy(point_);
    obs_leave_graphics();
  }

  // The settings dialog's thread: the new settings are taken over by the next video tick.
  void Update(obs_data_t* settings) {
    SourceConfig config = ReadSourceConfig(settings, dataFolder_);
    {
      std::lock_guard<std::mutex> lock(configMutex_);
      pending_ = config;
      pendingNew_ = true;
    }
    shownWidth_ = config.width;
    shownHeight_ = config.height;
    Listen(config.audioSource, true);
  }

  std::uint32_t Width() const { return static_cast<std::uint32_t>(shownWidth_.load()); }
  std::uint32_t Height() const { return static_cast<std::uint32_t>(shownHeight_.load()); }

  void Tick(float seconds) {
    // New settings and a canvas resize are taken even while hidden, and what they need is made by the worker then,
    // so that the source shows at its new size from its first frame shown. Hidden, nothing is stepped or drawn; the
    // sound that arrives meanwhile waits in the ring.
    TakeSettings();
    TakeBuilt();
    if (!obs_source_showing(self_)) return;
    const Clock::time_point now = Clock::now();
    if (now >= nextListen_) {
      nextListen_ = now + kListenRetry;
      Listen(config_.audioSource, false);
    }
    if (!effect_) return;  // the first build is still running: its frames wait
    const int rate = ring_.Rate();
    if (now - ring_.LastArrival() > kSoundGap) {
      silence_ += static_cast<double>(seconds) * rate;
      const auto whole = static_cast<std::int64_t>(std::floor(silence_));
      silence_ -= static_cast<double>(whole);
      ring_.AppendSilence(whole);
    } else {
      silence_ = 0;
    }
    const std::int64_t due = grid_.Due(ring_.End());
    for (std::int64_t i = 0; i < due; ++i) {
      ring_.Block(grid_.BlockStart(grid_.Next()), block_);
      StepTunnelEffect(*effect_, block_);
      grid_.Advance();
    }
    if ((due > 0 || redraw_) && picture_) {
      DrawTunnelPicture(*picture_, *effect_);
      Upload(*picture_);
      redraw_ = false;
    }
  }

  // The picture into the texture, under the graphics lock: whoever renders the source (OBS's video thread, or a
  // plug-in reading it back from another) sees a whole frame.
  void Upload(const TunnelPicture& p) {
    obs_enter_graphics();
    if (!texture_ || gs_texture_get_width(texture_) != static_cast<std::uint32_t>(p.textureWidth) ||
        gs_texture_get_height(texture_) != static_cast<std::uint32_t>(p.textureHeight)) {
      gs_texture_destroy(texture_);
      texture_ = gs_texture_create(p.textureWidth, p.textureHeight, GS_RGBA, 1, nullptr, GS_DYNAMIC);
    }
    if (texture_)
      gs_texture_set_image(texture_, reinterpret_cast<const std::uint8_t*>(p.pixels.data()), p.textureWidth * 4, false);
    shown_ = {p.look, p.width, p.height};
    obs_leave_graphics();
  }

  void Render() {
    if (!texture_) return;
    const Shown p = shown_;
    if (!point_) {
      gs_sampler_info info{};
      info.filter = GS_FILTER_POINT;
      info.max_anisotropy = 1;
      info.address_u = info.address_v = info.address_w = GS_ADDRESS_CLAMP;
      point_ = gs_samplerstate_create(&info);
    }
    // The size OBS lays the source out at. Until the picture for a new size is made, the last one is stretched over
    // it smoothly: never a frame that covers part of the source.
    const int width = static_cast<int>(Width()), height = static_cast<int>(Height());
    if (p.look != TunnelLook::ClassicNearest) {
      const bool madeForSize = p.width == width && p.height == height;
      DrawTexture(texture_, 0, 0, width, height, madeForSize ? point_ : nullptr);
      return;
    }
    const OutputGeometry g = FitOutputGeometry(width, height, false, true);
    DrawTexture(texture_, g.pictureX, g.pictureY, g.pictureWidth, g.pictureHeight, point_);
  }

 private:
  static void OnAudio(void* param, obs_source_t*, const audio_data* audio, bool muted) {
    auto* self = static_cast<TunnelSource*>(param);
    const auto* left = reinterpret_cast<const float*>(audio->data[0]);
    const auto* right = reinterpret_cast<const float*>(audio->data[1]);
    self->ring_.Append(left, right, audio->frames, muted);
  }

  // The default effect's sprite, with `sampler` (null: the effect's own linear one).
  static void DrawTexture(gs_texture_t* texture, int x, int y, int width, int height, gs_samplerstate_t* sampler) {
    gs_effect_t* effect = obs_get_base_effect(OBS_EFFECT_DEFAULT);
    gs_eparam_t* image = gs_effect_get_param_by_name(effect, "image");
    gs_matrix_push();
    gs_matrix_translate3f(static_cast<float>(x), static_cast<float>(y), 0.0f);
    while (gs_effect_loop(effect, "Draw")) {
      gs_effect_set_texture(image, texture);
      if (sampler) gs_effect_set_next_sampler(image, sampler);
      gs_draw_sprite(texture, 0, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    }
    gs_matrix_pop();
  }

  // Follows the chosen audio source: attaches to it when it appears, keeps to it when it is renamed (the settings
  // then take its new name) and lets go when it is removed. `changed`: the settings named another source.
  void Listen(const std::string& name, bool changed) {
    std::lock_guard<std::mutex> lock(listenMutex_);
    obs_source_t* current = listened_ ? obs_weak_source_get_source(listened_) : nullptr;
    if (current && obs_source_removed(current)) {
      obs_source_release(current);
      current = nullptr;
    }
    obs_source_t* wanted = name.empty() ? obs_get_output_source(1) : obs_get_source_by_name(name.c_str());
    if (!wanted && current && !changed && !name.empty()) {
      // Renamed: the same source under a new name.
      wanted = obs_source_get_ref(current);
      RememberName(obs_source_get_name(current));
    }
    if (wanted && (wanted == self_ || (obs_source_get_output_flags(wanted) & OBS_SOURCE_AUDIO) == 0)) {
      obs_source_release(wanted);
      wanted = nullptr;
    }
    if (wanted != current) {
      DetachLocked();
      if (wanted) {
        obs_source_add_audio_capture_callback(wanted, OnAudio, this);
        listened_ = obs_source_get_weak_source(wanted);
      }
    }
    obs_source_release(wanted);
    obs_source_release(current);
  }

  void RememberName(const char* name) {
    obs_data_t* settings = obs_source_get_settings(self_);
    obs_data_set_string(settings, kAudioSourceKey, name);
    obs_data_release(settings);
    config_.audioSource = name;
  }

  void DetachLocked() {
    if (!listened_) return;
    if (obs_source_t* old = obs_weak_source_get_source(listened_)) {
      obs_source_remove_audio_capture_callback(old, OnAudio, this);
      obs_source_release(old);
    }
    obs_weak_source_release(listened_);
    listened_ = nullptr;
  }

  void StopListening() {
    std::lock_guard<std::mutex> lock(listenMutex_);
    DetachLocked();
  }

  // New settings: what the engine takes at once is applied here, the rest is handed to the worker.
  void TakeSettings() {
    SourceConfig config;
    {
      std::lock_guard<std::mutex> lock(configMutex_);
      if (pendingNew_) {
        config = pending_;
        pendingNew_ = false;
      } else if (!CanvasResized(config)) {
        return;
      }
    }
    shownWidth_ = config.width;
    shownHeight_ = config.height;
    BuildJob job;
    job.config = config;
    job.effect = !effect_ || !SameFadeAndTexture(config.settings, config_.settings);
    job.firstEffect = !effect_;
    job.picture =
        !picture_ || config.look != config_.look || config.width != config_.width || config.height != config_.height;
    if (effect_) {
      effect_->engine.ApplySettings(config.settings);
      if (config.palette != config_.palette)
        effect_->engine.SkipPalettes(config.palette - effect_->engine.ShownPalette());
      job.counters = effect_->engine.Counters();
      redraw_ = true;
    }
    config_ = config;
    if (!job.effect && !job.picture) return;
    {
      std::lock_guard<std::mutex> lock(jobMutex_);
      job_ = std::move(job);
      jobNew_ = true;
    }
    jobReady_.notify_one();
  }

  // A source that follows the canvas takes its new size (the user changed the base resolution): the settings as they
  // are, at that size, into `config`.
  bool CanvasResized(SourceConfig& config) const {
    if (!config_.followsCanvas) return false;
    config = config_;
    return ParseSourceSize(kCanvasSize, config.width, config.height) &&
           (config.width != config_.width || config.height != config_.height);
  }

  // What the worker finished replaces what is drawn now; the old objects go back to it to be freed.
  void TakeBuilt() {
    std::unique_lock<std::mutex> lock(jobMutex_, std::try_to_lock);
    if (!lock.owns_lock() || (!builtEffect_ && !builtPicture_)) return;
    if (builtEffect_) {
      if (effect_) builtEffect_->engine.SetCounters(effect_->engine.Counters());
      std::swap(effect_, builtEffect_);
      retiredEffect_ = std::move(builtEffect_);
    }
    if (builtPicture_) {
      std::swap(picture_, builtPicture_);
      retiredPicture_ = std::move(builtPicture_);
    }
    redraw_ = true;
    lock.unlock();
    jobReady_.notify_one();
  }

  void Work() {
    std::unique_lock<std::mutex> lock(jobMutex_);
    for (;;) {
      jobReady_.wait(lock, [this] { return stopping_ || jobNew_ || retiredEffect_ || retiredPicture_; });
      if (stopping_) return;
      std::unique_ptr<TunnelEffect> oldEffect = std::move(retiredEffect_);
      std::unique_ptr<TunnelPicture> oldPicture = std::move(retiredPicture_);
      const bool run = jobNew_;
      BuildJob job = std::move(job_);
      jobNew_ = false;
      lock.unlock();
      oldEffect.reset();
      oldPicture.reset();
      std::unique_ptr<TunnelEffect> effect;
      std::unique_ptr<TunnelPicture> picture;
      std::string error;
      if (run && job.effect) {
        effect = BuildTunnelEffect(dataFolder_, job.config.settings, job.firstEffect ? job.config.palette : -1,
                                   job.counters, error);
        if (!effect) blog(LOG_WARNING, "[obs-tavelmir] %s", error.c_str());
        for (const std::string& w : effect ? effect->warnings : std::vector<std::string>{})
          blog(LOG_WARNING, "[obs-tavelmir] %s", w.c_str());
      }
      if (run && job.picture) {
        picture = std::make_unique<TunnelPicture>();
        if (!PrepareTunnelPicture(*picture, job.config.look, job.config.width, job.config.height, error)) {
          blog(LOG_WARNING, "[obs-tavelmir] %s", error.c_str());
          picture.reset();
        }
      }
      lock.lock();
      if (effect) builtEffect_ = std::move(effect);
      if (picture) builtPicture_ = std::move(picture);
    }
  }

  obs_source_t* self_;
  std::filesystem::path dataFolder_;
  SoundRing ring_;
  FrameGrid grid_;
  double silence_ = 0;
  unsigned char block_[kSoundBlockBytes] = {};

  std::mutex configMutex_;
  SourceConfig pending_;
  bool pendingNew_ = false;
  SourceConfig config_;  // the video thread's
  std::atomic<int> shownWidth_{kDefaultSourceWidth}, shownHeight_{kDefaultSourceHeight};

  std::mutex listenMutex_;
  obs_weak_source_t* listened_ = nullptr;
  Clock::time_point nextListen_{};

  std::unique_ptr<TunnelEffect> effect_;
  std::unique_ptr<TunnelPicture> picture_;
  bool redraw_ = false;
  // What the texture holds; both are touched only under the graphics lock.
  struct Shown {
    TunnelLook look = TunnelLook::Hd;
    int width = 0, height = 0;
  } shown_;
  gs_texture_t* texture_ = nullptr;
  gs_samplerstate_t* point_ = nullptr;

  std::mutex jobMutex_;
  std::condition_variable jobReady_;
  BuildJob job_;
  bool jobNew_ = false, stopping_ = false;
  std::unique_ptr<TunnelEffect> builtEffect_, retiredEffect_;
  std::unique_ptr<TunnelPicture> builtPicture_, retiredPicture_;
  std::thread worker_;
};

}  // namespace

void RegisterTunnelSource() {
  static obs_source_info info = [] {
    obs_source_info i{};
    i.id = kTunnelSourceId;
    i.type = OBS_SOURCE_TYPE_INPUT;
    i.output_flags = OBS_SOURCE_VIDEO | OBS_SOURCE_CUSTOM_DRAW;
    i.icon_type = OBS_ICON_TYPE_AUDIO_OUTPUT;
    i.get_name = [](void*) { return obs_module_text("OmbreloTunnel"); };
    i.create = [](obs_data_t* settings, obs_source_t* source) -> void* { return new TunnelSource(settings, source); };
    i.destroy = [](void* data) { delete static_cast<TunnelSource*>(data); };
    i.update = [](void* data, obs_data_t* settings) { static_cast<TunnelSource*>(data)->Update(settings); };
    i.get_defaults = SourceDefaults;
    i.get_properties = [](void*) {
      obs_module_t* module = obs_current_module();
      const char* data = module ? obs_get_module_data_path(module) : nullptr;
      return SourceProperties(data ? data : "");
    };
    i.get_width = [](void* data) { return static_cast<TunnelSource*>(data)->Width(); };
    i.get_height = [](void* data) { return static_cast<TunnelSource*>(data)->Height(); };
    i.video_tick = [](void* data, float seconds) { static_cast<TunnelSource*>(data)->Tick(seconds); };
    i.video_render = [](void* data, gs_effect_t*) { static_cast<TunnelSource*>(data)->Render(); };
    return i;
  }();
  obs_register_source(&info);
}
