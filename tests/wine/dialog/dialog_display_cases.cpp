// The settings window's layout with its "Display..." button, and the Display dialog: its choices through
// plugin.ini, Cancel at either level, hand-written and out-of-range values, the docked choice with and without
// the player's frames, forgetting the window's place, and its mnemonics.
#include <windows.h>

#include <string>

#include "../host/embed_host.h"
#include "../host/host_log.h"
#include "dialog_cases.h"
#include "dialog_fixtures.h"
#include "dialog_session.h"
#include "dialog_window_shot.h"

namespace {

constexpr char kDisplayCaption[] = "Display";
constexpr int kNoId = 0xFFFF;

struct ControlPlace {
  int id;
  const char* className;
  const char* caption;  // null: not compared (trackbars and the progress bar)
  RECT units;           // left, top, width, height in dialog units (right and bottom hold the size)
};

// The settings window as it always was, in template (and tab) order, then the display row.
constexpr ControlPlace kSettingsControls[] = {
    {ids::kCustom, "Button", "&Custom", {15, 5, 39, 10}},
    {ids::kVerySoft, "Button", "&Very Soft", {15, 35, 45, 10}},
    {ids::kSoft, "Button", "&Soft", {15, 50, 29, 10}},
    {ids::kLoud, "Button", "&Loud", {15, 65, 32, 10}},
    {ids::kVeryLoud, "Button", "V&ery Loud", {15, 80, 48, 10}},
    {ids::kWaveAmplitude, "msctls_trackbar32", nullptr, {85, 38, 105, 15}},
    {ids::kWaveShiftPower, "msctls_trackbar32", nullptr, {85, 72, 105, 15}},
    {ids::kAttenuation, "msctls_trackbar32", nullptr, {84, 113, 100, 15}},
    {ids::kFadeOffset, "msctls_trackbar32", nullptr, {80, 163, 100, 15}},
    {ids::kFadeAmplitude, "msctls_trackbar32", nullptr, {80, 183, 100, 15}},
    {ids::kFadePower, "msctls_trackbar32", nullptr, {80, 203, 100, 15}},
    {ids::kCompute, "Button", "C&ompute table", {15, 223, 55, 14}},
    {ids::kUseTexture, "Button", "&Use the texture", {31, 247, 64, 10}},
    {ids::kLoadTexture, "Button", "Loa&d a texture", {101, 245, 65, 14}},
    {ids::kPaletteSpeed, "msctls_trackbar32", nullptr, {65, 283, 100, 15}},
    {IDOK, "Button", "OK", {15, 318, 55, 14}},
    {ids::kAbout, "Button", "&About", {80, 318, 50, 14}},
    {IDCANCEL, "Button", "Cancel", {140, 318, 53, 14}},
    {kNoId, "Button", "Music Presets", {5, 20, 65, 79}},
    {ids::kShiftPowerLabel, "Static", "S&hift power", {85, 59, 105, 8}},
    {ids::kCustomGroup, "Button", "Custom Settings", {75, 5, 122, 94}},
    {ids::kAmplitudeLabel, "Static", "Ampl&itude", {85, 24, 105, 8}},
    {ids::kProgress, "msctls_progress32", nullptr, {80, 223, 110, 14}},
    {kNoId, "Button", "Fade Table + Texture", {5, 148, 192, 117}},
    {kNoId, "Button", "Palette Animation", {5, 270, 192, 40}},
    {kNoId, "Static", "S&peed", {35, 283, 22, 15}},
    {kNoId, "Static", "Offset Value", {25, 166, 40, 8}},
    {kNoId, "Static", "Amplitude Value", {14, 186, 52, 8}},
    {kNoId, "Static", "Fade Power", {26, 206, 39, 8}},
    {kNoId, "Button", "Appearance", {5, 100, 192, 44}},
    {kNoId, "Static", "Attenuation Rate", {19, 115, 54, 8}},
    {kNoId, "Static", "Fast", {85, 130, 14, 8}},
    {kNoId, "Static", "Slow", {168, 130, 16, 8}},
    {kNoId, "Static", "Slow", {66, 299, 16, 8}},
    {kNoId, "Static", "Fast", {149, 299, 14, 8}},
    {ids::kDisplay, "Button", "Displa&y...", {15, 337, 55, 14}},
    {ids::kDisplaySummary, "Static", nullptr, {76, 340, 121, 8}},
};

std::string TextOf(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool Visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != 0; }

void Confirm(DialogSession& session, int buttonId) {
  ClickNow(session, buttonId);
  if (!WaitForConfigEnd(session)) Fail("the settings window did not end after button %d", buttonId);
}

HWND OpenDisplay(DialogSession& session) {
  LogLine("  opening the Display dialog");
  ClickLater(session, ids::kDisplay);
  HWND display = WaitForThreadWindow(session, kDisplayCaption);
  if (display == nullptr) Fail("the Display dialog did not open");
  return display;
}

void CloseDisplay(HWND display, int buttonId) {
  LogLine("  closing the Display dialog with %d", buttonId);
  PostMessageA(GetDlgItem(display, buttonId), BM_CLICK, 0, 0);
  if (!WaitUntilGone(display)) Fail("the Display dialog did not close on button %d", buttonId);
}

void Click(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }

// The one checked button of ids first..last, or 0.
int CheckedOf(HWND dialog, int first, int last) {
  int checked = 0;
  for (int id = first; id <= last; ++id) {
    if (IsDlgButtonChecked(dialog, id) != BST_CHECKED) continue;
    if (checked != 0) Fail("buttons %d and %d are both checked", checked, id);
    checked = id;
  }
  return checked;
}

void CheckShown(HWND display, int mode, int picture) {
  CHECK_EQ_INT(CheckedOf(display, ids::kModeChain, ids::kModeDocked), ids::kModeChain + mode);
  CHECK_EQ_INT(CheckedOf(display, ids::kPictureClassic, ids::kPictureHd), ids::kPictureClassic + picture);
}

// Every control the settings window had keeps its id, class, caption, place and turn; "Display..." comes last.
void SettingsWindowKeepsEveryControl(const CaseContext& context) {
  LogLine("case SettingsWindowKeepsEveryControl");
  LogScope scope("settings window layout");
  const std::string folder = MakeCaseFolder(context.root, "layout", context.dll);
  OfferEmbedding(false);
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  HWND control = GetWindow(session.dialog, GW_CHILD);
  for (const ControlPlace& expected : kSettingsControls) {
    std::string label = std::to_string(expected.id);
    label += ' ';
    label += expected.caption ? expected.caption : expected.className;
    LogScope at(label);
    if (control == nullptr) {
      Fail("the window has fewer controls than expected");
      break;
    }
    // The dialog manager converts the corner and the size each on its own, as MapDialogRect does.
    RECT units = expected.units;
    MapDialogRect(session.dialog, &units);
    RECT actual{};
    GetWindowRect(control, &actual);
    MapWindowPoints(nullptr, session.dialog, reinterpret_cast<POINT*>(&actual), 2);
    CHECK_EQ_INT(GetDlgCtrlID(control) & 0xFFFF, expected.id);
    CHECK_EQ_STR(ClassOf(control), expected.className);
    if (expected.caption != nullptr) CHECK_EQ_STR(TextOf(control), expected.caption);
    CHECK_EQ_INT(actual.left, units.left);
    CHECK_EQ_INT(actual.top, units.top);
    CHECK_EQ_INT(actual.right - actual.left, units.right);
    CHECK_EQ_INT(actual.bottom - actual.top, units.bottom);
    control = GetWindow(control, GW_HWNDNEXT);
  }
  CHECK_TRUE(control == nullptr);
  // The window grew by the display row alone and still fits it.
  RECT client{}, units{0, 0, 203, 356};
  GetClientRect(session.dialog, &client);
  MapDialogRect(session.dialog, &units);
  CHECK_EQ_INT(client.right, units.right);
  CHECK_EQ_INT(client.bottom, units.bottom);
  CHECK_EQ_STR(TextOf(GetDlgItem(session.dialog, ids::kDisplaySummary)), "Full screen, classic pixels");
  Confirm(session, IDCANCEL);
  EndSession(session);
}

struct RoundTrip {
  const char* storedMode;  // as the hand-written file holds it, or null for none
  const char* storedPicture;
  int shownMode, shownPicture;  // what the dialog shows for them
  int chosenMode, chosenPicture;
  const char* summary;
};

// Each value of both keys is shown as the file holds it and stored as chosen; a value outside a key's range
// shows, and is stored, as the one the display takes it for (the first); the other settings stay as they were.
void ChoicesRoundTripThroughTheFile(const CaseContext& context) {
  LogLine("case ChoicesRoundTripThroughTheFile");
  LogScope scope("round trip");
  const RoundTrip trips[] = {
      {nullptr, nullptr, 0, 0, 2, 1, "In a window, HD"},
      {"2", "1", 2, 1, 1, 0, "320 x 200 only, classic pixels"},
      {"1", "0", 1, 0, 3, 1, "Docked, HD"},
      {"3", "1", 3, 1, 0, 0, "Full screen, classic pixels"},
      {"7", "-1", 0, 0, 0, 0, "Full screen, classic pixels"},
      {" 2 ", "0x1", 2, 1, 2, 1, "In a window, HD"},
  };
  OfferEmbedding(true);
  int n = 0;
  for (const RoundTrip& trip : trips) {
    std::string label = "stored ";
    label += trip.storedMode ? trip.storedMode : "nothing";
    LogScope row(label);
    const char* names[] = {"trip-a", "trip-b", "trip-c", "trip-d", "trip-e", "trip-f"};
    const std::string folder = MakeCaseFolder(context.root, names[n++], context.dll);
    IniEntries stored = {{"RadioIndex", "3"}};
    if (trip.storedMode) stored.push_back({"DisplayMode", trip.storedMode});
    if (trip.storedPicture) stored.push_back({"Picture", trip.storedPicture});
    WriteSettingsFile(folder, stored);
    DialogSession session;
    if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
    HWND display = OpenDisplay(session);
    if (display == nullptr) return EndSession(session);
    CheckShown(display, trip.shownMode, trip.shownPicture);
    Click(display, ids::kModeChain + trip.chosenMode);
    Click(display, ids::kPictureClassic + trip.chosenPicture);
    CheckShown(display, trip.chosenMode, trip.chosenPicture);
    CloseDisplay(display, IDOK);
    CHECK_EQ_STR(TextOf(GetDlgItem(session.dialog, ids::kDisplaySummary)), trip.summary);
    Confirm(session, IDOK);
    CHECK_EQ_STR(StoredSetting(folder, "DisplayMode"), std::to_string(trip.chosenMode));
    CHECK_EQ_STR(StoredSetting(folder, "Picture"), std::to_string(trip.chosenPicture));
    CHECK_EQ_STR(StoredSetting(folder, "RadioIndex"), "3");
    // Opened again in the same loaded library, the dialog shows what was stored.
    if (!OpenSettings(session)) return EndSession(session);
    display = OpenDisplay(session);
    if (display != nullptr) {
      CheckShown(display, trip.chosenMode, trip.chosenPicture);
      CloseDisplay(display, IDCANCEL);
    }
    Confirm(session, IDCANCEL);
    EndSession(session);
  }
}

// The Display dialog's Cancel keeps the choices it opened with; the settings window's Cancel keeps the file.
void CancelLeavesTheChoices(const CaseContext& context) {
  LogLine("case CancelLeavesTheChoices");
  LogScope scope("cancel");
  OfferEmbedding(false);
  const std::string folder = MakeCaseFolder(context.root, "display-cancel", context.dll);
  WriteSettingsFile(folder, {{"DisplayMode", "2"}, {"Picture", "1"}});
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  HWND display = OpenDisplay(session);
  if (display == nullptr) return EndSession(session);
  Click(display, ids::kModeEffectOnly);
  Click(display, ids::kPictureClassic);
  CloseDisplay(display, IDCANCEL);
  CHECK_EQ_STR(TextOf(GetDlgItem(session.dialog, ids::kDisplaySummary)), "In a window, HD");
  display = OpenDisplay(session);
  if (display == nullptr) return EndSession(session);
  CheckShown(display, 2, 1);
  Click(display, ids::kModeChain);
  CloseDisplay(display, IDOK);
  Confirm(session, IDCANCEL);
  CHECK_EQ_STR(StoredSetting(folder, "DisplayMode"), "2");
  CHECK_EQ_STR(StoredSetting(folder, "Picture"), "1");
  // Without a file, a cancelled choice writes nothing and is gone at the next opening.
  DeleteFileA((folder + "\\plugin.ini").c_str());
  if (!OpenSettings(session)) return EndSession(session);
  display = OpenDisplay(session);
  if (display == nullptr) return EndSession(session);
  Click(display, ids::kModeWindow);
  CloseDisplay(display, IDOK);
  Confirm(session, IDCANCEL);
  CHECK_TRUE(!FileExists(folder + "\\plugin.ini"));
  EndSession(session);
}

// Without the player's frames the docked choice is greyed with its reason, a stored one stays checked and is
// kept by OK; with them it can be chosen, and the frame made for the question is gone again.
void DockedChoiceFollowsThePlayer(const CaseContext& context) {
  LogLine("case DockedChoiceFollowsThePlayer");
  LogScope scope("docked");
  const std::string folder = MakeCaseFolder(context.root, "docked", context.dll);
  WriteSettingsFile(folder, {{"DisplayMode", "3"}});
  OfferEmbedding(false);
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  HWND display = OpenDisplay(session);
  if (display == nullptr) return EndSession(session);
  CHECK_TRUE(!IsWindowEnabled(GetDlgItem(display, ids::kModeDocked)));
  CHECK_TRUE(Visible(display, ids::kDockReason));
  CheckShown(display, 3, 0);
  CHECK_EQ_INT(FocusedId(session), ids::kPictureClassic);
  Click(display, ids::kModeWindow);
  CheckShown(display, 2, 0);
  Click(display, ids::kModeEffectOnly);
  CloseDisplay(display, IDCANCEL);
  Confirm(session, IDOK);
  CHECK_EQ_STR(StoredSetting(folder, "DisplayMode"), "3");

  LogScope offered("with frames");
  OfferEmbedding(true);
  if (!OpenSettings(session)) return EndSession(session);
  display = OpenDisplay(session);
  if (display == nullptr) return EndSession(session);
  CHECK_TRUE(IsWindowEnabled(GetDlgItem(display, ids::kModeDocked)));
  CHECK_TRUE(!Visible(display, ids::kDockReason));
  CHECK_EQ_INT(FocusedId(session), ids::kModeDocked);
  CHECK_EQ_INT(EmbedRequests(), 1);
  CHECK_TRUE(EmbedFrame() != nullptr && !IsWindow(EmbedFrame()));
  CloseDisplay(display, IDOK);
  Confirm(session, IDOK);
  CHECK_EQ_STR(StoredSetting(folder, "DisplayMode"), "3");
  OfferEmbedding(false);
  EndSession(session);
}

// "Forget the window's place" removes the four keys on the settings window's OK, and only then.
void ForgettingThePlace(const CaseContext& context) {
  LogLine("case ForgettingThePlace");
  LogScope scope("forget the place");
  OfferEmbedding(false);
  const IniEntries placed = {
      {"WindowLeft", "120"}, {"WindowTop", "80"}, {"WindowWidth", "640"}, {"WindowHeight", "480"}, {"FadePower", "9"}};
  for (int confirm : {IDCANCEL, IDOK}) {
    LogScope with(confirm == IDOK ? "OK" : "Cancel");
    const std::string folder =
        MakeCaseFolder(context.root, confirm == IDOK ? "forget-ok" : "forget-cancel", context.dll);
    WriteSettingsFile(folder, placed);
    DialogSession session;
    if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
    HWND display = OpenDisplay(session);
    if (display == nullptr) return EndSession(session);
    CHECK_TRUE(IsDlgButtonChecked(display, ids::kForgetPlace) != BST_CHECKED);
    Click(display, ids::kForgetPlace);
    CloseDisplay(display, IDOK);
    CHECK_EQ_STR(TextOf(GetDlgItem(session.dialog, ids::kDisplaySummary)), "Full screen, classic pixels, new place");
    Confirm(session, confirm);
    for (const char* key : {"WindowLeft", "WindowTop", "WindowWidth", "WindowHeight"}) {
      LogScope k(key);
      const std::string kept = std::string(key) == "WindowLeft"    ? "120"
                               : std::string(key) == "WindowTop"   ? "80"
                               : std::string(key) == "WindowWidth" ? "640"
                                                                   : "480";
      CHECK_EQ_STR(StoredSetting(folder, key), confirm == IDOK ? std::string("<missing>") : kept);
    }
    CHECK_EQ_STR(StoredSetting(folder, "FadePower"), "9");
    EndSession(session);
  }
}

// Alt+Y opens the dialog from the settings window; in it Alt+W picks the window, Alt+H the HD picture, Enter is OK.
void KeyboardReachesEveryChoice(const CaseContext& context) {
  LogLine("case KeyboardReachesEveryChoice");
  LogScope scope("keyboard");
  OfferEmbedding(false);
  const std::string folder = MakeCaseFolder(context.root, "keyboard", context.dll);
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  auto alt = [](HWND window, char letter) {
    PostMessageA(window, WM_SYSCHAR, static_cast<WPARAM>(letter), 0x20000001);
  };
  alt(GetDlgItem(session.dialog, ids::kSoft), 'y');
  HWND display = WaitForThreadWindow(session, kDisplayCaption);
  if (display == nullptr) {
    Fail("Alt+Y did not open the Display dialog");
    Confirm(session, IDCANCEL);
    return EndSession(session);
  }
  KeepDialogShot(context, display, "display_dialog.png");
  alt(display, 'w');
  alt(display, 'h');
  SendMessageA(display, WM_NULL, 0, 0);
  CheckShown(display, 2, 1);
  HWND focused = GetDlgItem(display, FocusedId(session));
  PostMessageA(focused, WM_KEYDOWN, VK_RETURN, 0x001C0001);
  PostMessageA(focused, WM_KEYUP, VK_RETURN, 0xC01C0001);
  if (!WaitUntilGone(display)) Fail("Enter did not close the Display dialog");
  Confirm(session, IDOK);
  CHECK_EQ_STR(StoredSetting(folder, "DisplayMode"), "2");
  CHECK_EQ_STR(StoredSetting(folder, "Picture"), "1");
  EndSession(session);
}

}  // namespace

void RunDisplayCases(const CaseContext& context) {
  SettingsWindowKeepsEveryControl(context);
  ChoicesRoundTripThroughTheFile(context);
  CancelLeavesTheChoices(context);
  DockedChoiceFollowsThePlayer(context);
  ForgettingThePlace(context);
  KeyboardReachesEveryChoice(context);
}
