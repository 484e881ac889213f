// Headless GDI: bitmaps read from BMP files, memory and surface drawing contexts, pixel reads, recorded text.
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include "platform/headless/headless_files.h"
#include "platform/headless/headless_gdi.h"

namespace {

struct Bitmap {
  int width, height, bitsPerPixel, stride;
  bool bottomUp;
  std::vector<std::uint8_t> pixels;  // rows as stored in the file
  std::vector<COLORREF> colours;     // 8-bit only
};

struct DrawingContext {
  bool onSurface;
  std::uintptr_t selected;  // a bitmap's handle, or kStockBitmap
  COLORREF background = 0x00FFFFFF, foreground = 0;
};

constexpr std::uintptr_t kStockBitmap = 0x2F00;
constexpr std::uintptr_t kFirstHandle = 0x30000;
constexpr std::uintptr_t kHandleStep = 0x10;
// Refused outright: larger files and dimensions than any bitmap this program reads.
constexpr std::size_t kMaxFileBytes = 64u << 20;
constexpr std::int64_t kMaxDimension = 16384;

std::map<std::uintptr_t, Bitmap> g_bitmaps;
std::map<std::uintptr_t, DrawingContext> g_contexts;
std::vector<RecordedText> g_texts;
std::uintptr_t g_nextHandle = kFirstHandle;
bool g_failCreateDC = false;
long g_getPixelCalls = 0;

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

// Parses a whole BMP file; false for anything this substitute does not read.
bool ParseBitmap(const std::vector<std::uint8_t>& file, Bitmap* out) {
  constexpr std::size_t kFileHeader = 14;
  if (file.size() < kFileHeader + 40 || file[0] != 'B' || file[1] != 'M') return false;
  std::uint64_t pixelOffset = U32(file, 10);
  std::uint32_t infoSize = U32(file, 14);
  if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124) return false;
  if (kFileHeader + infoSize > file.size()) return false;
  std::int64_t width = static_cast<std::int32_t>(U32(file, 18));
  std::int64_t height = static_cast<std::int32_t>(U32(file, 22));
  std::uint16_t planes = U16(file, 26), bits = U16(file, 28);
  std::uint32_t compression = U32(file, 30), coloursUsed = U32(file, 46);
  if (planes != 1 || (bits != 8 && bits != 24) || compression != 0) return false;
  if (width <= 0 || width > kMaxDimension || height == 0 || height > kMaxDimension || height < -kMaxDimension)
    return false;
  std::int64_t rows = height < 0 ? -height : height;
  std::uint64_t stride = static_cast<std::uint64_t>((width * bits + 31) / 32 * 4);
  if (pixelOffset < kFileHeader + infoSize || pixelOffset + stride * static_cast<std::uint64_t>(rows) > file.size())
    return false;
  out->colours.clear();
  if (bits == 8) {
    std::uint64_t count = coloursUsed == 0 ? 256 : coloursUsed;
    std::uint64_t tableAt = kFileHeader + infoSize;
    if (count > 256 || tableAt + count * 4 > pixelOffset) return false;
    for (std::uint64_t i = 0; i < count; ++i) {
      std::size_t at = static_cast<std::size_t>(tableAt + i * 4);  // blue, green, red, reserved
      out->colours.push_back(RGB(file[at + 2], file[at + 1], file[at]));
    }
  }
  out->width = static_cast<int>(width);
  out->height = static_cast<int>(rows);
  out->bitsPerPixel = bits;
  out->stride = static_cast<int>(stride);
  out->bottomUp = height > 0;
  out->pixels.assign(
      file.begin() + static_cast<std::ptrdiff_t>(pixelOffset),
      file.begin() + static_cast<std::ptrdiff_t>(pixelOffset + stride * static_cast<std::uint64_t>(rows)));
  return true;
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
  Bitmap bitmap;
  if (!ParseBitmap(file, &bitmap)) return nullptr;
  std::uintptr_t handle = NewHandle();
  g_bitmaps.emplace(handle, std::move(bitmap));
  return reinterpret_cast<HANDLE>(handle);
}

int GetObjectA(HANDLE object, int size, LPVOID buffer) {
  auto it = g_bitmaps.find(reinterpret_cast<std::uintptr_t>(object));
  if (it == g_bitmaps.end()) return 0;
  if (buffer == nullptr) return static_cast<int>(sizeof(BITMAP));
  if (size < static_cast<int>(sizeof(BITMAP))) return 0;
  Bitmap& b = it->second;
  BITMAP description{0, b.width, b.height, b.stride, 1, static_cast<WORD>(b.bitsPerPixel), b.pixels.data()};
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
  return reinterpret_cast<HGDIOBJ>(previous);
}

COLORREF GetPixel(HDC dc, int x, int y) {
  ++g_getPixelCalls;
  DrawingContext* c = FindContext(dc);
  if (c == nullptr) return CLR_INVALID;
  auto it = g_bitmaps.find(c->selected);
  if (it == g_bitmaps.end()) return CLR_INVALID;
  const Bitmap& b = it->second;
  if (x < 0 || y < 0 || x >= b.width || y >= b.height) return CLR_INVALID;
  int row = b.bottomUp ? b.height - 1 - y : y;
  const std::uint8_t* p = &b.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(b.stride)];
  if (b.bitsPerPixel == 8) {
    std::uint8_t index = p[x];
    return index < b.colours.size() ? b.colours[index] : 0;
  }
  const std::uint8_t* bgr = p + 3 * x;
  return RGB(bgr[2], bgr[1], bgr[0]);
}

BOOL DeleteDC(HDC dc) {
  DrawingContext* c = FindContext(dc);
  if (c == nullptr || c->onSurface) return FALSE;
  g_contexts.erase(reinterpret_cast<std::uintptr_t>(dc));
  return TRUE;
}

BOOL DeleteObject(HGDIOBJ object) {
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

const std::vector<RecordedText>& HeadlessTexts() { return g_texts; }
void HeadlessClearTexts() { g_texts.clear(); }
void HeadlessFailNextCreateCompatibleDC() { g_failCreateDC = true; }
int HeadlessLiveGdiObjects() { return static_cast<int>(g_bitmaps.size() + g_contexts.size()); }
long HeadlessGetPixelCalls() { return g_getPixelCalls; }

void HeadlessResetGdi() {
  g_bitmaps.clear();
  g_contexts.clear();
  g_texts.clear();
  g_failCreateDC = false;
  g_getPixelCalls = 0;
}

HDC HeadlessCreateSurfaceDC() {
  std::uintptr_t handle = NewHandle();
  g_contexts.emplace(handle, DrawingContext{true, kStockBitmap});
  return reinterpret_cast<HDC>(handle);
}

void HeadlessDeleteSurfaceDC(HDC dc) { g_contexts.erase(reinterpret_cast<std::uintptr_t>(dc)); }
