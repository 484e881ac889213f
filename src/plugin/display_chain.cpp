// Opening the display: the effect's own exclusive mode, the larger 8-bit modes after it, a window at the end.
#include <algorithm>

#include "plugin/display.h"
#include "plugin/plugin_state.h"

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
void PlacePicture(Screen& screen) {
  int scale = std::min(screen.ScreenWidth / kDisplayWidth, screen.ScreenHeight / kDisplayHeight);
  if (scale < 1) scale = 1;
  const int width = kDisplayWidth * scale, height = kDisplayHeight * scale;
  const int left = (screen.ScreenWidth - width) / 2, top = (screen.ScreenHeight - height) / 2;
  screen.PictureRect = VidRect{left, top, left + width, top + height};
  screen.DisplayKind = scale == 1 && width == screen.ScreenWidth && height == screen.ScreenHeight
                           ? kDisplayExclusive
                           : kDisplayExclusiveScaled;
}

// Each step keeps its call's result in LastDisplayResult; true when it succeeded.
bool Ok(Screen& screen, VidResult result) {
  screen.LastDisplayResult = result;
  return result == kVidOk;
}

enum OffscreenStatus { kOffscreenCreated, kOffscreenFailed, kOffscreenNoAllocation };

// The 320 x 200 off-screen surface, in system memory when video memory has run out (once, and from then on).
OffscreenStatus CreateOffscreenSurface(Screen& screen) {
  if (screen.SystemMemorySurface == 0) {
    if (Ok(screen, VidCreateOffscreen(screen.Device, kDisplayWidth, kDisplayHeight, false, &screen.OffscreenSurface)))
      return kOffscreenCreated;
    if (screen.LastDisplayResult != kVidOutOfVideoMemory) return kOffscreenFailed;
  }
  if (!Ok(screen, VidCreateOffscreen(screen.Device, kDisplayWidth, kDisplayHeight, true, &screen.OffscreenSurface)))
    return kOffscreenNoAllocation;
  screen.SystemMemorySurface = 1;
  return kOffscreenCreated;
}

bool ReadOffscreenGeometry(Screen& screen) {
  VidFrame geometry{};
  if (!Ok(screen, VidDescribe(screen.OffscreenSurface, &geometry))) return false;
  screen.FrameWidth = geometry.width;
  screen.FrameHeight = geometry.height;
  screen.FramePitch = geometry.pitch;
  screen.FramePixels = geometry.pixels;
  return true;
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

DisplayStep BeginExclusiveDisplay(Plugin& plugin, int width, int height) {
  Screen& screen = plugin.Screen;
  if (!Ok(screen, VidCreateDevice(&screen.Device))) return kStepDevice;
  if (!Ok(screen, VidSetExclusive(screen.Device, screen.Window))) return kStepCooperation;
  if (!Ok(screen, VidSetMode(screen.Device, width, height))) return kStepMode;
  screen.ScreenWidth = width;
  screen.ScreenHeight = height;
  return kDisplayOpen;
}

DisplayStep FinishExclusiveDisplay(Plugin& plugin) {
  Screen& screen = plugin.Screen;
  if (!Ok(screen, VidCreatePalette(screen.Device, screen.DisplayPalette, &screen.Palette))) return kStepCreatePalette;
  if (!Ok(screen, VidCreatePrimary(screen.Device, &screen.PrimarySurface))) return kStepPrimary;
  switch (CreateOffscreenSurface(screen)) {
    case kOffscreenCreated:
      break;
    case kOffscreenFailed:
      return kStepOffscreen;
    case kOffscreenNoAllocation:
      return kStepOffscreenMemory;
  }
  if (!ReadOffscreenGeometry(screen)) return kStepGeometry;
  if (!Ok(screen, VidAttachPalette(screen.PrimarySurface, screen.Palette))) return kStepAttachPalette;
  PlacePicture(screen);
  // Only an enlarged picture leaves screen uncovered; the effect's own mode stays exactly as it always was.
  if (screen.DisplayKind == kDisplayExclusiveScaled && !Ok(screen, VidClear(screen.PrimarySurface)))
    return kStepClearScreen;
  return kDisplayOpen;
}

DisplayStep OpenFallbackDisplay(Plugin& plugin, VisModule* module) {
  for (const ExclusiveMode& mode : kFallbackModes) {
    ReleaseDeviceObjects(plugin.Screen);
    DisplayStep failed = BeginExclusiveDisplay(plugin, mode.width, mode.height);
    if (failed == kDisplayOpen) failed = FinishExclusiveDisplay(plugin);
    if (failed == kDisplayOpen) return kDisplayOpen;
  }
  ReleaseDeviceObjects(plugin.Screen);
  return OpenWindowDisplay(plugin, module, kDisplayBorderless);
}

int RestoreDisplaySurfaces(Screen& screen) {
  if (!Ok(screen, VidRestore(screen.PrimarySurface))) return 1;
  if (!Ok(screen, VidRestore(screen.OffscreenSurface))) return 1;
  if (!Ok(screen, VidAttachPalette(screen.PrimarySurface, screen.Palette))) return 1;
  if (screen.DisplayKind == kDisplayExclusiveScaled && !Ok(screen, VidClear(screen.PrimarySurface))) return 1;
  return 0;
}

void ReleaseDeviceObjects(Screen& screen) {
  if (screen.Device == nullptr) return;
  // The off-screen surface and the palette are meant to go with the device, but not every system does that for
  // objects of the first interface (Wine keeps them, and the device behind them, alive): they are released first,
  // as their creator's children.
  for (VidSurface** surface : {&screen.PrimarySurface, &screen.OffscreenSurface}) {
    if (*surface != nullptr) VidRelease(*surface);
    *surface = nullptr;
  }
  if (screen.Palette != nullptr) VidRelease(screen.Palette);
  screen.Palette = nullptr;
  // Releasing the exclusive device gives the desktop its own mode back.
  VidRelease(screen.Device);
  screen.Device = nullptr;
}

bool SwitchDisplayIfAsked(Plugin& plugin, VisModule* module) {
  Screen& screen = plugin.Screen;
  if (screen.SwitchRequested == 0) return true;
  screen.SwitchRequested = 0;
  const std::int32_t kind = screen.DisplayKind;
  if (kind != kDisplayWindowed && kind != kDisplayDocked) {
    ReleaseDeviceObjects(screen);
    return OpenHomeWindow(plugin, module) == kDisplayOpen;
  }
  // Back to full screen by the way Init would go there; where no full screen comes up, the window goes home.
  NoteWindowGeometry(plugin);
  // Full screen from here on: the window's new sizes on the way are no window picture's.
  screen.DisplayKind = kDisplayExclusive;
  if (kind == kDisplayDocked) LeaveDock(plugin, module);
  PlaceFullScreenWindow(plugin);
  DisplayStep failed = BeginExclusiveDisplay(plugin, kDisplayWidth, kDisplayHeight);
  if (failed == kDisplayOpen) failed = FinishExclusiveDisplay(plugin);
  if (failed != kDisplayOpen && plugin.Settings.DisplayMode != kDisplayModeEffectOnly)
    failed = OpenFallbackDisplay(plugin, module);
  if (failed == kDisplayOpen) return true;
  ReleaseDeviceObjects(screen);
  return OpenHomeWindow(plugin, module) == kDisplayOpen;
}
