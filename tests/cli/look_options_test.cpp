// The look of a run: settings layers, --set never written, the fade table recomputed, changes while running.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "cli_test_support.h"
#include "core/fade_table.h"
#include "effect_session.h"
#include "look_options.h"

namespace {

class LookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CopyDefaultPluginFolder(data.path);
    setenv("XDG_CONFIG_HOME", config.path.c_str(), 1);
    setenv("TMPDIR", scratch.path.c_str(), 1);
    fs::create_directories(config.path / "tavelmir");
  }
  void TearDown() override {
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("TMPDIR");
  }
  LookOptions Options(std::vector<std::string> assignments) {
    LookOptions o;
    o.palettesDir = (data.path / "TavelDat").string();
    o.assignments = std::move(assignments);
    return o;
  }
  TempFolder data, config, scratch;
};

TEST_F(LookTest, SettingsComeFromDefaultsVideoLookUserFileThenSetAndNothingIsWritten) {
  const fs::path ini = config.path / "tavelmir" / "plugin.ini";
  const std::string text = "[Ombrelo Tunnel]\r\nWaveAmplitude=100\r\nRadioIndex=0\r\n";
  WriteFileText(ini, text);
  const auto before = fs::last_write_time(ini);
  Look look;
  std::string error;
  ASSERT_TRUE(ResolveLook(Options({"FadePower=192", "radioindex=3"}), look, error)) << error;
  EXPECT_EQ(look.settingsFile, ini.string());
  EXPECT_EQ(look.settings.WaveAmplitude, 100);
  EXPECT_EQ(look.settings.RadioIndex, 3);
  EXPECT_EQ(look.settings.FadePower, 192);
  EXPECT_EQ(look.settings.FadeOffset, 51);
  EXPECT_EQ(look.settings.PaletteAnimationSpeed, VideoPaletteSpeed(look.paletteCount));
  EXPECT_NEAR(SecondsPerPalette(look.settings.PaletteAnimationSpeed, look.paletteCount), 10, 2.5);
  EXPECT_TRUE(look.fadeNeedsComputing);
  EXPECT_EQ(ReadFileText(ini), text);
  EXPECT_EQ(fs::last_write_time(ini), before);

  LookOptions plugin = Options({});
  plugin.videoLook = false;
  ASSERT_TRUE(ResolveLook(plugin, look, error)) << error;
  EXPECT_EQ(look.settings.PaletteAnimationSpeed, 0);
  EXPECT_FALSE(look.fadeNeedsComputing);

  EXPECT_FALSE(ResolveLook(Options({"FadePower=256"}), look, error));
  EXPECT_NE(error.find("0..255"), std::string::npos) << error;
}

TEST_F(LookTest, AFadeSettingTakesEffectWithoutTouchingTheDataSet) {
  const std::vector<std::uint8_t> dataSetFade = ReadBytes(data.path / "TavelDat" / "fade.dat");
  Look look;
  std::string error;
  ASSERT_TRUE(ResolveLook(Options({"FadePower=192", "FadeOffset=0"}), look, error)) << error;
  std::vector<std::uint8_t> running;
  EffectParams params;
  {
    EffectSession session;
    ASSERT_TRUE(StartEffect(look, session, error)) << error;
    running.assign(session.engine.Tables().FadeTable, session.engine.Tables().FadeTable + 65536);
    params = session.engine.Params();
  }

  // What the dialog's "Compute table" would have written for these settings.
  std::uint8_t reference[1024];
  const std::vector<std::uint8_t> file = ReadBytes(data.path / "TavelDat" / "refrence.pal");
  for (int i = 0; i < 256; ++i)
    for (int c = 0; c < 4; ++c) reference[4 * i + c] = static_cast<std::uint8_t>(c < 3 ? file[3 * i + c] << 2 : 1);
  std::vector<std::uint8_t> expected(65536);
  FillFadeTable(reference, params, expected.data());
  EXPECT_EQ(params.FadeExponent, 1.0f);
  EXPECT_TRUE(running == expected);
  EXPECT_FALSE(running == dataSetFade);
  EXPECT_TRUE(ReadBytes(data.path / "TavelDat" / "fade.dat") == dataSetFade);
  EXPECT_TRUE(fs::is_empty(scratch.path)) << "nothing is written beside the run";
}

TEST_F(LookTest, WarningsNameWhatCannotShowAndTheRunningEffectTakesChanges) {
  // Values the dialog would not allow, and palettes the plug-in leaves out, are named with their files.
  const fs::path ini = config.path / "tavelmir" / "plugin.ini";
  WriteFileText(ini, "[Ombrelo Tunnel]\nWaveShiftPower=99999\nFadePower=-4\n");
  WriteFileText(data.path / "TavelDat" / "09-short.pal", "too short");
  Look look;
  std::string error;
  ASSERT_TRUE(ResolveLook(Options({"RadioIndex=0", "WaveAmplitude=0", "FadeOffset=0", "FadeAmplitude=0", "UseTexture=1",
                                   "TextureName=" + (data.path / "none.bmp").string()}),
                          look, error))
      << error;
  EffectSession session;
  ASSERT_TRUE(StartEffect(look, session, error)) << error;
  std::string all;
  for (const std::string& w : look.warnings) all += w + "\n";
  EXPECT_NE(all.find("amplitude is 0"), std::string::npos) << all;
  EXPECT_NE(all.find("one flat colour"), std::string::npos) << all;
  EXPECT_NE(all.find("none.bmp"), std::string::npos) << all;
  for (const std::string& named :
       {"'" + ini.string() + "' sets WaveShiftPower=99999, outside 0..8", std::string("sets FadePower=-4, outside"),
        "palette '" + (data.path / "TavelDat" / "09-short.pal").string() + "' is 9 bytes"})
    EXPECT_NE(all.find(named), std::string::npos) << named << " in\n" << all;
  EXPECT_EQ(look.paletteCount, 8);

  EffectSettings changed = look.settings;
  changed.RadioIndex = 4;
  session.engine.ApplySettings(changed);
  EXPECT_EQ(session.engine.Params().WaveShift, 2);
  const float phase = session.engine.Counters().PalettePhase;
  session.engine.SkipPalettes(1);
  EXPECT_FLOAT_EQ(session.engine.Counters().PalettePhase,
                  phase + 1.0f / static_cast<float>(session.engine.PaletteCount()));
}

TEST_F(LookTest, APaletteFolderReplacesTheDataSetsPalettes) {
  const fs::path mine = scratch.path / "mine";
  fs::create_directory(mine);
  fs::copy_file(data.path / "TavelDat" / "02-ember.pal", mine / "b.pal");
  fs::copy_file(data.path / "TavelDat" / "05-acid.pal", mine / "a.PAL");
  WriteFileText(mine / "notes.txt", "not a palette");
  LookOptions o = Options({});
  o.palettesDir = mine.string();
  Look look;
  std::string error;
  ASSERT_TRUE(ResolveLook(o, look, error)) << error;
  EXPECT_EQ(look.paletteCount, 2);
  EXPECT_EQ(look.settings.PaletteAnimationSpeed, 13);  // 255 / (2 x 13) = 9.8 s a palette
  {
    EffectSession session;
    ASSERT_TRUE(StartEffect(look, session, error)) << error;
    EXPECT_EQ(session.engine.PaletteCount(), 2);
    // The first frame shows the first palette as it is.
    std::vector<std::uint8_t> indices(kScreenPixels), palette(kPaletteBytes);
    const std::vector<unsigned char> silence(1152, 0);
    DrawEffectFrame(session, silence.data(), indices.data(), palette.data());
    const std::vector<std::uint8_t> acid = ReadBytes(mine / "a.PAL");
    EXPECT_EQ(palette[3], acid[3] << 2);  // "a.PAL" sorts first: entry 1's red
  }
  fs::remove_all(mine);

  o.palettesDir = (scratch.path / "none").string();
  EXPECT_FALSE(ResolveLook(o, look, error));
  EXPECT_NE(error.find("none' does not exist"), std::string::npos) << error;
}

}  // namespace
