// The one static record that holds all of the plug-in's state, for as long as the library is loaded.
#pragma once
#include <cstdint>

#include "core/effect_settings.h"
#include "core/engine.h"
#include "host/vis_records.h"
#include "platform/platform.h"

struct EffectState {
  EffectSettings Settings{};
  EffectParams Params{};

  // Display. The window handle is set at Init (also when creation fails) and never cleared.
  HWND Window{};
  std::int32_t WindowActive{};  // from the last WM_ACTIVATEAPP or WM_ACTIVATE
  IDirectDraw* DirectDraw{};
  IDirectDrawSurface* PrimarySurface{};
  IDirectDrawSurface* OffscreenSurface{};  // released with DirectDraw; only replaced at the next Init
  IDirectDrawPalette* Palette{};           // likewise
  PALETTEENTRY DisplayPalette[256]{};
  std::int32_t SystemMemorySurface{};  // once set, never cleared while loaded
  HRESULT LastDisplayResult{};
  DDSURFACEDESC SurfaceDesc{};
  std::int32_t FrameWidth{}, FrameHeight{}, FramePitch{};
  std::uint8_t* FramePixels{};  // meaningful only while the off-screen surface is locked

  // How the display came up (DisplayKind), the exclusive mode's size and where an enlarged picture lies in it.
  std::int32_t DisplayKind{};
  std::int32_t ScreenWidth{}, ScreenHeight{};
  RECT PictureRect{};
  std::int32_t SwitchRequested{};  // Alt+Enter, for the next Render
  // In a window the frame is drawn here instead of an off-screen surface, and the picture on screen is kept
  // apart from it, so that a palette step shows on the previous picture as on the 8-bit display.
  std::uint8_t WindowFrame[320 * 200]{};
  std::uint8_t WindowScreen[320 * 200]{};
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } WindowBitmap{};
  std::uint8_t WindowRow[8192]{};
  std::uint16_t WindowColumns[8192]{};  // source column of each picture column, for WindowColumnsWidth
  std::int32_t WindowColumnsWidth{};

  // The effect: built by Init, released by Quit; its counters go on from one Init to the next.
  Engine Effect{};

  // The plug-in's folder, ending in a backslash; every file is named through PluginFilePath.
  char PluginPath[260]{};

  // Settings dialog.
  VisModule* DialogModule{};
  std::int32_t SlidersPending{};
};

extern constinit EffectState g_state;

// Puts g_state back into its state at library load (defaults, empty path, zero counters). For tests and for a
// host that wants a fresh start; the plug-in itself never calls it.
void ResetEffectState();
