// Headless substitute: DirectDraw's first interfaces over in-memory surfaces, with failure injection.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/headless/headless_types.h"

#define DD_OK 0
#define DDERR_OUTOFVIDEOMEMORY static_cast<HRESULT>(0x8876017Cu)
#define DDERR_SURFACELOST static_cast<HRESULT>(0x887601C2u)
#define DDERR_GENERIC static_cast<HRESULT>(0x80004005u)
#define DDERR_INVALIDPARAMS static_cast<HRESULT>(0x80070057u)
#define DDERR_CANTCREATEDC static_cast<HRESULT>(0x88760091u)

#define DDSCL_FULLSCREEN 0x1
#define DDSCL_EXCLUSIVE 0x10
#define DDPCAPS_8BIT 0x4
#define DDSD_CAPS 0x1
#define DDSD_HEIGHT 0x2
#define DDSD_WIDTH 0x4
#define DDSD_PITCH 0x8
#define DDSD_LPSURFACE 0x800
#define DDSCAPS_OFFSCREENPLAIN 0x40
#define DDSCAPS_PRIMARYSURFACE 0x200
#define DDSCAPS_SYSTEMMEMORY 0x800
#define DDBLT_WAIT 0x1000000
#define DDBLTFAST_WAIT 0x10
#define DDLOCK_WAIT 0x1

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue, dwColorSpaceHighValue;
};
struct DDPIXELFORMAT {
  DWORD dwSize, dwFlags, dwFourCC, dwRGBBitCount, dwRBitMask, dwGBitMask, dwBBitMask, dwRGBAlphaBitMask;
};
struct DDSCAPS {
  DWORD dwCaps;
};
// The same members as the platform's record; 108 bytes in the 32-bit build, wider here only by the pointer.
struct DDSURFACEDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  LONG lPitch;
  DWORD dwBackBufferCount;
  DWORD dwRefreshRate;
  DWORD dwAlphaBitDepth;
  DWORD dwReserved;
  LPVOID lpSurface;
  DDCOLORKEY ddckCKDestOverlay, ddckCKDestBlt, ddckCKSrcOverlay, ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS ddsCaps;
};
using LPDDSURFACEDESC = DDSURFACEDESC*;
struct DDBLTFX;

struct HeadlessSurfaceData;
struct HeadlessPaletteData;
struct IDirectDrawPalette;

struct IDirectDrawSurface {
  HRESULT GetSurfaceDesc(DDSURFACEDESC* desc);
  HRESULT SetPalette(IDirectDrawPalette* palette);
  HRESULT Blt(RECT* destRect, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags, DDBLTFX* effects);
  HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags);
  HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event);
  HRESULT Unlock(LPVOID rect);
  HRESULT GetDC(HDC* dc);
  HRESULT ReleaseDC(HDC dc);
  ULONG Release();
  HeadlessSurfaceData* data;
};

struct IDirectDrawPalette {
  HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries);
  ULONG Release();
  HeadlessPaletteData* data;
};

struct HeadlessDirectDrawData;
struct IDirectDraw {
  HRESULT SetCooperativeLevel(HWND window, DWORD flags);
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel);
  HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** palette, IUnknown* outer);
  HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, IUnknown* outer);
  ULONG Release();
  HeadlessDirectDrawData* data;
};
using LPDIRECTDRAW = IDirectDraw*;
using LPDIRECTDRAWSURFACE = IDirectDrawSurface*;
using LPDIRECTDRAWPALETTE = IDirectDrawPalette*;

HRESULT DirectDrawCreate(GUID* driver, IDirectDraw** directDraw, IUnknown* outer);
