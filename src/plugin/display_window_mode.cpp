// The plug-in's window: made over the whole desktop, then a borderless cover of the host's monitor, a normal
// window, or back over the whole screen, placed and styled.
#include "plugin/display.h"
#include "plugin/plugin_state.h"

namespace {

// The client area of a new normal window: the frame at twice its size, in the 4:3 shape of the display it
// was made for.
constexpr int kWindowClientWidth = 640;
constexpr int kWindowClientHeight = 480;

}  // namespace

bool CreateDisplayWindow(Plugin& plugin, VisModule* module) {
  plugin.Screen.Window = VidCreateWindow(module);
  return plugin.Screen.Window != nullptr;
}

DisplayStep OpenWindowDisplay(Plugin& plugin, VisModule* module, DisplayKind kind) {
  VidRect monitor{}, work{};
  if (!VidHostMonitor(module, &monitor, &work)) return kStepMonitor;
  const bool placed =
      kind == kDisplayWindowed
          ? VidPlaceWindow(plugin.Screen.Window, VidPlacement::Normal,
                           NormalWindowPlace(plugin, module, work, kWindowClientWidth, kWindowClientHeight))
          : VidPlaceWindow(plugin.Screen.Window, VidPlacement::TopMost, monitor);
  if (!placed) return kStepPlaceWindow;
  return ShowInWindow(plugin, kind);
}

DisplayStep ShowInWindow(Plugin& plugin, DisplayKind kind) {
  Screen& screen = plugin.Screen;
  screen.DisplayKind = kind;
  // The frame the pipeline draws is the same 320 x 200 as on the exclusive display, so its tables fit every way.
  screen.FrameWidth = kDisplayWidth;
  screen.FrameHeight = kDisplayHeight;
  screen.FramePitch = kDisplayWidth;
  screen.FramePixels = nullptr;
  VidCanvas* canvas = VidBeginDraw(screen.Window);
  if (canvas == nullptr) return kStepWindowDC;
  const bool drawn = DrawWindowPicture(plugin, canvas);
  VidEndDraw(screen.Window, canvas);
  return drawn ? kDisplayOpen : kStepWindowPicture;
}

DisplayStep OpenHomeWindow(Plugin& plugin, VisModule* module) {
  if (plugin.Screen.Home.Kind == kDisplayDocked) {
    const DockOpenStatus docked = OpenDockedWindow(plugin, module);
    if (docked == kDockOpen) return ShowInWindow(plugin, kDisplayDocked);
    if (docked == kDockFailed) return kStepDock;
  }
  return OpenWindowDisplay(plugin, module, kDisplayWindowed);
}

void PlaceFullScreenWindow(Plugin& plugin) {
  VidPlaceWindow(plugin.Screen.Window, VidPlacement::TopMost, VidDesktopRect());
}
