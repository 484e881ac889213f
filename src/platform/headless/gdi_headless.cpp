// Headless GDI: bitmaps read from BMP files, memory and surface drawing contexts, pixel reads, recorded text.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include "platform/headless/headless_bmp.h"
#include "platform/headless/headless_files.h"
#include "platform/headless/headless_gdi.h"
#include "platform/headless/headless_window.h"

namespace {

struct DrawingContext {
  bool onSurface;
  std::uintptr_t selected;  // a bitmap's handle, or kStockBitmap
  COLORREF background = 0x00FFFFFF, foreground = 0;
};

constexpr std::uintptr_t kStockBitmap = 0x2F00;
constexpr std::uintptr_t kFirstHandle = 0x30000;
constexpr std::uintptr_t kHandleStep = 0x10;
// Refused outright: files larger than any bitmap this program reads.
constexpr std::size_t kMaxFileBytes = 64u << 20;

std::map<std::uintptr_t, DecodedBitmap> g_bitmaps;
std::map<std::uintptr_t, DrawingContext> g_contexts;
std::vector<RecordedText> g_texts;
std::uintptr_t g_nextHandle = kFirstHandle;
bool g_failCreateDC = false;
bool g_failStretch = false;
// GetPixel runs once per pixel of a texture: the context it last read and the bitmap selected there are kept
// until a selection or deletion may change them.
std::uintptr_t g_pixelContext = 0;
const DecodedBitmap* g_pixelBitmap = nullptr;

void ForgetPixelSource() {
  g_pixelContext = 0;
  g_pixelBitmap = nullptr;
}

std::uintptr_t NewHandle() {
  std::uintptr_t h = g_nextHandle;
  g_nextHandle += kHandleStep;
  return h;
}

DrawingContext* FindContext(HDC dc) {
  auto it = g_contexts.find(reinterpret_cast<std::uintptr_t>(dc));
  return it != g_contexts.end() ? &it->second : nullptr;
}

}  // namespace

HANDLE LoadImageA(HINSTANCE, LPCSTR name, UINT type, int, int, UINT flags) {
  if (type != IMAGE_BITMAP || (flags & LR_LOADFROMFILE) == 0 || name == nullptr || name[0] == '\0') return nullptr;
  std::ifstream in(HostPathFromWindows(name), std::ios::binary);
  if (!in) return nullptr;
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size <= 0 || static_cast<std::uint64_t>(size) > kMaxFileBytes) return nullptr;
  in.seekg(0, std::ios::beg);
  std::vector<std::uint8_t> file(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(file.data()), size)) return nullptr;
  DecodedBitmap bitmap;
  if (!DecodeBmpFile(file.data(), file.size(), &bitmap)) return nullptr;
  std::uintptr_t handle = NewHandle();
  g_bitmaps.emplace(handle, std::move(bitmap));
  return reinterpret_cast<HANDLE>(handle);
}

int GetObjectA(HANDLE object, int size, LPVOID buffer) {
  auto it = g_bitmaps.find(reinterpret_cast<std::uintptr_t>(object));
  if (it == g_bitmaps.end()) return 0;
  if (buffer == nullptr) return static_cast<int>(sizeof(BITMAP));
  if (size < static_cast<int>(sizeof(BITMAP))) return 0;
  DecodedBitmap& b = it->second;
  BITMAP description{
      0, b.width, b.height, static_cast<LONG>(b.stride), 1, static_cast<WORD>(b.bitsPerPixel), b.rows.data()};
  std::memcpy(buffer, &description, sizeof description);
  return static_cast<int>(sizeof description);
}

HDC CreateCompatibleDC(HDC dc) {
  bool fail = g_failCreateDC;
  g_failCreateDC = false;
  if (fail || (dc != nullptr && FindContext(dc) == nullptr)) return nullptr;
  std::uintptr_t handle = NewHandle();
  g_contexts.emplace(handle, DrawingContext{false, kStockBitmap});
  return reinterpret_cast<HDC>(handle);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  DrawingContext* c = FindContext(dc);
  auto value = reinterpret_cast<std::uintptr_t>(object);
  if (c == nullptr || c->onSurface || (value != kStockBitmap && g_bitmaps.count(value) == 0)) return nullptr;
  std::uintptr_t previous = c->selected;
  c->selected = value;
  ForgetPixelSource();
  return reinterpret_cast<HGDIOBJ>(previous);
}

COLORREF GetPixel(HDC dc, int x, int y) {
  if (g_pixelBitmap == nullptr || reinterpret_cast<std::uintptr_t>(dc) != g_pixelContext) {
    DrawingContext* c = FindContext(dc);
    if (c == nullptr) return CLR_INVALID;
    auto it = g_bitmaps.find(c->selected);
    if (it == g_bitmaps.end()) return CLR_INVALID;
    g_pixelContext = reinterpret_cast<std::uintptr_t>(dc);
    g_pixelBitmap = &it->second;
  }
  const DecodedBitmap& b = *g_pixelBitmap;
  if (x < 0 || y < 0 || x >= b.width || y >= b.height) return CLR_INVALID;
  return DecodedPixel(b, x, y);
}

BOOL DeleteDC(HDC dc) {
  DrawingContext* c = FindContext(dc);
  if (c == nullptr || c->onSurface) return FALSE;
  g_contexts.erase(reinterpret_cast<std::uintptr_t>(dc));
  ForgetPixelSource();
  return TRUE;
}

BOOL DeleteObject(HGDIOBJ object) {
  ForgetPixelSource();
  return g_bitmaps.erase(reinterpret_cast<std::uintptr_t>(object)) != 0 ? TRUE : FALSE;
}

COLORREF SetBkColor(HDC dc, COLORREF colour) {
  DrawingContext* c = FindContext(dc);
  if (c == nullptr) return CLR_INVALID;
  COLORREF previous = c->background;
  c->background = colour;
  return previous;
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
  DrawingContext* c = FindContext(dc);
  if (c == nullptr) return CLR_INVALID;
  COLORREF previous = c->foreground;
  c->foreground = colour;
  return previous;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
  DrawingContext* c = FindContext(dc);
  if (c == nullptr || length < 0 || (length > 0 && text == nullptr)) return FALSE;
  g_texts.push_back({dc, x, y, std::string(text != nullptr ? text : "", static_cast<std::size_t>(length)),
                     c->background, c->foreground});
  return TRUE;
}

int StretchDIBits(HDC dc, int x, int y, int width, int height, int sourceX, int sourceY, int sourceWidth,
                  int sourceHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  bool fail = g_failStretch;
  g_failStretch = false;
  int canvasWidth = 0, canvasHeight = 0;
  std::uint32_t* canvas = HeadlessWindowCanvas(dc, &canvasWidth, &canvasHeight);
  if (fail || canvas == nullptr || bits == nullptr || info == nullptr || usage != DIB_RGB_COLORS || rop != SRCCOPY ||
      info->bmiHeader.biSize != sizeof(BITMAPINFOHEADER) ||
      (info->bmiHeader.biBitCount != 8 && info->bmiHeader.biBitCount != 32) ||
      info->bmiHeader.biCompression != BI_RGB || info->bmiHeader.biWidth <= 0 || info->bmiHeader.biHeight == 0 ||
      width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0 || sourceX < 0 || sourceY < 0 ||
      sourceX + sourceWidth > info->bmiHeader.biWidth || sourceY + sourceHeight > std::abs(info->bmiHeader.biHeight)) {
    HeadlessLogEvent("StretchDIBits", 0);
    return 0;
  }
  const auto* pixels = static_cast<const std::uint8_t*>(bits);
  const RGBQUAD* colours = info->bmiColors;
  const int rows = std::abs(info->bmiHeader.biHeight);
  const bool words = info->bmiHeader.biBitCount == 32;
  const int stride = words ? info->bmiHeader.biWidth * 4 : (info->bmiHeader.biWidth + 3) & ~3;
  const bool topDown = info->bmiHeader.biHeight < 0;
  for (int dy = 0; dy < height; ++dy) {
    int cy = y + dy;
    if (cy < 0 || cy >= canvasHeight) continue;
    // Source rows count from the picture's top, whichever way the rows are stored.
    int sy = sourceY + static_cast<int>(static_cast<long long>(dy) * sourceHeight / height);
    const std::uint8_t* row = pixels + static_cast<std::size_t>(topDown ? sy : rows - 1 - sy) * stride;
    for (int dx = 0; dx < width; ++dx) {
      int cx = x + dx;
      if (cx < 0 || cx >= canvasWidth) continue;
      int sx = sourceX + static_cast<int>(static_cast<long long>(dx) * sourceWidth / width);
      std::uint32_t& out = canvas[static_cast<std::size_t>(cy) * canvasWidth + cx];
      if (words) {
        std::uint32_t word;  // blue, green, red, unused: the canvas's own order
        std::memcpy(&word, row + 4 * sx, sizeof word);
        out = word & 0x00FFFFFF;
        continue;
      }
      const RGBQUAD& c = colours[row[sx]];
      out = (std::uint32_t{c.rgbRed} << 16) | (std::uint32_t{c.rgbGreen} << 8) | c.rgbBlue;
    }
  }
  HeadlessLogEvent("StretchDIBits", sourceHeight);
  return sourceHeight;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
  int canvasWidth = 0, canvasHeight = 0;
  std::uint32_t* canvas = HeadlessWindowCanvas(dc, &canvasWidth, &canvasHeight);
  if (canvas == nullptr || (rop != BLACKNESS && rop != WHITENESS)) return FALSE;
  const std::uint32_t colour = rop == BLACKNESS ? 0 : 0x00FFFFFF;
  for (int cy = std::max(y, 0); cy < std::min(y + height, canvasHeight); ++cy)
    for (int cx = std::max(x, 0); cx < std::min(x + width, canvasWidth); ++cx)
      canvas[static_cast<std::size_t>(cy) * canvasWidth + cx] = colour;
  return TRUE;
}

const std::vector<RecordedText>& HeadlessTexts() { return g_texts; }
void HeadlessClearTexts() { g_texts.clear(); }
void HeadlessFailNextCreateCompatibleDC() { g_failCreateDC = true; }
void HeadlessFailNextStretchDIBits() { g_failStretch = true; }
int HeadlessLiveGdiObjects() { return static_cast<int>(g_bitmaps.size() + g_contexts.size()); }

void HeadlessResetGdi() {
  g_bitmaps.clear();
  ForgetPixelSource();
  g_contexts.clear();
  g_texts.clear();
  g_failCreateDC = false;
  g_failStretch = false;
}

HDC HeadlessCreateSurfaceDC() {
  std::uintptr_t handle = NewHandle();
  g_contexts.emplace(handle, DrawingContext{true, kStockBitmap});
  return reinterpret_cast<HDC>(handle);
}

void HeadlessDeleteSurfaceDC(HDC dc) {
  g_contexts.erase(reinterpret_cast<std::uintptr_t>(dc));
  ForgetPixelSource();
}
