// Radio buttons, sliders, OK and Cancel of the settings dialog, and where the dialog opens.
#include <windows.h>
#include <commctrl.h>

#include "../host/host_log.h"
#include "dialog_cases.h"
#include "dialog_fixtures.h"
#include "dialog_session.h"

namespace {

struct SliderExpectation {
  int id;
  const char* key;
  int maximum;
  int position;
};

void CheckOnlyRadio(const DialogSession& session, int checkedId) {
  for (int id = ids::kCustom; id <= ids::kVeryLoud; ++id) {
    LogScope scope("radio " + std::to_string(id));
    CHECK_EQ_INT(IsChecked(session, id), id == checkedId);
  }
}

void CheckCustomGroupEnabled(const DialogSession& session, bool enabled) {
  for (int id :
       {ids::kCustomGroup, ids::kAmplitudeLabel, ids::kWaveAmplitude, ids::kShiftPowerLabel, ids::kWaveShiftPower}) {
    LogScope scope("control " + std::to_string(id));
    CHECK_EQ_INT(IsEnabled(session, id), enabled);
  }
}

void CheckSliders(const DialogSession& session, const SliderExpectation* sliders, int count) {
  for (int i = 0; i < count; ++i) {
    LogScope scope(sliders[i].key);
    CHECK_EQ_INT(SendDlgItemMessageA(session.dialog, sliders[i].id, TBM_GETRANGEMIN, 0, 0), 0);
    CHECK_EQ_INT(SendDlgItemMessageA(session.dialog, sliders[i].id, TBM_GETRANGEMAX, 0, 0), sliders[i].maximum);
    CHECK_EQ_INT(SliderPos(session, sliders[i].id), sliders[i].position);
  }
}

void CheckStored(const std::string& folder, const IniEntries& expected) {
  for (const auto& [key, value] : expected) {
    LogScope scope(key);
    CHECK_EQ_STR(StoredSetting(folder, key.c_str()), value);
  }
}

void Confirm(DialogSession& session, int buttonId) {
  ClickNow(session, buttonId);
  if (!WaitForConfigEnd(session)) Fail("the dialog did not end after button %d", buttonId);
}

// "&Loud" stored: it is checked and focused, the custom pair's controls are off until "&Custom" is clicked.
void LoudPresetOpensFocused(const CaseContext& context) {
  LogScope scope("loud preset");
  const std::string folder = MakeCaseFolder(context.root, "radio-loud", context.dll);
  WriteSettingsFile(folder, {{"RadioIndex", "3"}});
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  CheckOnlyRadio(session, ids::kLoud);
  CHECK_EQ_INT(FocusedId(session), ids::kLoud);
  CheckCustomGroupEnabled(session, false);
  CHECK_TRUE(IsEnabled(session, ids::kAttenuation));
  ClickNow(session, ids::kCustom);
  CheckOnlyRadio(session, ids::kCustom);
  CheckCustomGroupEnabled(session, true);
  ClickNow(session, ids::kVeryLoud);
  CheckOnlyRadio(session, ids::kVeryLoud);
  CheckCustomGroupEnabled(session, false);
  Confirm(session, IDCANCEL);
  CHECK_EQ_STR(StoredSetting(folder, "RadioIndex"), "3");
  EndSession(session);
}

// Without a settings file the dialog shows the defaults, and OK stores exactly them.
void DefaultsStoredByOk(const CaseContext& context) {
  LogScope scope("defaults");
  const std::string folder = MakeCaseFolder(context.root, "defaults", context.dll);
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  CheckOnlyRadio(session, ids::kSoft);
  CHECK_EQ_INT(FocusedId(session), ids::kSoft);
  const SliderExpectation sliders[] = {
      {ids::kPaletteSpeed, "PaletteAnimationSpeed", 255, 0},
      {ids::kWaveAmplitude, "WaveAmplitude", 255, 133},
      {ids::kWaveShiftPower, "WaveShiftPower", 8, 7},
      {ids::kAttenuation, "WaveAttenuationRate", 8, 5},
      {ids::kFadeOffset, "FadeOffset", 255, 51},
      {ids::kFadeAmplitude, "FadeAmplitude", 255, 104},
      {ids::kFadePower, "FadePower", 255, 176},
  };
  CheckSliders(session, sliders, 7);
  CHECK_EQ_INT(IsChecked(session, ids::kUseTexture), 0);
  PBRANGE range{-1, -1};
  SendDlgItemMessageA(session.dialog, ids::kProgress, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  CHECK_EQ_INT(range.iLow, 0);
  CHECK_EQ_INT(range.iHigh, 255);
  CHECK_EQ_INT(SendDlgItemMessageA(session.dialog, ids::kProgress, PBM_GETPOS, 0, 0), 0);
  Confirm(session, IDOK);
  CheckStored(folder, {{"RadioIndex", "2"},
                       {"WaveAmplitude", "133"},
                       {"WaveShiftPower", "7"},
                       {"WaveAttenuationRate", "5"},
                       {"PaletteAnimationSpeed", "0"},
                       {"FadeOffset", "51"},
                       {"FadeAmplitude", "104"},
                       {"FadePower", "176"},
                       {"UseTexture", "0"},
                       {"TextureName", ""}});
  EndSession(session);
}

// Stored values beyond a slider's range show at its end and OK stores the clamped value (a RadioIndex that
// names no preset selects the custom pair, and shows so); a second opening in the same loaded library shows
// what is in memory, even after the file is gone.
void StoredValuesClampedAndKept(const CaseContext& context) {
  LogScope scope("clamped sliders");
  const std::string folder = MakeCaseFolder(context.root, "clamped", context.dll);
  WriteSettingsFile(folder, {{"RadioIndex", "9"},
                             {"WaveAmplitude", "300"},
                             {"WaveShiftPower", "-3"},
                             {"WaveAttenuationRate", "12"},
                             {"PaletteAnimationSpeed", "77"},
                             {"FadeOffset", "12"},
                             {"FadeAmplitude", "250"},
                             {"FadePower", "1"},
                             {"UseTexture", "5"},
                             {"TextureName", "C:\\textures\\rock.bmp"}});
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  CheckOnlyRadio(session, ids::kCustom);
  CHECK_EQ_INT(FocusedId(session), ids::kCustom);
  CheckCustomGroupEnabled(session, true);
  const SliderExpectation sliders[] = {
      {ids::kPaletteSpeed, "PaletteAnimationSpeed", 255, 77},
      {ids::kWaveAmplitude, "WaveAmplitude", 255, 255},
      {ids::kWaveShiftPower, "WaveShiftPower", 8, 0},
      {ids::kAttenuation, "WaveAttenuationRate", 8, 8},
      {ids::kFadeOffset, "FadeOffset", 255, 12},
      {ids::kFadeAmplitude, "FadeAmplitude", 255, 250},
      {ids::kFadePower, "FadePower", 255, 1},
  };
  CheckSliders(session, sliders, 7);
  CHECK_EQ_INT(IsChecked(session, ids::kUseTexture), 1);
  SendDlgItemMessageA(session.dialog, ids::kPaletteSpeed, TBM_SETPOS, TRUE, 99);
  Confirm(session, IDOK);
  CheckStored(folder, {{"RadioIndex", "0"},
                       {"WaveAmplitude", "255"},
                       {"WaveShiftPower", "0"},
                       {"WaveAttenuationRate", "8"},
                       {"PaletteAnimationSpeed", "99"},
                       {"FadeOffset", "12"},
                       {"FadeAmplitude", "250"},
                       {"FadePower", "1"},
                       {"UseTexture", "1"},
                       {"TextureName", "C:\\textures\\rock.bmp"}});

  LogScope again("second opening");
  DeleteFileA((folder + "\\plugin.ini").c_str());
  if (!OpenSettings(session)) return EndSession(session);
  const SliderExpectation kept[] = {{ids::kPaletteSpeed, "PaletteAnimationSpeed", 255, 99},
                                    {ids::kWaveAmplitude, "WaveAmplitude", 255, 255},
                                    {ids::kAttenuation, "WaveAttenuationRate", 8, 8}};
  CheckSliders(session, kept, 3);
  Confirm(session, IDCANCEL);
  CHECK_TRUE(!FileExists(folder + "\\plugin.ini"));
  EndSession(session);
}

// Cancel reloads from the file; with no file the chosen preset stays in memory and nothing is written.
void CancelWithoutFileWritesNothing(const CaseContext& context) {
  LogScope scope("cancel without file");
  const std::string folder = MakeCaseFolder(context.root, "cancel", context.dll);
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  ClickNow(session, ids::kVerySoft);
  CheckOnlyRadio(session, ids::kVerySoft);
  Confirm(session, IDCANCEL);
  CHECK_TRUE(!FileExists(folder + "\\plugin.ini"));
  if (!OpenSettings(session)) return EndSession(session);
  CheckOnlyRadio(session, ids::kVerySoft);
  CHECK_EQ_INT(FocusedId(session), ids::kVerySoft);
  // Escape, through the dialog manager, is Cancel.
  HWND focused = GetDlgItem(session.dialog, ids::kVerySoft);
  PostMessageA(focused, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageA(focused, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  if (!WaitForConfigEnd(session)) Fail("Escape did not end the dialog");
  CHECK_TRUE(!FileExists(folder + "\\plugin.ini"));
  EndSession(session);
}

// OK queued before the dialog ever painted (Enter typed ahead) stores the settings, not the trackbars' zeros.
void OkBeforeFirstPaintKeepsSettings(const CaseContext& context) {
  LogScope scope("OK before first paint");
  const std::string folder = MakeCaseFolder(context.root, "early-ok", context.dll);
  const IniEntries stored = {{"RadioIndex", "1"},
                             {"WaveAmplitude", "200"},
                             {"WaveShiftPower", "3"},
                             {"WaveAttenuationRate", "6"},
                             {"PaletteAnimationSpeed", "77"},
                             {"FadeOffset", "12"},
                             {"FadeAmplitude", "34"},
                             {"FadePower", "56"},
                             {"UseTexture", "0"},
                             {"TextureName", ""}};
  WriteSettingsFile(folder, stored);
  DialogSession session;
  session.confirmAtOpening = true;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  if (!WaitForConfigEnd(session)) Fail("the dialog did not end on the early OK");
  CheckStored(folder, stored);
  EndSession(session);
}

// The dialog opens on its owner's top-left corner, pushed back into the work area when it would leave it; on a
// work area smaller than the dialog its left and top edges stay visible.
void OpensOnOwnerInsideWorkArea(const CaseContext& context) {
  LogScope scope("placement");
  const std::string folder = MakeCaseFolder(context.root, "placement", context.dll);
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const POINT origins[] = {{work.left + 50, work.top + 40}, {work.right - 60, work.bottom - 50}};
  for (const POINT& origin : origins) {
    LogScope at("owner at " + std::to_string(origin.x) + "," + std::to_string(origin.y));
    DialogSession session;
    session.parentOrigin = origin;
    if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
    RECT box{}, owner{};
    GetWindowRect(session.dialog, &box);
    GetWindowRect(session.parent, &owner);
    const LONG width = box.right - box.left, height = box.bottom - box.top;
    LONG expectedLeft = owner.left + width > work.right ? work.right - width : owner.left;
    LONG expectedTop = owner.top + height > work.bottom ? work.bottom - height : owner.top;
    if (expectedLeft < work.left) expectedLeft = work.left;
    if (expectedTop < work.top) expectedTop = work.top;
    LogLine("  work area %ld,%ld-%ld,%ld, dialog %ldx%ld at %ld,%ld", work.left, work.top, work.right, work.bottom,
            width, height, box.left, box.top);
    CHECK_EQ_INT(box.left, expectedLeft);
    CHECK_EQ_INT(box.top, expectedTop);
    Confirm(session, IDCANCEL);
    EndSession(session);
  }
}

// OK without touching anything stores what the file held.
void StoredValuesWrittenBackByOk(const CaseContext& context) {
  LogScope scope("stored values written back");
  const std::string folder = MakeCaseFolder(context.root, "written-back", context.dll);
  const IniEntries stored = {{"RadioIndex", "4"},
                             {"WaveAmplitude", "17"},
                             {"WaveShiftPower", "8"},
                             {"WaveAttenuationRate", "0"},
                             {"PaletteAnimationSpeed", "255"},
                             {"FadeOffset", "0"},
                             {"FadeAmplitude", "128"},
                             {"FadePower", "192"},
                             {"UseTexture", "1"},
                             {"TextureName", "D:\\pictures\\ground.bmp"}};
  WriteSettingsFile(folder, stored);
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  CheckOnlyRadio(session, ids::kVeryLoud);
  Confirm(session, IDOK);
  CheckStored(folder, stored);
  EndSession(session);
}

}  // namespace

void RunSettingsCases(const CaseContext& context) {
  LoudPresetOpensFocused(context);
  DefaultsStoredByOk(context);
  StoredValuesClampedAndKept(context);
  CancelWithoutFileWritesNothing(context);
  OkBeforeFirstPaintKeepsSettings(context);
  StoredValuesWrittenBackByOk(context);
}

void RunPlacementCases(const CaseContext& context) { OpensOnOwnerInsideWorkArea(context); }
