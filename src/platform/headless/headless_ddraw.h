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
#define DDERR_OUTOFMEMORY static_cast<HRESULT>(0x8007000Eu)
#define DDERR_INVALIDMODE static_cast<HRESULT>(0x88760078u)
#define DDERR_INVALIDOBJECT static_cast<HRESULT>(0x88760082u)
#define DDERR_INVALIDRECT static_cast<HRESULT>(0x88760096u)
#define DDERR_INVALIDCAPS static_cast<HRESULT>(0x88760064u)
#define DDERR_NOCOOPERATIVELEVELSET static_cast<HRESULT>(0x887600D4u)
#define DDERR_NOEXCLUSIVEMODE static_cast<HRESULT>(0x887600E1u)
#define DDERR_SURFACEBUSY static_cast<HRESULT>(0x887601AEu)
#define DDERR_PRIMARYSURFACEALREADYEXISTS static_cast<HRESULT>(0x88760234u)
#define DDERR_NOTLOCKED static_cast<HRESULT>(0x88760248u)
#define DDERR_DCALREADYCREATED static_cast<HRESULT>(0x8876026Cu)
#define DDERR_UNSUPPORTED static_cast<HRESULT>(0x80004001u)
#define DDERR_WRONGMODE static_cast<HRESULT>(0x8876024Bu)

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
#define DDSCAPS_VIDEOMEMORY 0x4000
#define DDSD_PIXELFORMAT 0x1000
#define DDPF_PALETTEINDEXED8 0x20
#define DDPF_RGB 0x40
#define DDBLT_WAIT 0x1000000
#define DDBLT_COLORFILL 0x400
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
// The members a colour fill needs; the platform's record has many more, which nothing here reads.
struct DDBLTFX {
  DWORD dwSize;
  DWORD dwFillColor;
};

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
  HRESULT Restore();
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

// --- Controls for tests ----------------------------------------------------------------------------------------------

// The calls whose next result a test can choose. CreateSurface is split by what is asked for.
enum class HeadlessDdCall {
  Create,
  SetCooperativeLevel,
  SetDisplayMode,
  CreatePalette,
  CreatePrimarySurface,
  CreateOffscreenSurface,
  GetSurfaceDesc,
  SetPalette,
  Blt,
  BltFast,
  Lock,
  Unlock,
  GetDC,
  ReleaseDC,
  SetEntries,
  Restore,
  Count
};
// Queues a result for the next call of that kind: a failure code makes the call fail without effect; DD_OK makes
// it succeed even where it otherwise would not (an Unlock of a surface that is not locked). Several queued results
// for one kind are used in order.
void HeadlessInjectDirectDrawResult(HeadlessDdCall call, HRESULT result);

// Every request for a surface in video memory fails with DDERR_OUTOFVIDEOMEMORY while this is on.
void HeadlessSetVideoMemoryExhausted(bool exhausted);
// Pitch of off-screen surfaces created from now on, in bytes (0 or anything below the row's size: the row's size).
void HeadlessSetOffscreenPitch(int pitch);
// Marks every live surface lost: copies, locks and drawing contexts fail with DDERR_SURFACELOST until Restore,
// which gives a surface in video memory back cleared (its picture is gone) and one in system memory as it was.
void HeadlessLoseSurfaces();
// A desktop that keeps its own mode, as without a virtual desktop under Wine: every SetDisplayMode fails with
// DDERR_UNSUPPORTED while this is on.
void HeadlessSetDisplayModesRefused(bool refused);

struct HeadlessDisplayModeInfo {
  int width, height, bitsPerPixel;
};
// The screen's mode: the desktop's (1024 x 768 x 32, or the size HeadlessSetDesktopSize gave) until
// SetDisplayMode, again after the object is released.
HeadlessDisplayModeInfo HeadlessDisplayMode();
// The window and flags of the last SetCooperativeLevel of a live DirectDraw object (null, 0 if none).
HWND HeadlessCooperativeWindow();
DWORD HeadlessCooperativeFlags();

// The memory of the newest live primary (screen) or off-screen surface; pixels is null when there is none.
struct HeadlessSurfaceView {
  std::uint8_t* pixels;
  int width, height, pitch;
  bool systemMemory, locked;
};
HeadlessSurfaceView HeadlessScreen();
HeadlessSurfaceView HeadlessOffscreen();
// The same pictures without the pitch's padding, width * height bytes row by row (empty when there is none).
std::vector<std::uint8_t> HeadlessScreenBytes();
std::vector<std::uint8_t> HeadlessOffscreenBytes();
// The 256 entries of the palette attached to the newest live primary surface; false when there is none.
bool HeadlessScreenPalette(PALETTEENTRY* entries);
// The entries of the newest live palette object, attached or not; false when there is none.
bool HeadlessNewestPalette(PALETTEENTRY* entries);

struct HeadlessDirectDrawCounts {
  int directDraws, surfaces, palettes, surfaceDCs;
};
// Objects alive now (a leak check).
HeadlessDirectDrawCounts HeadlessLiveDirectDrawObjects();
// Calls made on objects already released (should stay 0).
int HeadlessCallsOnReleasedObjects();

// Back to the state at start: no objects, desktop mode, nothing injected, default pitch, video memory available.
void HeadlessResetDirectDraw();
