// The screen: everything that carries a frame from the effect to the display, and the one small interface through
// which Render uses it, with a backend per way to the screen (exclusive, exclusive enlarged, borderless window,
// normal window, docked). Opening and the fall-backs between the ways are in display.h.
#pragma once
#include <atomic>
#include <cstdint>

#include "plugin/video.h"
#include "plugin/window_hd.h"
#include "plugin/window_home.h"

struct Plugin;

// How the frame reaches the screen.
enum DisplayKind : std::int32_t {
  kDisplayExclusive = 0,        // exclusive 320 x 200 x 8, the frame copied as it is
  kDisplayExclusiveScaled = 1,  // exclusive in a larger 8-bit mode, the frame enlarged by whole pixels, centred
  kDisplayBorderless = 2,       // a top-most window over a monitor at the desktop's mode
  kDisplayWindowed = 3,         // a normal, resizable window
  kDisplayDocked = 4,           // a child of the frame the player offers
};

// The ways through a window of the plug-in's own rather than an exclusive mode.
inline bool IsWindowKind(std::int32_t kind) {
  return kind == kDisplayBorderless || kind == kDisplayWindowed || kind == kDisplayDocked;
}

constexpr int kDisplayWidth = 320;
constexpr int kDisplayHeight = 200;
constexpr int kFramePixelCount = kDisplayWidth * kDisplayHeight;
// The widest picture a window shows; a wider 4:3 area keeps this width, centred.
constexpr int kMaxPictureWidth = 8192;

struct Screen {
  // The window is set at Init (also when creation fails) and never cleared.
  VidWindow* Window{};
  std::int32_t WindowActive{};  // from the window's last activation
  VidDevice* Device{};
  VidSurface* PrimarySurface{};
  VidSurface* OffscreenSurface{};  // released with the device; only replaced at the next Init
  VidPalette* Palette{};           // likewise
  // The colours on the screen: the device's palette is made from them, the palette step writes them.
  VidColour DisplayPalette[256]{};
  std::int32_t SystemMemorySurface{};  // once set, never cleared while loaded
  VidResult LastDisplayResult{};
  std::int32_t FrameWidth{}, FrameHeight{}, FramePitch{};
  std::uint8_t* FramePixels{};  // meaningful only while the frame is locked

  // How the display came up, the exclusive mode's size and where an enlarged picture lies in it.
  std::int32_t DisplayKind{};
  std::int32_t ScreenWidth{}, ScreenHeight{};
  VidRect PictureRect{};
  std::int32_t SwitchRequested{};  // Alt+Enter, for the next Render
  // In a window the frame is drawn here instead of an off-screen surface, and the picture on screen is kept
  // apart from it, so that a palette step shows on the previous picture as on the 8-bit display.
  std::uint8_t WindowFrame[kFramePixelCount]{};
  std::uint8_t WindowScreen[kFramePixelCount]{};
  std::uint32_t WindowColours[256]{};  // the picture's colours as the window shows them, 0x00RRGGBB
  std::uint8_t WindowRow[kMaxPictureWidth]{};
  std::uint16_t WindowColumns[kMaxPictureWidth]{};  // source column of each picture column, for WindowColumnsWidth
  std::int32_t WindowColumnsWidth{};
  // With "Picture=1": the tunnel drawn at the client area's own size instead.
  HdPicture Hd{};
  // Where the window goes when not full screen, and what it remembers of its place.
  WindowHome Home{};
  // The window's picture, its colours, the scratch rows and the hd pixels (window_picture_lock.h).
  std::atomic_flag PictureBusy{};
};

// One way to the screen, as Render drives it once per frame: Show, Lock, (the effect draws), Unlock, (the
// palette step), Present.
struct ScreenBackend {
  // Whether a frame is drawn now: full screen draws only while active, a normal window always.
  bool (*Wanted)(Plugin&);
  // Puts the picture drawn by the previous frame on the screen; false stops the effect.
  bool (*Show)(Plugin&);
  // Makes FramePixels, FrameWidth, FrameHeight and FramePitch the frame to draw into; false stops the effect.
  bool (*Lock)(Plugin&);
  // Gives the frame back.
  VidResult (*Unlock)(Plugin&);
  // Hands DisplayPalette on after the palette step (`changed` when the step moved it); false stops the effect.
  bool (*Present)(Plugin&, bool changed);
};

// The backend of the way the display came up (Screen::DisplayKind).
const ScreenBackend& ScreenBackendOf(std::int32_t kind);
const ScreenBackend& ExclusiveScreen();
const ScreenBackend& ExclusiveScaledScreen();
const ScreenBackend& BorderlessScreen();
const ScreenBackend& WindowedScreen();
const ScreenBackend& DockedScreen();
