// Headless DirectDraw (placeholder).
#include "platform/headless/headless_ddraw.h"

HRESULT IDirectDrawSurface::GetSurfaceDesc(DDSURFACEDESC*) { return DDERR_GENERIC; }
HRESULT IDirectDrawSurface::SetPalette(IDirectDrawPalette*) { return DDERR_GENERIC; }
HRESULT IDirectDrawSurface::Blt(RECT*, IDirectDrawSurface*, RECT*, DWORD, DDBLTFX*) { return DDERR_GENERIC; }
HRESULT IDirectDrawSurface::BltFast(DWORD, DWORD, IDirectDrawSurface*, RECT*, DWORD) { return DDERR_GENERIC; }
HRESULT IDirectDrawSurface::Lock(RECT*, DDSURFACEDESC*, DWORD, HANDLE) { return DDERR_GENERIC; }
HRESULT IDirectDrawSurface::Unlock(LPVOID) { return DDERR_GENERIC; }
HRESULT IDirectDrawSurface::GetDC(HDC*) { return DDERR_GENERIC; }
HRESULT IDirectDrawSurface::ReleaseDC(HDC) { return DDERR_GENERIC; }
ULONG IDirectDrawSurface::Release() { return 0; }
HRESULT IDirectDrawPalette::SetEntries(DWORD, DWORD, DWORD, PALETTEENTRY*) { return DDERR_GENERIC; }
ULONG IDirectDrawPalette::Release() { return 0; }
HRESULT IDirectDraw::SetCooperativeLevel(HWND, DWORD) { return DDERR_GENERIC; }
HRESULT IDirectDraw::SetDisplayMode(DWORD, DWORD, DWORD) { return DDERR_GENERIC; }
HRESULT IDirectDraw::CreatePalette(DWORD, PALETTEENTRY*, IDirectDrawPalette**, IUnknown*) { return DDERR_GENERIC; }
HRESULT IDirectDraw::CreateSurface(DDSURFACEDESC*, IDirectDrawSurface**, IUnknown*) { return DDERR_GENERIC; }
ULONG IDirectDraw::Release() { return 0; }
HRESULT DirectDrawCreate(GUID*, IDirectDraw**, IUnknown*) { return DDERR_GENERIC; }
