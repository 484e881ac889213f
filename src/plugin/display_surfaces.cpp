// The palette, the primary and off-screen surfaces, the off-screen geometry, the palette's attachment, the clear.
#include "plugin/display.h"
#include "plugin/effect_state.h"

int CreateDisplayPalette() {
  g_state.Screen.LastDisplayResult = g_state.Screen.DirectDraw->CreatePalette(
      DDPCAPS_8BIT, g_state.Screen.DisplayPalette, &g_state.Screen.Palette, nullptr);
  return g_state.Screen.LastDisplayResult == DD_OK ? 0 : 1;
}

int CreatePrimarySurface() {
  DDSURFACEDESC desc{};
  desc.dwSize = kSurfaceDescSize;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  g_state.Screen.LastDisplayResult =
      g_state.Screen.DirectDraw->CreateSurface(&desc, &g_state.Screen.PrimarySurface, nullptr);
  return g_state.Screen.LastDisplayResult == DD_OK ? 0 : 1;
}

OffscreenStatus CreateOffscreenSurface() {
  DDSURFACEDESC desc{};
  desc.dwSize = kSurfaceDescSize;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  desc.dwWidth = kDisplayWidth;
  desc.dwHeight = kDisplayHeight;
  // Once video memory has run out in this loaded library, it is not asked for again.
  if (g_state.Screen.SystemMemorySurface == 0) {
    g_state.Screen.LastDisplayResult =
        g_state.Screen.DirectDraw->CreateSurface(&desc, &g_state.Screen.OffscreenSurface, nullptr);
    if (g_state.Screen.LastDisplayResult == DD_OK) return kOffscreenCreated;
    if (g_state.Screen.LastDisplayResult != DDERR_OUTOFVIDEOMEMORY) return kOffscreenFailed;
  }
  desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
  g_state.Screen.LastDisplayResult =
      g_state.Screen.DirectDraw->CreateSurface(&desc, &g_state.Screen.OffscreenSurface, nullptr);
  if (g_state.Screen.LastDisplayResult != DD_OK) return kOffscreenNoAllocation;
  g_state.Screen.SystemMemorySurface = 1;
  return kOffscreenCreated;
}

int ReadOffscreenGeometry() {
  g_state.Screen.SurfaceDesc.dwSize = kSurfaceDescSize;
  g_state.Screen.SurfaceDesc.dwFlags = kGeometryFlags;
  g_state.Screen.LastDisplayResult = g_state.Screen.OffscreenSurface->GetSurfaceDesc(&g_state.Screen.SurfaceDesc);
  if (g_state.Screen.LastDisplayResult != DD_OK) return 1;
  g_state.Screen.FrameWidth = static_cast<std::int32_t>(g_state.Screen.SurfaceDesc.dwWidth);
  g_state.Screen.FrameHeight = static_cast<std::int32_t>(g_state.Screen.SurfaceDesc.dwHeight);
  g_state.Screen.FramePitch = g_state.Screen.SurfaceDesc.lPitch;
  g_state.Screen.FramePixels = static_cast<std::uint8_t*>(g_state.Screen.SurfaceDesc.lpSurface);
  return 0;
}

int AttachDisplayPalette() {
  g_state.Screen.LastDisplayResult = g_state.Screen.PrimarySurface->SetPalette(g_state.Screen.Palette);
  return g_state.Screen.LastDisplayResult == DD_OK ? 0 : 1;
}

int ClearScreen() {
  DDBLTFX fill{};
  fill.dwSize = sizeof fill;
  fill.dwFillColor = 0;
  g_state.Screen.LastDisplayResult =
      g_state.Screen.PrimarySurface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
  return g_state.Screen.LastDisplayResult == DD_OK ? 0 : 1;
}
