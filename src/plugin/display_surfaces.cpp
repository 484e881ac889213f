// The palette, the primary and off-screen surfaces, the off-screen geometry, the palette's attachment, the clear.
#include "plugin/display.h"
#include "plugin/effect_state.h"

int CreateDisplayPalette() {
  g_state.LastDisplayResult =
      g_state.DirectDraw->CreatePalette(DDPCAPS_8BIT, g_state.DisplayPalette, &g_state.Palette, nullptr);
  return g_state.LastDisplayResult == DD_OK ? 0 : 1;
}

int CreatePrimarySurface() {
  DDSURFACEDESC desc{};
  desc.dwSize = kSurfaceDescSize;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  g_state.LastDisplayResult = g_state.DirectDraw->CreateSurface(&desc, &g_state.PrimarySurface, nullptr);
  return g_state.LastDisplayResult == DD_OK ? 0 : 1;
}

OffscreenStatus CreateOffscreenSurface() {
  DDSURFACEDESC desc{};
  desc.dwSize = kSurfaceDescSize;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  desc.dwWidth = kDisplayWidth;
  desc.dwHeight = kDisplayHeight;
  // Once video memory has run out in this loaded library, it is not asked for again.
  if (g_state.SystemMemorySurface == 0) {
    g_state.LastDisplayResult = g_state.DirectDraw->CreateSurface(&desc, &g_state.OffscreenSurface, nullptr);
    if (g_state.LastDisplayResult == DD_OK) return kOffscreenCreated;
    if (g_state.LastDisplayResult != DDERR_OUTOFVIDEOMEMORY) return kOffscreenFailed;
  }
  desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
  g_state.LastDisplayResult = g_state.DirectDraw->CreateSurface(&desc, &g_state.OffscreenSurface, nullptr);
  if (g_state.LastDisplayResult != DD_OK) return kOffscreenNoAllocation;
  g_state.SystemMemorySurface = 1;
  return kOffscreenCreated;
}

int ReadOffscreenGeometry() {
  g_state.SurfaceDesc.dwSize = kSurfaceDescSize;
  g_state.SurfaceDesc.dwFlags = kGeometryFlags;
  g_state.LastDisplayResult = g_state.OffscreenSurface->GetSurfaceDesc(&g_state.SurfaceDesc);
  if (g_state.LastDisplayResult != DD_OK) return 1;
  g_state.FrameWidth = static_cast<std::int32_t>(g_state.SurfaceDesc.dwWidth);
  g_state.FrameHeight = static_cast<std::int32_t>(g_state.SurfaceDesc.dwHeight);
  g_state.FramePitch = g_state.SurfaceDesc.lPitch;
  g_state.FramePixels = static_cast<std::uint8_t*>(g_state.SurfaceDesc.lpSurface);
  return 0;
}

int AttachDisplayPalette() {
  g_state.LastDisplayResult = g_state.PrimarySurface->SetPalette(g_state.Palette);
  return g_state.LastDisplayResult == DD_OK ? 0 : 1;
}

int ClearScreen() {
  DDBLTFX fill{};
  fill.dwSize = sizeof fill;
  fill.dwFillColor = 0;
  g_state.LastDisplayResult =
      g_state.PrimarySurface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
  return g_state.LastDisplayResult == DD_OK ? 0 : 1;
}
