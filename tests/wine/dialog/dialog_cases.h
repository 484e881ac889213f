// The dialog cases, grouped by what they drive, and the control ids of the settings dialog as the user sees them.
#pragma once
#include <string>

struct CaseContext {
  std::string root;   // folder under which every case lays out its own plug-in folder
  std::string dll;    // the plug-in DLL to copy into each folder
  std::string shots;  // folder for the screenshots kept as build artifacts
};

void RunSettingsCases(const CaseContext& context);
void RunPlacementCases(const CaseContext& context);
void RunComputeCases(const CaseContext& context);
void RunTextureCases(const CaseContext& context);
void RunAboutCases(const CaseContext& context);
void RunDisplayCases(const CaseContext& context);

namespace ids {
constexpr int kCustom = 1020, kVerySoft = 1021, kSoft = 1022, kLoud = 1023, kVeryLoud = 1024;
constexpr int kWaveAmplitude = 1008, kWaveShiftPower = 1009, kAttenuation = 1032, kPaletteSpeed = 1013;
constexpr int kFadeOffset = 1029, kFadeAmplitude = 1030, kFadePower = 1031;
constexpr int kCustomGroup = 1016, kAmplitudeLabel = 1017, kShiftPowerLabel = 1018;
constexpr int kProgress = 1011, kCompute = 1012, kAbout = 1033, kLoadTexture = 1039, kUseTexture = 1040;
constexpr int kDisplay = 1041, kDisplaySummary = 1042;
// The Display dialog: the ways of showing in DisplayMode order, the pictures in Picture order.
constexpr int kModeChain = 1050, kModeEffectOnly = 1051, kModeWindow = 1052, kModeDocked = 1053, kDockReason = 1054;
constexpr int kPictureClassic = 1055, kPictureHd = 1056, kForgetPlace = 1057;
}  // namespace ids
