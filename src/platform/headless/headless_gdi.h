// Headless substitute: bitmaps loaded from BMP files, memory drawing contexts, pixels and text.
// LoadImageA reads what the system's loader reads (1, 4, 8, 16, 24 and 32 bits, colour tables, bit masks, 8- and
// 4-bit run-length data, bottom-up or top-down, the old 12-byte header and the later ones) and reports the depth as
// stored. Unlike the system it keeps the stored size (it does not stretch to the size asked for), and it refuses
// outright what the system would show as a black or garbled picture or read past the file for: a side of zero, a
// negative width, pixel data that starts inside the headers or does not lie wholly inside the file, top-down
// run-length data, unknown compressions and depths (see headless_bmp.h).
#pragma once
#include <string>
#include <vector>

#include "platform/headless/headless_types.h"

#define IMAGE_BITMAP 0
#define LR_LOADFROMFILE 0x10
#define LR_CREATEDIBSECTION 0x2000
#define OBJ_BITMAP 7
#define CLR_INVALID 0xFFFFFFFFu
#define BI_RGB 0
#define DIB_RGB_COLORS 0
#define SRCCOPY 0x00CC0020u
#define BLACKNESS 0x00000042u
#define WHITENESS 0x00FF0062u

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
struct RGBQUAD {
  BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags);
int GetObjectA(HANDLE object, int size, LPVOID buffer);
HDC CreateCompatibleDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
COLORREF GetPixel(HDC dc, int x, int y);
BOOL DeleteDC(HDC dc);
BOOL DeleteObject(HGDIOBJ object);
COLORREF SetBkColor(HDC dc, COLORREF colour);
COLORREF SetTextColor(HDC dc, COLORREF colour);
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
// On a window's drawing context only, and only uncompressed pixels of 8 bits with a colour table or of 32 bits (what
// the plug-in draws): each destination pixel takes the source pixel at the same fraction of the rectangle, rounded
// down.
int StretchDIBits(HDC dc, int x, int y, int width, int height, int sourceX, int sourceY, int sourceWidth,
                  int sourceHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
// BLACKNESS and WHITENESS on a window's drawing context.
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);

// --- Controls for tests ---------------------------------------------------------------------------------------

struct RecordedText {
  HDC dc;
  int x, y;
  std::string text;
  COLORREF background, foreground;
};
const std::vector<RecordedText>& HeadlessTexts();
void HeadlessClearTexts();
void HeadlessFailNextCreateCompatibleDC();
void HeadlessFailNextStretchDIBits();
// Number of bitmaps and drawing contexts currently alive, surface contexts included (a leak check).
int HeadlessLiveGdiObjects();
// Back to the state at start: no objects, no texts, nothing injected.
void HeadlessResetGdi();

// For the DirectDraw substitute: a drawing context on a surface, with the default colours.
HDC HeadlessCreateSurfaceDC();
void HeadlessDeleteSurfaceDC(HDC dc);
