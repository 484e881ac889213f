// Building the engine for a run, and drawing its frames for the outputs.
#include "effect_session.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include "data/init_messages.h"
#include "data/plugin_data.h"

namespace fs = std::filesystem;

namespace {

std::string TextureProblem(TextureStatus status) {
  return status == kTextureWrongShape ? "is not a 256 x 256 bitmap of 8 bits per pixel"
                                      : "is missing or not a readable bitmap";
}

// The table the look asks for: the data set's file, or one computed from the reference palette.
bool FadeTableForLook(const Look& look, std::vector<std::uint8_t>& table, std::string& error) {
  const fs::path dataSetReference = ReferencePaletteFile(look.dataFolder);
  if (!look.fadeNeedsComputing) {
    table = ReadFadeTable(FadeFile(look.dataFolder));
    return true;  // a missing table is the engine's to report, in the plug-in's words
  }
  std::error_code ec;
  const fs::path ownReference = fs::path(look.palettesDir) / kReferencePaletteName;
  return ComputeFadeTable(fs::exists(ownReference, ec) ? ownReference : dataSetReference, look.settings, table, error);
}

}  // namespace

bool StartEffect(Look& look, EffectSession& session, std::string& error) {
  EngineInputs inputs;
  inputs.Settings = look.settings;
  if (inputs.Settings.UseTexture != 0) {
    const TextureStatus status = ReadTexture(StoredPath(inputs.Settings.TextureName), inputs.Texture);
    if (status != kTextureRead) {
      look.warnings.push_back("the texture '" + std::string(inputs.Settings.TextureName) + "' " +
                              TextureProblem(status) + "; the landscape is drawn without it");
      inputs.Settings.UseTexture = 0;
    }
  }
  if (!FadeTableForLook(look, inputs.FadeTable, error)) return false;
  const bool oneIndex =
      !inputs.FadeTable.empty() && std::all_of(inputs.FadeTable.begin(), inputs.FadeTable.end(),
                                               [&](std::uint8_t v) { return v == inputs.FadeTable[0]; });
  if (oneIndex)
    look.warnings.push_back("the fade settings (FadeOffset " + std::to_string(look.settings.FadeOffset) +
                            ", FadeAmplitude " + std::to_string(look.settings.FadeAmplitude) + ", FadePower " +
                            std::to_string(look.settings.FadePower) +
                            ") give every colour and shade one palette index: the picture is one flat colour");
  // The plug-in's Init reads the palettes after its own files are in place.
  PaletteSet palettes = ReadPaletteSet(look.palettesDir);
  if (palettes.Status != 0) {
    error = MessageLines({PaletteFailureMessage(palettes.Status)});
    return false;
  }
  inputs.Palettes = std::move(palettes.Entries);
  inputs.PaletteCount = palettes.Count;
  const EngineBuildStatus status = session.engine.Build(std::move(inputs), kScreenWidth, kScreenHeight);
  if (status != kBuildDone) {
    error = MessageLines(BuildFailureMessages(status));
    return false;
  }
  return true;
}

void DrawEffectFrame(EffectSession& session, const unsigned char* block, std::uint8_t* indices, std::uint8_t* palette) {
  FrameOutput out{indices, kScreenWidth, kScreenHeight, kScreenWidth, session.paletteEntries};
  session.engine.Frame(reinterpret_cast<const unsigned char(*)[kWaveformSamples]>(block), out);
  for (int i = 0; i < 256; ++i) {
    palette[3 * i] = session.paletteEntries[kPaletteEntryBytes * i];
    palette[3 * i + 1] = session.paletteEntries[kPaletteEntryBytes * i + 1];
    palette[3 * i + 2] = session.paletteEntries[kPaletteEntryBytes * i + 2];
  }
}

int CurrentPalette(const EffectSession& session) { return session.engine.ShownPalette() + 1; }
