// The settings dialog, its texture picker and its About box (Win32 plug-in build).
#include "plugin/settings_dialog.h"

#include <cstdint>
#include <cstring>
#include <iterator>

#include "plugin/display_dialog.h"
#include "plugin/effect_state.h"
#include "plugin/fade_progress_bar.h"
#include "plugin/resource_ids.h"
#include "plugin/settings_store.h"
#include "plugin/texture_message.h"
#include "data/bitmap_file.h"
#include "data/plugin_data.h"
#include "data/settings_keys.h"
#include "plugin/plugin_folder.h"

namespace {

struct SliderSetting {
  int id;
  std::int32_t EffectSettings::*field;
};

// Every slider and the setting it shows, in the order the first paint sets them and OK reads them back.
constexpr SliderSetting kSliderSettings[] = {
    {IDC_PALETTE_SPEED, &EffectSettings::PaletteAnimationSpeed},
    {IDC_WAVE_AMPLITUDE, &EffectSettings::WaveAmplitude},
    {IDC_WAVE_SHIFT_POWER, &EffectSettings::WaveShiftPower},
    {IDC_ATTENUATION_RATE, &EffectSettings::WaveAttenuationRate},
    {IDC_FADE_OFFSET, &EffectSettings::FadeOffset},
    {IDC_FADE_AMPLITUDE, &EffectSettings::FadeAmplitude},
    {IDC_FADE_POWER, &EffectSettings::FadePower},
};

// The settings the compute button takes from its sliders before it builds the table.
constexpr SliderSetting kFadeSliderSettings[] = {
    {IDC_FADE_OFFSET, &EffectSettings::FadeOffset},
    {IDC_FADE_AMPLITUDE, &EffectSettings::FadeAmplitude},
    {IDC_FADE_POWER, &EffectSettings::FadePower},
    {IDC_ATTENUATION_RATE, &EffectSettings::WaveAttenuationRate},
};

constexpr DWORD kTexturePickerFlags = OFN_SHOWHELP | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
static_assert(kTexturePickerFlags == 6160);

LRESULT SendItem(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendDlgItemMessageA(dialog, id, message, wParam, lParam);
}

// The slider's range is the one the settings table gives its key, so the dialog allows what the store accepts.
void SetSliderRange(HWND dialog, int id, std::int32_t EffectSettings::*field) {
  for (const SettingKey& key : SettingKeys()) {
    if (key.field == field && key.control == SettingControl::Slider) {
      SendItem(dialog, id, TBM_SETRANGE, TRUE, MAKELPARAM(key.minimum, key.maximum));
      return;
    }
  }
}

// Puts the dialog's top-left corner on its owner's (or the desktop's) and then pushes it into the work area;
// when it is larger than the work area, its left and top edges stay visible.
void PlaceOnOwner(HWND dialog) {
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  HWND owner = GetParent(dialog);
  if (owner == nullptr) owner = GetDesktopWindow();
  RECT ownerRect{}, box{};
  GetWindowRect(owner, &ownerRect);
  GetWindowRect(dialog, &box);
  const LONG width = box.right - box.left, height = box.bottom - box.top;
  LONG x = ownerRect.left, y = ownerRect.top;
  if (x + width > work.right) x -= x + width - work.right;
  if (y + height > work.bottom) y -= y + height - work.bottom;
  if (x < work.left) x += work.left - x;
  if (y < work.top) y += work.top - y;
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// Sets the sliders from the settings. Done at the first paint, when the trackbars have their final size, and
// also before any command reads the sliders back, so that a command that arrives before the first paint (Enter
// typed ahead while the dialog opens) never takes the trackbars' initial zeros for the user's settings.
void SetPendingSliderPositions(HWND dialog) {
  if (!g_state.Dialog.SlidersPending) return;
  for (const SliderSetting& slider : kSliderSettings) {
    SendItem(dialog, slider.id, TBM_SETPOS, TRUE, g_state.Settings.*slider.field);
  }
  g_state.Dialog.SlidersPending = 0;
}

void ReadSliders(HWND dialog, const SliderSetting* sliders, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    g_state.Settings.*sliders[i].field = static_cast<std::int32_t>(SendItem(dialog, sliders[i].id, TBM_GETPOS, 0, 0));
  }
}

void RefuseTexture(HWND dialog, const char* before, const char* after) {
  char text[kPathMessageBytes];
  FormatPathMessage(before, g_state.Settings.TextureName, after, text);
  MessageBoxA(dialog, text, "Error", MB_ICONERROR);
  g_state.Settings.TextureName[0] = '\0';
}

void PickTexture(HWND dialog) {
  char* name = g_state.Settings.TextureName;
  // A failed dialog may leave a required buffer size in the file-name buffer; a cancel must change nothing.
  char previousName[sizeof g_state.Settings.TextureName];
  std::memcpy(previousName, name, sizeof previousName);
  char fileTitle[256] = {};
  OPENFILENAMEA dialogSetup{};
  dialogSetup.lStructSize = sizeof dialogSetup;
  dialogSetup.hwndOwner = dialog;
  dialogSetup.hInstance = g_state.Dialog.Module->instance;
  dialogSetup.lpstrFilter = "BMP files (*.bmp)\0*.bmp\0All Files (*.*)\0*.*\0";
  dialogSetup.nFilterIndex = 1;
  dialogSetup.lpstrFile = name;
  dialogSetup.nMaxFile = sizeof g_state.Settings.TextureName;
  dialogSetup.lpstrFileTitle = fileTitle;
  dialogSetup.nMaxFileTitle = sizeof fileTitle;
  dialogSetup.lpstrTitle = "Gribola";
  dialogSetup.lpstrDefExt = "bmp";
  dialogSetup.Flags = kTexturePickerFlags;
  if (!GetOpenFileNameA(&dialogSetup)) {
    std::memcpy(name, previousName, sizeof previousName);
    return;
  }
  // A cut-off file would make the system's loader read beyond it: it is refused as one that does not load.
  HANDLE image = BitmapFileIsWhole(name)
                     ? LoadImageA(nullptr, name, IMAGE_BITMAP, 256, 256, LR_CREATEDIBSECTION | LR_LOADFROMFILE)
                     : nullptr;
  if (image == nullptr) {
    RefuseTexture(dialog, "Error loading \"", "\"");
    return;
  }
  BITMAP description{};
  const bool accepted = GetObjectA(image, sizeof description, &description) == sizeof description &&
                        description.bmWidth == 256 && description.bmHeight == 256 && description.bmBitsPixel == 8;
  DeleteObject(image);
  if (!accepted) {
    RefuseTexture(dialog, "The bitmap file \"",
                  "\" is not correctly dimensionned!     (Only 256 colors bitmaps are accepted)");
  }
}

INT_PTR OpenSettingsDialog(HWND dialog, HWND proposedFocus) {
  PlaceOnOwner(dialog);
  g_state.Dialog.SlidersPending = 1;
  SendItem(dialog, IDC_FADE_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 255));
  SendItem(dialog, IDC_FADE_PROGRESS, PBM_SETPOS, 0, 0);
  SetSliderRange(dialog, IDC_WAVE_AMPLITUDE, &EffectSettings::WaveAmplitude);
  SendItem(dialog, IDC_WAVE_AMPLITUDE, TBM_SETTIC, 0, 32);
  SetSliderRange(dialog, IDC_WAVE_SHIFT_POWER, &EffectSettings::WaveShiftPower);
  SetSliderRange(dialog, IDC_ATTENUATION_RATE, &EffectSettings::WaveAttenuationRate);
  SetSliderRange(dialog, IDC_PALETTE_SPEED, &EffectSettings::PaletteAnimationSpeed);
  SettingsFromParams();
  SetSliderRange(dialog, IDC_FADE_OFFSET, &EffectSettings::FadeOffset);
  SetSliderRange(dialog, IDC_FADE_AMPLITUDE, &EffectSettings::FadeAmplitude);
  SendItem(dialog, IDC_FADE_AMPLITUDE, TBM_SETTIC, 0, 128);
  SetSliderRange(dialog, IDC_FADE_POWER, &EffectSettings::FadePower);
  SendItem(dialog, IDC_FADE_POWER, TBM_SETTIC, 0, 192);
  if (g_state.Settings.UseTexture != 0) SendItem(dialog, IDC_USE_TEXTURE, BM_SETCHECK, BST_CHECKED, 0);
  // A value from the file that names no button already selects the custom pair; show it as such.
  if (g_state.Settings.RadioIndex < 0 || g_state.Settings.RadioIndex > 4) g_state.Settings.RadioIndex = 0;
  // Windows checks an unchecked radio button that gets the focus by clicking it, but not every implementation
  // of the controls does; checking it here gives the same state everywhere, and the click then never comes.
  const int radioId = IDC_RADIO_CUSTOM + g_state.Settings.RadioIndex;
  CheckRadioButton(dialog, IDC_RADIO_CUSTOM, IDC_RADIO_VERY_LOUD, radioId);
  UpdateCustomControls(dialog);
  g_state.Dialog.Display = DisplayChoicesOf(g_state.Settings);
  ShowDisplaySummary(dialog);
  HWND radio = GetDlgItem(dialog, radioId);
  if (proposedFocus == radio) return TRUE;
  SetFocus(radio);
  return FALSE;
}

void ComputeFadeTable(HWND dialog) {
  SetPendingSliderPositions(dialog);
  ReadSliders(dialog, kFadeSliderSettings, std::size(kFadeSliderSettings));
  DeriveEffectParams();
  if (BuildFadeFile(PluginFolderPath(), g_state.Params, FadeProgressOnBar(GetDlgItem(dialog, IDC_FADE_PROGRESS))) !=
      kFadeBuilt) {
    MessageBoxA(dialog, "Error building the fade table", "Fade-Table Error", MB_ICONERROR);
  }
}

void ConfirmSettings(HWND dialog) {
  SetPendingSliderPositions(dialog);
  ReadSliders(dialog, kSliderSettings, std::size(kSliderSettings));
  g_state.Settings.UseTexture = SendItem(dialog, IDC_USE_TEXTURE, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
  ApplyDisplayChoices(g_state.Dialog.Display, g_state.Settings);
  DeriveEffectParams();
  SaveSettings(g_state.Dialog.Module);
  if (g_state.Dialog.Display.ForgetWindowPlace) ForgetStoredWindowPlace(g_state.Dialog.Module);
  EndDialog(dialog, 1);
}

void CancelSettings(HWND dialog) {
  LoadSettingsAndParams(g_state.Dialog.Module);
  EndDialog(dialog, 2);
}

INT_PTR HandleCommand(HWND dialog, int id) {
  switch (id) {
    case IDOK:
      ConfirmSettings(dialog);
      return TRUE;
    case IDCANCEL:
      CancelSettings(dialog);
      return TRUE;
    case IDC_COMPUTE_TABLE:
      ComputeFadeTable(dialog);
      return TRUE;
    case IDC_ABOUT:
      DialogBoxParamA(g_state.Dialog.Module->instance, MAKEINTRESOURCEA(IDD_ABOUT), dialog, AboutDialogProc, 0);
      return TRUE;
    case IDC_LOAD_TEXTURE:
      PickTexture(dialog);
      return TRUE;
    case IDC_DISPLAY:
      RunDisplayDialog(dialog);
      return TRUE;
    case IDC_RADIO_CUSTOM:
    case IDC_RADIO_VERY_SOFT:
    case IDC_RADIO_SOFT:
    case IDC_RADIO_LOUD:
    case IDC_RADIO_VERY_LOUD:
      CheckRadioButton(dialog, IDC_RADIO_CUSTOM, IDC_RADIO_VERY_LOUD, id);
      g_state.Settings.RadioIndex = id - IDC_RADIO_CUSTOM;
      UpdateCustomControls(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void UpdateCustomControls(HWND dialog) {
  const BOOL enable = g_state.Settings.RadioIndex == 0;
  for (int id :
       {IDC_CUSTOM_GROUP, IDC_AMPLITUDE_LABEL, IDC_WAVE_AMPLITUDE, IDC_SHIFT_POWER_LABEL, IDC_WAVE_SHIFT_POWER}) {
    EnableWindow(GetDlgItem(dialog, id), enable);
  }
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return OpenSettingsDialog(dialog, reinterpret_cast<HWND>(wParam));
    case WM_PAINT:
      SetPendingSliderPositions(dialog);
      return FALSE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      return HandleCommand(dialog, LOWORD(wParam));
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      RECT work{}, box{};
      SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
      GetWindowRect(dialog, &box);
      const LONG x = (work.right - (box.right - box.left)) / 2;
      const LONG y = (work.bottom - (box.bottom - box.top)) / 2;
      SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      return TRUE;
    }
    case WM_COMMAND:
      // Escape arrives as IDCANCEL and is ignored: only the button (or Enter) closes the box.
      if (LOWORD(wParam) != IDOK || HIWORD(wParam) != BN_CLICKED) return FALSE;
      EndDialog(dialog, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

int ShowSettingsDialog(VisModule* module) {
  g_state.Dialog.Module = module;
  LoadSettingsAndParams(module);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  const INT_PTR result =
      DialogBoxParamA(module->instance, MAKEINTRESOURCEA(IDD_SETTINGS), module->parent, SettingsDialogProc, 0);
  // Closed: the player's configure command may open it again.
  g_state.Dialog.Module = nullptr;
  return static_cast<int>(result);
}
