// The OBS source's effect without OBS: the engine built from the data set off the video thread, its frames stepped
// one waveform block at a time, and the picture drawn into the words a texture is filled from.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/effect_settings.h"
#include "core/engine.h"
#include "core/frame_resampler.h"
#include "core/hd_tunnel.h"
#include "core/output_geometry.h"

// How the source draws the tunnel.
enum class TunnelLook {
  Hd,              // at the source's own size, crisp texels with smooth edges
  Classic,         // the 320 x 200 frame, enlarged with sharp edges between its pixels, as `tavelmir` enlarges it
  ClassicNearest,  // the 320 x 200 frame, each pixel a block (the GPU enlarges it)
};

// The engine with its frame's picture and palette; everything a frame writes is allocated here once.
struct TunnelEffect {
  Engine engine;
  std::vector<std::uint8_t> indices = std::vector<std::uint8_t>(kEngineWidth * kEngineHeight);
  std::uint8_t paletteEntries[256 * kPaletteEntryBytes] = {};
  std::vector<std::string> warnings;  // settings that could not be honoured (a texture that will not load)
};

// Builds the effect from the data set folder (which holds "TavelDat") with `settings`, starting on palette
// `palette` (-1: where `counters` are) and continuing `counters`. The fade table is the data set's when the fade
// settings are the ones it was computed with, else computed here from its reference palette. Null, with the plug-in's
// message, on failure.
std::unique_ptr<TunnelEffect> BuildTunnelEffect(const std::filesystem::path& dataFolder, const EffectSettings& settings,
                                                int palette, const FrameCounters& counters, std::string& error);
// One frame from a block of channel 0's 576 samples, then channel 1's.
void StepTunnelEffect(TunnelEffect& effect, const unsigned char* block);

// The texture's words for a look and size: red, green, blue and an opaque alpha, lowest byte first.
struct TunnelPicture {
  TunnelLook look = TunnelLook::Hd;
  int width = 0, height = 0;                // the source's size
  int textureWidth = 0, textureHeight = 0;  // the source's size, or 320 x 200 for classic-nearest
  OutputGeometry classic;                   // where the classic frame lies: as `tavelmir render --size` puts it
  HdTunnel hd;
  FrameResampler sharp;
  std::vector<std::uint32_t> pixels;
};

// Makes the map (hd) and the words for a look at a size. False, with a message, for a size the map is not made for.
bool PrepareTunnelPicture(TunnelPicture& picture, TunnelLook look, int width, int height, std::string& error);
// The effect's last frame into picture.pixels.
void DrawTunnelPicture(TunnelPicture& picture, const TunnelEffect& effect);
