// The "Display..." dialog: the way the effect shows, the picture in windows and forgetting the window's place,
// chosen through the display choices' model and kept for the settings window's OK.
#include "plugin/display_dialog.h"

#include <string>

#include "plugin/display_choices.h"
#include "plugin/effect_state.h"
#include "plugin/resource_ids.h"
#include "plugin/window_home.h"

namespace {

// What one opening of the dialog works on: a copy of the choices, taken back only on OK.
struct DisplayDialogRun {
  DisplayChoices choices;
  bool frameOffered;
};

constexpr const char* kModeWords[] = {"Full screen", "320 x 200 only", "In a window", "Docked"};
constexpr const char* kPictureWords[] = {"classic pixels", "HD"};

DisplayDialogRun& RunOf(HWND dialog) {
  return *reinterpret_cast<DisplayDialogRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

INT_PTR OpenDisplayDialog(HWND dialog, DisplayDialogRun& run) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&run));
  const int modeId = IDC_MODE_CHAIN + run.choices.Mode;
  const int pictureId = IDC_PICTURE_CLASSIC + run.choices.Picture;
  CheckRadioButton(dialog, IDC_MODE_CHAIN, IDC_MODE_DOCKED, modeId);
  CheckRadioButton(dialog, IDC_PICTURE_CLASSIC, IDC_PICTURE_HD, pictureId);
  CheckDlgButton(dialog, IDC_FORGET_PLACE, run.choices.ForgetWindowPlace ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(GetDlgItem(dialog, IDC_MODE_DOCKED), run.frameOffered);
  ShowWindow(GetDlgItem(dialog, IDC_DOCK_REASON), run.frameOffered ? SW_HIDE : SW_SHOWNA);
  // An unchecked radio button that gets the focus checks itself: with the stored docked choice greyed, the focus
  // goes to the picture instead of quietly choosing full screen.
  const bool modeFocusable = DisplayModeSelectable(run.choices.Mode, run.frameOffered);
  SetFocus(GetDlgItem(dialog, modeFocusable ? modeId : pictureId));
  return FALSE;
}

INT_PTR HandleDisplayCommand(HWND dialog, int id) {
  DisplayDialogRun& run = RunOf(dialog);
  if (id >= IDC_MODE_CHAIN && id <= IDC_MODE_DOCKED) {
    ChooseDisplayMode(run.choices, id - IDC_MODE_CHAIN, run.frameOffered);
    CheckRadioButton(dialog, IDC_MODE_CHAIN, IDC_MODE_DOCKED, IDC_MODE_CHAIN + run.choices.Mode);
    return TRUE;
  }
  if (id == IDC_PICTURE_CLASSIC || id == IDC_PICTURE_HD) {
    run.choices.Picture = id == IDC_PICTURE_HD ? kPictureSmooth : kPictureClassic;
    CheckRadioButton(dialog, IDC_PICTURE_CLASSIC, IDC_PICTURE_HD, id);
    return TRUE;
  }
  if (id == IDOK) {
    run.choices.ForgetWindowPlace = Checked(dialog, IDC_FORGET_PLACE);
    EndDialog(dialog, IDOK);
    return TRUE;
  }
  if (id == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK DisplayDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OpenDisplayDialog(dialog, *reinterpret_cast<DisplayDialogRun*>(lParam));
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      return HandleDisplayCommand(dialog, LOWORD(wParam));
    default:
      return FALSE;
  }
}

}  // namespace

void RunDisplayDialog(HWND settingsDialog) {
  VisModule* module = g_state.Dialog.Module;
  DisplayDialogRun run{g_state.Dialog.Display, PlayerOffersFrame(module)};
  if (DialogBoxParamA(module->instance, MAKEINTRESOURCEA(IDD_DISPLAY), settingsDialog, DisplayDialogProc,
                      reinterpret_cast<LPARAM>(&run)) != IDOK)
    return;
  g_state.Dialog.Display = run.choices;
  ShowDisplaySummary(settingsDialog);
}

void ShowDisplaySummary(HWND settingsDialog) {
  const DisplayChoices& choices = g_state.Dialog.Display;
  std::string text = std::string(kModeWords[choices.Mode]) + ", " + kPictureWords[choices.Picture];
  if (choices.ForgetWindowPlace) text += ", new place";
  SetDlgItemTextA(settingsDialog, IDC_DISPLAY_SUMMARY, text.c_str());
}
