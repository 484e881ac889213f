// Opening the display: the effect's own exclusive mode, the larger 8-bit modes after it, a window at the end.
#include <algorithm>

#include "plugin/display.h"
#include "plugin/effect_state.h"

namespace {

constexpr const char kDirectDrawCaption[] = "DirectDraw error";
constexpr const char kWindowCaption[] = "...";

struct ExclusiveMode {
  int width, height;
};
// Many displays no longer offer 320 x 200; these 8-bit modes take the frame enlarged twice, the second with
// black bands above and below.
constexpr ExclusiveMode kFallbackModes[] = {{640, 400}, {640, 480}};

// The largest whole-pixel enlargement of the frame that fits the screen, centred.
void PlacePicture() {
  int scale = std::min(g_state.Screen.ScreenWidth / kDisplayWidth, g_state.Screen.ScreenHeight / kDisplayHeight);
  if (scale < 1) scale = 1;
  const int width = kDisplayWidth * scale, height = kDisplayHeight * scale;
  const int left = (g_state.Screen.ScreenWidth - width) / 2, top = (g_state.Screen.ScreenHeight - height) / 2;
  g_state.Screen.PictureRect = RECT{left, top, left + width, top + height};
  g_state.Screen.DisplayKind =
      scale == 1 && width == g_state.Screen.ScreenWidth && height == g_state.Screen.ScreenHeight
          ? kDisplayExclusive
          : kDisplayExclusiveScaled;
}

}  // namespace

DisplayStepMessage DisplayFailureMessage(DisplayStep step) {
  switch (step) {
    case kDisplayOpen:
      break;
    case kStepDevice:
      return {"Error creating DDraw object", kDirectDrawCaption};
    case kStepCooperation:
      return {"Error setting DDraw cooperative level", kDirectDrawCaption};
    case kStepMode:
      return {"Error setting DDraw display mode", kDirectDrawCaption};
    case kStepCreatePalette:
      return {"Error associating a palette to the DDraw object", kDirectDrawCaption};
    case kStepPrimary:
      return {"Error creating DDraw primary surface", kDirectDrawCaption};
    case kStepOffscreen:
      return {"Error creating DDraw offscreen surface (Full error!)", kDirectDrawCaption};
    case kStepOffscreenMemory:
      return {"Error creating DDraw offscreen surface (No possible allocation)", kDirectDrawCaption};
    case kStepGeometry:
      return {"Error getting DDraw offscreen surface description", kDirectDrawCaption};
    case kStepAttachPalette:
      return {"Error asociating a palette to the DDraw primary surface", kDirectDrawCaption};
    case kStepClearScreen:
      return {"Error clearing the DDraw primary surface", kDirectDrawCaption};
    case kStepMonitor:
      return {"Error finding the monitor of the player's window", kWindowCaption};
    case kStepPlaceWindow:
      return {"Error placing the display window", kWindowCaption};
    case kStepWindowDC:
      return {"Error getting the display window's drawing context", kWindowCaption};
    case kStepWindowPicture:
      return {"Error drawing into the display window", kWindowCaption};
    case kStepDock:
      return {"Error docking the display window in the player's frame", kWindowCaption};
  }
  return {"", ""};
}

DisplayStep BeginExclusiveDisplay(int width, int height) {
  if (CreateDisplayDevice() != 0) return kStepDevice;
  if (TakeExclusiveDisplay() != 0) return kStepCooperation;
  if (SetExclusiveDisplayMode(width, height) != 0) return kStepMode;
  g_state.Screen.ScreenWidth = width;
  g_state.Screen.ScreenHeight = height;
  return kDisplayOpen;
}

DisplayStep FinishExclusiveDisplay() {
  if (CreateDisplayPalette() != 0) return kStepCreatePalette;
  if (CreatePrimarySurface() != 0) return kStepPrimary;
  switch (CreateOffscreenSurface()) {
    case kOffscreenCreated:
      break;
    case kOffscreenFailed:
      return kStepOffscreen;
    case kOffscreenNoAllocation:
      return kStepOffscreenMemory;
  }
  if (ReadOffscreenGeometry() != 0) return kStepGeometry;
  if (AttachDisplayPalette() != 0) return kStepAttachPalette;
  PlacePicture();
  // Only an enlarged picture leaves screen uncovered; the effect's own mode stays exactly as it always was.
  if (g_state.Screen.DisplayKind == kDisplayExclusiveScaled && ClearScreen() != 0) return kStepClearScreen;
  return kDisplayOpen;
}

DisplayStep OpenFallbackDisplay(VisModule* module) {
  for (const ExclusiveMode& mode : kFallbackModes) {
    ReleaseDirectDrawObjects();
    DisplayStep failed = BeginExclusiveDisplay(mode.width, mode.height);
    if (failed == kDisplayOpen) failed = FinishExclusiveDisplay();
    if (failed == kDisplayOpen) return kDisplayOpen;
  }
  ReleaseDirectDrawObjects();
  return OpenWindowDisplay(module, kDisplayBorderless);
}

int RestoreDisplaySurfaces() {
  g_state.Screen.LastDisplayResult = g_state.Screen.PrimarySurface->Restore();
  if (g_state.Screen.LastDisplayResult != DD_OK) return 1;
  g_state.Screen.LastDisplayResult = g_state.Screen.OffscreenSurface->Restore();
  if (g_state.Screen.LastDisplayResult != DD_OK) return 1;
  if (AttachDisplayPalette() != 0) return 1;
  if (g_state.Screen.DisplayKind == kDisplayExclusiveScaled && ClearScreen() != 0) return 1;
  return 0;
}

bool SwitchDisplayIfAsked(VisModule* module) {
  if (g_state.Screen.SwitchRequested == 0) return true;
  g_state.Screen.SwitchRequested = 0;
  const std::int32_t kind = g_state.Screen.DisplayKind;
  if (kind != kDisplayWindowed && kind != kDisplayDocked) {
    ReleaseDirectDrawObjects();
    return OpenHomeWindow(module) == kDisplayOpen;
  }
  // Back to full screen by the way Init would go there; where no full screen comes up, the window goes home.
  NoteWindowGeometry();
  if (kind == kDisplayDocked) LeaveDock(module);
  PlaceFullScreenWindow();
  DisplayStep failed = BeginExclusiveDisplay(kDisplayWidth, kDisplayHeight);
  if (failed == kDisplayOpen) failed = FinishExclusiveDisplay();
  if (failed != kDisplayOpen && g_state.Settings.DisplayMode != kDisplayModeEffectOnly)
    failed = OpenFallbackDisplay(module);
  if (failed == kDisplayOpen) return true;
  ReleaseDirectDrawObjects();
  return OpenHomeWindow(module) == kDisplayOpen;
}
