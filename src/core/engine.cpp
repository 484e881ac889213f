// The engine: one build of the tables from a data set, then one frame per waveform block.
#include "core/engine.h"

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <utility>

#include "core/fade_table.h"
#include "core/frame_stages.h"
#include "core/palette_animation.h"
#include "core/table_builder.h"

namespace {

// Indexed by the build status; the texture (7) and the fade table (8) have no message of their own.
constexpr const char* kAllocationTexts[12] = {
    nullptr,
    "Error allocating memory for tunnel table",
    "Error allocating memory for perspective table",
    "Error allocating memory for conversion table",
    "Error allocating memory for texture",
    "Error allocating memory for fade table",
    "Error allocating memory for landscape-table",
    nullptr,
    nullptr,
    "Error allocating memory for wave-table #0",
    "Error allocating memory for wave-table #1",
    "Error allocating memory for the final wave-table",
};

void* DefaultAllocate(std::size_t bytes) { return std::malloc(bytes); }

}  // namespace

const char* EngineBuildAllocationText(int status) {
  return status >= 0 && status < static_cast<int>(std::size(kAllocationTexts)) ? kAllocationTexts[status] : nullptr;
}

EngineBuildStatus Engine::Build(EngineInputs&& inputs, std::int32_t width, std::int32_t height,
                                EngineAllocator allocate) {
  Release();
  settings_ = inputs.Settings;
  params_ = DeriveEffectParams(settings_);
  const bool textureRead = inputs.Texture.size() >= static_cast<std::size_t>(kFadeTableBytes);
  const bool fadeRead = inputs.FadeTable.size() == static_cast<std::size_t>(kFadeTableBytes);
  const TableSources sources{settings_.UseTexture != 0, textureRead ? inputs.Texture.data() : nullptr,
                             fadeRead ? inputs.FadeTable.data() : nullptr};
  const int status = BuildTableSet(tables_, width, height, sources, allocate ? allocate : DefaultAllocate);
  if (status != kBuildDone) return static_cast<EngineBuildStatus>(status);
  const std::size_t paletteBytes = static_cast<std::size_t>(inputs.PaletteCount > 0 ? inputs.PaletteCount : 0) * 1024;
  if (inputs.Palettes.size() >= paletteBytes && paletteBytes > 0) {
    palettes_ = std::move(inputs.Palettes);
    paletteCount_ = inputs.PaletteCount;
  }
  width_ = width;
  height_ = height;
  built_ = true;
  return kBuildDone;
}

void Engine::Release() {
  FreeTableSet(tables_);
  palettes_ = {};
  paletteCount_ = 0;
  width_ = height_ = 0;
  built_ = false;
}

FrameInputs Engine::Inputs(const unsigned char (*waveform)[kWaveformSamples]) const {
  FrameInputs in{};
  in.Tables = &tables_;
  in.Params.WaveGain = params_.WaveGain;
  in.Params.WaveShift = params_.WaveShift;
  in.Params.WaveAttenuationRate = settings_.WaveAttenuationRate;
  in.Params.PaletteStep = params_.PaletteStep;
  in.Waveform = waveform;
  in.PaletteSet = paletteCount_ > 0 ? palettes_.data() : nullptr;
  in.PaletteCount = paletteCount_;
  return in;
}

int Engine::DrawFrame(const unsigned char (*waveform)[kWaveformSamples], FrameOutput& output) {
  if (!built_ || output.Width != width_ || output.Height != height_) return 1;
  return DrawFrameStages(Inputs(waveform), counters_, trace_, output);
}

bool Engine::StepPalette(FrameOutput& output) {
  const FrameInputs in = Inputs(nullptr);
  return AnimatePalette(in, counters_, output);
}

int Engine::Frame(const unsigned char (*waveform)[kWaveformSamples], FrameOutput& output) {
  if (DrawFrame(waveform, output) != 0) return 1;
  StepPalette(output);
  return 0;
}

void Engine::ApplySettings(const EffectSettings& settings) {
  settings_ = settings;
  params_ = DeriveEffectParams(settings_);
}

int Engine::ShownPalette() const {
  if (paletteCount_ < 1) return 0;
  const double at = std::floor(static_cast<double>(counters_.PalettePhase) * paletteCount_ + 1e-4);
  return static_cast<int>(at - std::floor(at / paletteCount_) * paletteCount_);
}

void Engine::SkipPalettes(int palettes) {
  if (paletteCount_ < 1) return;
  counters_.PalettePhase = static_cast<float>(counters_.PalettePhase + static_cast<double>(palettes) / paletteCount_);
}
