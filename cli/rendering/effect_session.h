// The engine with the look of a run: built from the data set and the resolved settings, then one frame per
// waveform block as indices and a palette.
#pragma once
#include <cstdint>
#include <string>

#include "core/engine.h"
#include "frame_image.h"
#include "look_options.h"

// Every frame has the effect's own 320 x 200 picture.
static_assert(kScreenWidth == kEngineWidth && kScreenHeight == kEngineHeight);

struct EffectSession {
  Engine engine;
  std::uint8_t paletteEntries[256 * kPaletteEntryBytes] = {};  // what the engine writes: red, green, blue, flags
};

// Builds the engine from the look: the palettes of look.palettesDir, the data set's fade.dat or, when the look
// says so, a fade table computed in memory from the reference palette (the palette folder's own "refrence.pal"
// when it has one), and the texture. Nothing of the data set or the user's files is written. A texture that
// will not load is left out, with a warning added to the look. False with the plug-in's own message texts
// ("caption: text" lines) or another message naming the file.
bool StartEffect(Look& look, EffectSession& session, std::string& error);

// Draws the next frame: `indices` (kScreenPixels bytes, row-major) and `palette` (kPaletteBytes of red, green,
// blue).
void DrawEffectFrame(EffectSession& session, const unsigned char* block, std::uint8_t* indices, std::uint8_t* palette);

// Which palette the animation is in (1-based) and how many there are, for notes to the user.
int CurrentPalette(const EffectSession& session);
