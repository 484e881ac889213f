// The settings store: plugin.ini read and written, presets, derived parameters and their inverse.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include "plugin/render.h"
#include "plugin/effect_state.h"
#include "plugin/lifecycle.h"
#include "plugin/settings_store.h"
#include "support/plugin_folder_fixture.h"
#include "support/plugin_session.h"

namespace {

std::uint32_t Bits(float f) { return std::bit_cast<std::uint32_t>(f); }

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = MakePluginFolder(false); }
  void TearDown() override { RemovePluginFolder(folder_); }

  std::filesystem::path Ini() const { return folder_.root / "plugin.ini"; }
  void GivenIni(const std::string& text) { WriteFileText(Ini(), text); }

  PluginFolder folder_;
};

// --- Reading and writing -------------------------------------------------------------------------------------------

TEST_F(SettingsStore, WithoutAFileTheDefaultsStay) {
  LoadSettings(folder_.module);
  const EffectSettings& s = g_state.Settings;
  EXPECT_EQ(s.RadioIndex, 2);
  EXPECT_EQ(s.WaveAmplitude, 133);
  EXPECT_EQ(s.WaveShiftPower, 7);
  EXPECT_EQ(s.WaveAttenuationRate, 5);
  EXPECT_EQ(s.PaletteAnimationSpeed, 0);
  EXPECT_EQ(s.FadeOffset, 51);
  EXPECT_EQ(s.FadeAmplitude, 104);
  EXPECT_EQ(s.FadePower, 176);
  EXPECT_EQ(s.UseTexture, 0);
  EXPECT_STREQ(s.TextureName, "");
  EXPECT_FALSE(std::filesystem::exists(Ini()));
}

TEST_F(SettingsStore, OnlyTheKeysPresentChange) {
  GivenIni("[Ombrelo Tunnel]\r\nFadePower=192\r\n");
  LoadSettings(folder_.module);
  EXPECT_EQ(g_state.Settings.FadePower, 192);
  EXPECT_EQ(g_state.Settings.FadeOffset, 51);
  EXPECT_EQ(g_state.Settings.RadioIndex, 2);
  DeriveEffectParams();
  EXPECT_EQ(g_state.Params.FadeExponent, 1.0f);
}

TEST_F(SettingsStore, KeysUnderAnotherSectionAreIgnored) {
  GivenIni("[Other Module]\r\nFadePower=1\r\nTextureName=x.bmp\r\n");
  LoadSettings(folder_.module);
  EXPECT_EQ(g_state.Settings.FadePower, 176);
  EXPECT_STREQ(g_state.Settings.TextureName, "");
}

TEST_F(SettingsStore, UseTextureFiveReadsAsOneAndIsWrittenBackAsOne) {
  GivenIni("[Ombrelo Tunnel]\r\nUseTexture=5\r\n");
  LoadSettings(folder_.module);
  EXPECT_EQ(g_state.Settings.UseTexture, 1);
  SaveSettings(folder_.module);
  EXPECT_NE(ReadFileText(Ini()).find("\r\nUseTexture=1\r\n"), std::string::npos);
}

TEST_F(SettingsStore, DefaultsAreWrittenInKeyOrder) {
  SaveSettings(folder_.module);
  EXPECT_EQ(ReadFileText(Ini()),
            "[Ombrelo Tunnel]\r\nRadioIndex=2\r\nWaveAmplitude=133\r\nWaveShiftPower=7\r\nWaveAttenuationRate=5\r\n"
            "PaletteAnimationSpeed=0\r\nFadeOffset=51\r\nFadeAmplitude=104\r\nFadePower=176\r\nUseTexture=0\r\n"
            "TextureName=\r\nDisplayMode=0\r\nPicture=0\r\n");
}

TEST_F(SettingsStore, SaveThenLoadGivesEveryFieldBack) {
  EffectSettings saved;
  saved.RadioIndex = 0;
  saved.WaveAmplitude = 255;
  saved.WaveShiftPower = 8;
  saved.WaveAttenuationRate = 0;
  saved.PaletteAnimationSpeed = 17;
  saved.FadeOffset = 0;
  saved.FadeAmplitude = 255;
  saved.FadePower = -3;
  saved.UseTexture = 1;
  std::strcpy(saved.TextureName, "C:\\My Textures\\rock 1.bmp");
  g_state.Settings = saved;
  SaveSettings(folder_.module);

  g_state.Settings = EffectSettings{};
  std::strcpy(g_state.Settings.TextureName, "other.bmp");
  LoadSettings(folder_.module);
  const EffectSettings& s = g_state.Settings;
  EXPECT_EQ(s.RadioIndex, saved.RadioIndex);
  EXPECT_EQ(s.WaveAmplitude, saved.WaveAmplitude);
  EXPECT_EQ(s.WaveShiftPower, saved.WaveShiftPower);
  EXPECT_EQ(s.WaveAttenuationRate, saved.WaveAttenuationRate);
  EXPECT_EQ(s.PaletteAnimationSpeed, saved.PaletteAnimationSpeed);
  EXPECT_EQ(s.FadeOffset, saved.FadeOffset);
  EXPECT_EQ(s.FadeAmplitude, saved.FadeAmplitude);
  EXPECT_EQ(s.FadePower, saved.FadePower);
  EXPECT_EQ(s.UseTexture, saved.UseTexture);
  EXPECT_STREQ(s.TextureName, saved.TextureName);
}

TEST_F(SettingsStore, AnEmptyTextureNameIsRestoredEmpty) {
  SaveSettings(folder_.module);
  std::strcpy(g_state.Settings.TextureName, "other.bmp");
  LoadSettings(folder_.module);
  EXPECT_STREQ(g_state.Settings.TextureName, "");
}

TEST_F(SettingsStore, SaveReplacesOldValuesAndKeepsForeignLines) {
  GivenIni("[Other]\r\nX=1\r\n[Ombrelo Tunnel]\r\nFadePower=9\r\nExtra=keep\r\n");
  SaveSettings(folder_.module);
  std::string text = ReadFileText(Ini());
  EXPECT_EQ(text.rfind("[Other]\r\nX=1\r\n[Ombrelo Tunnel]\r\nFadePower=176\r\nExtra=keep\r\nRadioIndex=2\r\n", 0), 0u)
      << text;
}

// DisplayMode and Picture are the display dialog's: read with the others (DisplayMode also alone, before the
// display opens), written in their places with the others, and forgetting the window's place touches neither.
TEST_F(SettingsStore, DisplayChoicesAreReadAndWrittenWithTheOtherSettings) {
  GivenIni(
      "[Ombrelo Tunnel]\r\nDisplayMode=2\r\nPicture=1\r\nWindowLeft=5\r\nWindowTop=6\r\nWindowWidth=320\r\n"
      "WindowHeight=200\r\n");
  LoadDisplayMode(folder_.module);
  EXPECT_EQ(g_state.Settings.DisplayMode, 2);
  g_state.Settings.DisplayMode = 0;
  LoadSettings(folder_.module);
  EXPECT_EQ(g_state.Settings.DisplayMode, 2);
  EXPECT_EQ(g_state.Settings.Picture, 1);
  g_state.Settings.DisplayMode = 3;
  g_state.Settings.Picture = 0;
  SaveSettings(folder_.module);
  EXPECT_EQ(ReadFileText(Ini()).rfind("[Ombrelo Tunnel]\r\nDisplayMode=3\r\nPicture=0\r\nWindowLeft=5\r\n", 0), 0u);
  ForgetStoredWindowPlace(folder_.module);
  const std::string forgotten = ReadFileText(Ini());
  EXPECT_EQ(forgotten.rfind("[Ombrelo Tunnel]\r\nDisplayMode=3\r\nPicture=0\r\nRadioIndex=2\r\n", 0), 0u) << forgotten;
  EXPECT_EQ(forgotten.find("Window"), std::string::npos) << forgotten;
  std::filesystem::remove(Ini());
  ForgetStoredWindowPlace(folder_.module);
  EXPECT_FALSE(std::filesystem::exists(Ini())) << "nothing to forget, nothing written";
}

TEST_F(SettingsStore, OverlongTextureNameIsCutTo259) {
  GivenIni("[Ombrelo Tunnel]\r\nTextureName=" + std::string(100000, 't') + "\r\nFadePower=1\r\n");
  LoadSettings(folder_.module);
  EXPECT_EQ(std::string(g_state.Settings.TextureName), std::string(259, 't'));
  EXPECT_EQ(g_state.Settings.FadePower, 1);
}

TEST_F(SettingsStore, OnlyTheFirstSectionAndTheFirstOfEachKeyCount) {
  const std::string second = "[Ombrelo Tunnel]\nFadeOffset=7\nRadioIndex=0";
  GivenIni("[Ombrelo Tunnel]\nFadePower=10\nFadePower=20\n" + second);
  LoadSettings(folder_.module);
  EXPECT_EQ(g_state.Settings.FadePower, 10);
  EXPECT_EQ(g_state.Settings.FadeOffset, 51);
  EXPECT_EQ(g_state.Settings.RadioIndex, 2);
  g_state.Settings.FadePower = 30;
  SaveSettings(folder_.module);
  std::string text = ReadFileText(Ini());
  EXPECT_EQ(text.rfind("[Ombrelo Tunnel]\nFadePower=30\nFadePower=20\n", 0), 0u) << text;
  EXPECT_EQ(text.substr(text.size() - second.size()), second);  // the second copy is left as it was
  g_state.Settings.FadePower = 0;
  LoadSettings(folder_.module);
  EXPECT_EQ(g_state.Settings.FadePower, 30);
}

TEST_F(SettingsStore, QuotedTextureNameReadsWithoutItsQuotes) {
  GivenIni("[Ombrelo Tunnel]\r\nTextureName=\"C:\\My Textures\\rock.bmp\"\r\n");
  LoadSettings(folder_.module);
  EXPECT_STREQ(g_state.Settings.TextureName, "C:\\My Textures\\rock.bmp");
}

TEST_F(SettingsStore, MalformedValuesAreTakenAsParsed) {
  GivenIni("[Ombrelo Tunnel]\r\nRadioIndex=abc\r\nWaveAmplitude=12xyz\r\nFadePower=99999999999\r\nFadeOffset=-4\r\n");
  LoadSettings(folder_.module);
  EXPECT_EQ(g_state.Settings.RadioIndex, 0);
  EXPECT_EQ(g_state.Settings.WaveAmplitude, 12);
  EXPECT_EQ(g_state.Settings.FadePower, 1215752191);  // 99999999999 modulo 2^32
  EXPECT_EQ(g_state.Settings.FadeOffset, -4);
  DeriveEffectParams();  // huge values must not overflow anywhere
  EXPECT_TRUE(std::isinf(g_state.Params.FadeExponent));
}

TEST(SettingsStoreLongPath, PluginIniThatDoesNotFitIsNeitherReadNorWritten) {
  // 252 characters of folder: "plugin.ini" (10) would need 263 bytes.
  PluginFolder folder = MakeLongPluginFolder(252, false);
  ASSERT_EQ(std::strlen(g_state.PluginPath), 252u);
  g_state.Settings.FadePower = 3;
  LoadSettings(folder.module);
  EXPECT_EQ(g_state.Settings.FadePower, 3);
  SaveSettings(folder.module);
  EXPECT_TRUE(std::filesystem::is_empty(folder.root));
  RemovePluginFolder(folder);
}

// --- Derived parameters --------------------------------------------------------------------------------------------

TEST_F(SettingsStore, DefaultsDeriveTheDocumentedParameters) {
  DeriveEffectParams();
  const EffectParams& p = g_state.Params;
  EXPECT_EQ(p.WaveGain, 2.4f);
  EXPECT_EQ(p.WaveShift, 4);
  EXPECT_EQ(p.PaletteStep, 0.0f);
  EXPECT_EQ(Bits(p.FadeBias), 0x3E4CCCCEu);  // 51 x (float)(1/255), one ulp above 0.2f
  EXPECT_EQ(p.FadeGain, 0.8125f);
  EXPECT_NEAR(p.FadeExponent, 0.7788008f, 1e-7f);
  EXPECT_EQ(p.FadeExponent, static_cast<float>(std::exp(-0.25)));
}

TEST_F(SettingsStore, RadioIndexSelectsTheWavePair) {
  struct Case {
    std::int32_t radio;
    float gain;
    std::int32_t shift;
  } cases[] = {
      {0, 2.0862745f, 7},  // the custom pair 133, 7
      {1, 2.7921569f, 5},
      {2, 2.4f, 4},
      {3, 1.7882353f, 3},
      {4, 0.9882353f, 2},
      {5, 2.0862745f, 7},  // beyond the presets: the custom pair
      {-1, 2.0862745f, 7},
      {std::numeric_limits<std::int32_t>::min(), 2.0862745f, 7},
      {std::numeric_limits<std::int32_t>::max(), 2.0862745f, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.radio);
    g_state.Settings.RadioIndex = c.radio;
    g_state.Params.WaveShift = -99;
    DeriveEffectParams();
    EXPECT_FLOAT_EQ(g_state.Params.WaveGain, c.gain);
    EXPECT_EQ(g_state.Params.WaveShift, c.shift);
  }
}

TEST_F(SettingsStore, ParametersAreRoundedOnceFromDouble) {
  g_state.Settings.PaletteAnimationSpeed = 255;
  g_state.Settings.FadeOffset = 255;
  g_state.Settings.FadeAmplitude = 255;
  g_state.Settings.FadePower = 0;
  DeriveEffectParams();
  EXPECT_EQ(g_state.Params.PaletteStep, static_cast<float>(255.0 / 12750.0));
  EXPECT_EQ(g_state.Params.FadeBias, static_cast<float>(255.0 * static_cast<double>(1.0f / 255.0f)));
  EXPECT_EQ(g_state.Params.FadeGain, 1.9921875f);
  EXPECT_NEAR(g_state.Params.FadeExponent, 0.049787068f, 1e-8f);
}

TEST_F(SettingsStore, SettingsFromParamsGivesEveryValueBack) {
  for (std::int32_t v = 0; v <= 255; ++v) {
    SCOPED_TRACE(v);
    EffectSettings& s = g_state.Settings;
    s.PaletteAnimationSpeed = s.FadeOffset = s.FadeAmplitude = s.FadePower = v;
    DeriveEffectParams();
    s.PaletteAnimationSpeed = s.FadeOffset = s.FadeAmplitude = s.FadePower = -1;
    SettingsFromParams();
    EXPECT_EQ(s.PaletteAnimationSpeed, v);
    EXPECT_EQ(s.FadeOffset, v);
    EXPECT_EQ(s.FadeAmplitude, v);
    EXPECT_EQ(s.FadePower, v);
  }
}

TEST_F(SettingsStore, SettingsFromParamsLeavesTheOtherSettingsAlone) {
  g_state.Settings.RadioIndex = 3;
  g_state.Settings.WaveAmplitude = 1;
  g_state.Settings.UseTexture = 1;
  std::strcpy(g_state.Settings.TextureName, "t.bmp");
  DeriveEffectParams();
  SettingsFromParams();
  EXPECT_EQ(g_state.Settings.RadioIndex, 3);
  EXPECT_EQ(g_state.Settings.WaveAmplitude, 1);
  EXPECT_EQ(g_state.Settings.UseTexture, 1);
  EXPECT_STREQ(g_state.Settings.TextureName, "t.bmp");
}

TEST_F(SettingsStore, SettingsFromParamsSaturatesWildParameters) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  struct Case {
    const char* label;
    float step, bias, gain, exponent;
    std::int32_t speed, offset, amplitude, power;
  } cases[] = {
      {"NaN", nan, nan, nan, nan, 0, 0, 0, 0},
      {"huge", 1e30f, 1e30f, inf, inf, kMax, kMax, kMax, kMax},
      {"negative", -1e30f, -0.5f, -inf, -1.0f, kMin, -128, kMin, 0},
      {"zero exponent", 0, 0, 0, 0.0f, 0, 0, 0, kMin},
      {"half rounds away from zero", 0, 0, 0.50390625f, 1.0f, 0, 0, 65, 192},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    g_state.Params.PaletteStep = c.step;
    g_state.Params.FadeBias = c.bias;
    g_state.Params.FadeGain = c.gain;
    g_state.Params.FadeExponent = c.exponent;
    SettingsFromParams();
    EXPECT_EQ(g_state.Settings.PaletteAnimationSpeed, c.speed);
    EXPECT_EQ(g_state.Settings.FadeOffset, c.offset);
    EXPECT_EQ(g_state.Settings.FadeAmplitude, c.amplitude);
    EXPECT_EQ(g_state.Settings.FadePower, c.power);
  }
}

TEST_F(SettingsStore, ValuesBeyondTheDialogRangesDeriveDefinedParameters) {
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* lines;
    float gain;
    std::int32_t shift;
    float step, bias, fadeGain, exponent;
  } cases[] = {
      {"RadioIndex=2147483647", 2.0862745f, 7, 0, 0.2f, 0.8125f, 0.7788008f},
      {"RadioIndex=0\r\nWaveShiftPower=33", 2.0862745f, 33, 0, 0.2f, 0.8125f, 0.7788008f},
      {"RadioIndex=0\r\nWaveShiftPower=-1", 2.0862745f, -1, 0, 0.2f, 0.8125f, 0.7788008f},
      {"RadioIndex=0\r\nWaveAmplitude=-2147483648\r\nWaveShiftPower=-2147483648", -33686020.0f,
       std::numeric_limits<std::int32_t>::min(), 0, 0.2f, 0.8125f, 0.7788008f},
      {"PaletteAnimationSpeed=-1\r\nFadeOffset=-1\r\nFadeAmplitude=-1\r\nFadePower=-1", 2.4f, 4, -7.8431373e-05f,
       -0.0039215689f, -0.0078125f, 0.04901519f},
      {"PaletteAnimationSpeed=2147483647\r\nFadeOffset=2147483647\r\nFadeAmplitude=2147483647\r\n"
       "FadePower=2147483647",
       2.4f, 4, 168430.09f, 8421505.0f, 16777216.0f, inf},
      {"PaletteAnimationSpeed=-2147483648\r\nFadeOffset=-2147483648\r\nFadeAmplitude=-2147483648\r\n"
       "FadePower=-2147483648",
       2.4f, 4, -168430.09f, -8421505.0f, -16777216.0f, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    g_state.Settings = EffectSettings{};
    GivenIni(std::string("[Ombrelo Tunnel]\r\n") + c.lines + "\r\n");
    LoadSettings(folder_.module);
    g_state.Params = EffectParams{-1, -99, -1, -1, -1, -1};
    DeriveEffectParams();
    const EffectParams& p = g_state.Params;
    EXPECT_FLOAT_EQ(p.WaveGain, c.gain);
    EXPECT_EQ(p.WaveShift, c.shift);
    EXPECT_FLOAT_EQ(p.PaletteStep, c.step);
    EXPECT_FLOAT_EQ(p.FadeBias, c.bias);
    EXPECT_FLOAT_EQ(p.FadeGain, c.fadeGain);
    EXPECT_FLOAT_EQ(p.FadeExponent, c.exponent);
  }
}

// --- Frames with settings from a hand-edited file -----------------------------------------------------------------

class SettingsFrames : public PluginSession {
 protected:
  void GivenIni(const std::string& lines) {
    WriteFileText(folder_.root / "plugin.ini", "[Ombrelo Tunnel]\r\n" + lines + "\r\n");
  }
  void RunFrames(int count) {
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < 576; ++i) module_->waveformData[c][i] = static_cast<unsigned char>((i * (c + 5)) & 0xFF);
    for (int f = 0; f < count; ++f) ASSERT_EQ(Render(module_), 0) << "frame " << f;
  }
};

TEST_F(SettingsFrames, ExtremeValuesRunWithoutFault) {
  const char* files[] = {
      "RadioIndex=-1\r\nWaveShiftPower=2147483647\r\nWaveAmplitude=2147483647",
      "RadioIndex=5\r\nWaveShiftPower=-2147483648\r\nWaveAttenuationRate=-2147483648",
      "RadioIndex=0\r\nWaveAmplitude=-2147483648\r\nWaveShiftPower=31\r\nWaveAttenuationRate=31",
      "RadioIndex=-2147483648\r\nWaveShiftPower=-1\r\nWaveAttenuationRate=-1\r\nPaletteAnimationSpeed=-2147483648",
      "RadioIndex=2147483647\r\nWaveAmplitude=-1\r\nWaveShiftPower=33\r\nPaletteAnimationSpeed=2147483647",
      "FadeOffset=-2147483648\r\nFadeAmplitude=2147483647\r\nFadePower=2147483647\r\nPaletteAnimationSpeed=-1",
  };
  for (const char* file : files) {
    SCOPED_TRACE(file);
    GivenIni(file);
    ASSERT_EQ(Init(module_), 0);
    RunFrames(3);
    Quit(module_);
  }
  EXPECT_TRUE(HeadlessMessageBoxes().empty());
}

TEST_F(SettingsFrames, ShiftsOf32ActAsShiftsOf0) {
  // Shift counts are taken modulo 32: a damping shift of 32 + 32 flattens the field as 0 + 0 does.
  GivenIni("RadioIndex=0\r\nWaveShiftPower=32\r\nWaveAttenuationRate=32");
  InitOrFail();
  RunFrames(3);
  ASSERT_EQ(g_state.Effect.Params().WaveShift, 32);
  const std::uint8_t* heights = g_state.Effect.Tables().HeightMap;
  std::size_t nonZero = 0;
  for (std::size_t i = 0; i < 65536; ++i) nonZero += heights[i] != 0;
  EXPECT_EQ(nonZero, 0u);
}

}  // namespace
