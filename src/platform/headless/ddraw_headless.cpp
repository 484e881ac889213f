// Headless DirectDraw: in-memory screen and surfaces, palettes, copies and locks, with injectable results.
#include <algorithm>
#include <array>
#include <cstring>
#include <deque>

#include "platform/headless/headless_ddraw.h"
#include "platform/headless/headless_gdi.h"
#include "platform/headless/headless_window.h"

struct HeadlessDirectDrawData {
  IDirectDraw* self;
  ULONG refs;
  bool alive;
  HWND window;
  DWORD cooperation;
  bool modeChanged;
};

struct HeadlessPaletteData {
  IDirectDrawPalette* self;
  HeadlessDirectDrawData* owner;
  ULONG refs;
  bool alive;
  PALETTEENTRY entries[256];
};

struct HeadlessSurfaceData {
  IDirectDrawSurface* self;
  HeadlessDirectDrawData* owner;
  ULONG refs;
  bool alive;
  bool primary;
  DWORD caps;
  int width, height, pitch, bitsPerPixel;
  std::vector<std::uint8_t> pixels;
  bool locked, lost;
  HDC dc;
  IDirectDrawPalette* palette;
};

namespace {

// The desktop's colour depth; its size is the one the window system reports.
constexpr int kDesktopBitsPerPixel = 32;
// The 32-bit platform's record size, which callers put in dwSize; the native record is wider only by a pointer.
constexpr DWORD kPlatformDescSize = 108;

struct Objects {
  std::deque<IDirectDraw> directDraws;
  std::deque<HeadlessDirectDrawData> directDrawData;
  std::deque<IDirectDrawSurface> surfaces;
  std::deque<HeadlessSurfaceData> surfaceData;
  std::deque<IDirectDrawPalette> palettes;
  std::deque<HeadlessPaletteData> paletteData;
};

Objects g_objects;
std::array<std::deque<HRESULT>, static_cast<std::size_t>(HeadlessDdCall::Count)> g_injected;
// The mode an exclusive object set; the desktop's own mode comes back when the object goes.
bool g_modeChanged = false;
HeadlessDisplayModeInfo g_changedMode{};
bool g_modesRefused = false;

HeadlessDisplayModeInfo CurrentMode() {
  if (g_modeChanged) return g_changedMode;
  return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), kDesktopBitsPerPixel};
}
bool g_videoMemoryExhausted = false;
int g_offscreenPitch = 0;
int g_deadCalls = 0;

// The queued result for this call, if a test chose one.
bool Injected(HeadlessDdCall call, HRESULT* result) {
  auto& queue = g_injected[static_cast<std::size_t>(call)];
  if (queue.empty()) return false;
  *result = queue.front();
  queue.pop_front();
  return true;
}

HRESULT Log(const char* call, HRESULT result, unsigned long detail = 0) {
  HeadlessLogEvent(call, result, detail);
  return result;
}

bool DescSizeValid(const DDSURFACEDESC* desc) {
  return desc != nullptr && (desc->dwSize == kPlatformDescSize || desc->dwSize == sizeof(DDSURFACEDESC));
}

void FillDesc(const HeadlessSurfaceData& s, DDSURFACEDESC* desc, std::uint8_t* pixels) {
  DWORD size = desc->dwSize;
  std::memset(desc, 0, sizeof *desc);
  desc->dwSize = size;
  desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
  desc->dwWidth = static_cast<DWORD>(s.width);
  desc->dwHeight = static_cast<DWORD>(s.height);
  desc->lPitch = s.pitch;
  desc->lpSurface = pixels;
  desc->ddsCaps.dwCaps = s.caps;
  desc->ddpfPixelFormat.dwSize = 32;
  desc->ddpfPixelFormat.dwFlags = s.bitsPerPixel == 8 ? DDPF_RGB | DDPF_PALETTEINDEXED8 : DDPF_RGB;
  desc->ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(s.bitsPerPixel);
}

void KillPalette(HeadlessPaletteData& p) {
  p.alive = false;
  p.refs = 0;
}

void KillSurface(HeadlessSurfaceData& s) {
  s.alive = false;
  s.refs = 0;
  std::vector<std::uint8_t>().swap(s.pixels);  // later writes through a stale pointer are caught by the sanitizer
  if (s.dc != nullptr) HeadlessDeleteSurfaceDC(s.dc);
  s.dc = nullptr;
  if (s.palette != nullptr && s.palette->data->alive && --s.palette->data->refs == 0) KillPalette(*s.palette->data);
  s.palette = nullptr;
}

// Releasing the DirectDraw object takes its surfaces and palettes with it and gives the desktop its mode back.
void KillDirectDraw(HeadlessDirectDrawData& d) {
  d.alive = false;
  d.refs = 0;
  for (HeadlessSurfaceData& s : g_objects.surfaceData)
    if (s.alive && s.owner == &d) KillSurface(s);
  for (HeadlessPaletteData& p : g_objects.paletteData)
    if (p.alive && p.owner == &d) KillPalette(p);
  if (d.modeChanged) g_modeChanged = false;
}

// Copies a rectangle of `source` into the rectangle `to` of `target`, stretched (nearest pixel, rounded down)
// when the sizes differ.
void Copy(HeadlessSurfaceData& target, const RECT& to, const HeadlessSurfaceData& source, const RECT& from) {
  int bytes = source.bitsPerPixel / 8;
  int w = from.right - from.left, h = from.bottom - from.top;
  int tw = to.right - to.left, th = to.bottom - to.top;
  for (int row = 0; row < th; ++row) {
    int sy = from.top + row * h / th;
    for (int col = 0; col < tw; ++col) {
      int sx = from.left + col * w / tw;
      std::memcpy(&target.pixels[static_cast<std::size_t>((to.top + row) * target.pitch + (to.left + col) * bytes)],
                  &source.pixels[static_cast<std::size_t>(sy * source.pitch + sx * bytes)],
                  static_cast<std::size_t>(bytes));
    }
  }
}

void Fill(HeadlessSurfaceData& target, const RECT& to, DWORD colour) {
  int bytes = target.bitsPerPixel / 8;
  for (int row = to.top; row < to.bottom; ++row)
    for (int col = to.left; col < to.right; ++col)
      std::memcpy(&target.pixels[static_cast<std::size_t>(row * target.pitch + col * bytes)], &colour,
                  static_cast<std::size_t>(bytes));
}

bool RectInside(const RECT& r, int width, int height) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= width && r.bottom <= height;
}

// Checks shared by both copies; 0 when the copy may go ahead.
HRESULT CopyAllowed(HeadlessSurfaceData* target, IDirectDrawSurface* source) {
  if (source == nullptr || source->data == nullptr) return DDERR_INVALIDPARAMS;
  HeadlessSurfaceData* s = source->data;
  if (!s->alive) {
    ++g_deadCalls;
    return DDERR_INVALIDOBJECT;
  }
  if (target->lost || s->lost) return DDERR_SURFACELOST;
  if (target->locked || s->locked || target->dc != nullptr || s->dc != nullptr) return DDERR_SURFACEBUSY;
  if (target->bitsPerPixel != s->bitsPerPixel) return DDERR_INVALIDPARAMS;
  return DD_OK;
}

template <typename Newest>
HeadlessSurfaceData* NewestSurface(Newest wanted) {
  for (auto it = g_objects.surfaceData.rbegin(); it != g_objects.surfaceData.rend(); ++it)
    if (it->alive && wanted(*it)) return &*it;
  return nullptr;
}

HeadlessSurfaceView ViewOf(HeadlessSurfaceData* s) {
  if (s == nullptr) return {};
  return {s->pixels.data(), s->width, s->height, s->pitch, (s->caps & DDSCAPS_SYSTEMMEMORY) != 0, s->locked};
}

std::vector<std::uint8_t> BytesOf(HeadlessSurfaceData* s) {
  std::vector<std::uint8_t> bytes;
  if (s == nullptr) return bytes;
  int rowBytes = s->width * s->bitsPerPixel / 8;
  for (int row = 0; row < s->height; ++row) {
    const std::uint8_t* p = &s->pixels[static_cast<std::size_t>(row * s->pitch)];
    bytes.insert(bytes.end(), p, p + rowBytes);
  }
  return bytes;
}

}  // namespace

// A call on a released object answers DDERR_INVALIDOBJECT and is counted.
#define REQUIRE_ALIVE(name)                  \
  do {                                       \
    if (data == nullptr || !data->alive) {   \
      ++g_deadCalls;                         \
      return Log(name, DDERR_INVALIDOBJECT); \
    }                                        \
  } while (0)

HRESULT DirectDrawCreate(GUID* driver, IDirectDraw** directDraw, IUnknown* outer) {
  HRESULT result = DD_OK;
  if (Injected(HeadlessDdCall::Create, &result) && result != DD_OK) return Log("DirectDrawCreate", result);
  if (directDraw == nullptr || driver != nullptr || outer != nullptr)
    return Log("DirectDrawCreate", DDERR_INVALIDPARAMS);
  g_objects.directDrawData.push_back({nullptr, 1, true, nullptr, 0, false});
  g_objects.directDraws.push_back(IDirectDraw{&g_objects.directDrawData.back()});
  g_objects.directDrawData.back().self = &g_objects.directDraws.back();
  *directDraw = &g_objects.directDraws.back();
  return Log("DirectDrawCreate", DD_OK);
}

HRESULT IDirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
  REQUIRE_ALIVE("IDirectDraw::SetCooperativeLevel");
  HRESULT result = DD_OK;
  if (Injected(HeadlessDdCall::SetCooperativeLevel, &result))
    return Log("IDirectDraw::SetCooperativeLevel", result, flags);
  bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0, fullScreen = (flags & DDSCL_FULLSCREEN) != 0;
  if (exclusive != fullScreen || (exclusive && !IsWindow(window)))
    return Log("IDirectDraw::SetCooperativeLevel", DDERR_INVALIDPARAMS, flags);
  data->window = window;
  data->cooperation = flags;
  return Log("IDirectDraw::SetCooperativeLevel", DD_OK, flags);
}

HRESULT IDirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) {
  REQUIRE_ALIVE("IDirectDraw::SetDisplayMode");
  unsigned long detail = (width << 16) | (height << 4) | (bitsPerPixel >> 3);
  HRESULT result = DD_OK;
  if (Injected(HeadlessDdCall::SetDisplayMode, &result) && result != DD_OK)
    return Log("IDirectDraw::SetDisplayMode", result, detail);
  if ((data->cooperation & DDSCL_EXCLUSIVE) == 0)
    return Log("IDirectDraw::SetDisplayMode", DDERR_NOEXCLUSIVEMODE, detail);
  if (width == 0 || height == 0 || width > 4096 || height > 4096 ||
      (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32))
    return Log("IDirectDraw::SetDisplayMode", DDERR_INVALIDMODE, detail);
  if (g_modesRefused) return Log("IDirectDraw::SetDisplayMode", DDERR_UNSUPPORTED, detail);
  g_changedMode = {static_cast<int>(width), static_cast<int>(height), static_cast<int>(bitsPerPixel)};
  g_modeChanged = true;
  data->modeChanged = true;
  return Log("IDirectDraw::SetDisplayMode", DD_OK, detail);
}

HRESULT IDirectDraw::CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** palette, IUnknown* outer) {
  REQUIRE_ALIVE("IDirectDraw::CreatePalette");
  HRESULT result = DD_OK;
  if (Injected(HeadlessDdCall::CreatePalette, &result) && result != DD_OK)
    return Log("IDirectDraw::CreatePalette", result, flags);
  if (palette == nullptr || entries == nullptr || outer != nullptr || (flags & DDPCAPS_8BIT) == 0)
    return Log("IDirectDraw::CreatePalette", DDERR_INVALIDPARAMS, flags);
  g_objects.paletteData.push_back(HeadlessPaletteData{nullptr, data, 1, true, {}});
  HeadlessPaletteData& p = g_objects.paletteData.back();
  std::memcpy(p.entries, entries, sizeof p.entries);
  g_objects.palettes.push_back(IDirectDrawPalette{&p});
  p.self = &g_objects.palettes.back();
  *palette = p.self;
  return Log("IDirectDraw::CreatePalette", DD_OK, flags);
}

HRESULT IDirectDraw::CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, IUnknown* outer) {
  REQUIRE_ALIVE("IDirectDraw::CreateSurface");
  if (!DescSizeValid(desc) || surface == nullptr || outer != nullptr || (desc->dwFlags & DDSD_CAPS) == 0)
    return Log("IDirectDraw::CreateSurface", DDERR_INVALIDPARAMS);
  DWORD caps = desc->ddsCaps.dwCaps;
  bool primary = (caps & DDSCAPS_PRIMARYSURFACE) != 0;
  HRESULT result = DD_OK;
  if (Injected(primary ? HeadlessDdCall::CreatePrimarySurface : HeadlessDdCall::CreateOffscreenSurface, &result) &&
      result != DD_OK)
    return Log("IDirectDraw::CreateSurface", result, caps);
  if (data->cooperation == 0) return Log("IDirectDraw::CreateSurface", DDERR_NOCOOPERATIVELEVELSET, caps);
  HeadlessSurfaceData s{};
  s.owner = data;
  s.refs = 1;
  s.alive = true;
  s.primary = primary;
  const HeadlessDisplayModeInfo mode = CurrentMode();
  s.bitsPerPixel = mode.bitsPerPixel;
  if (primary) {
    for (const HeadlessSurfaceData& other : g_objects.surfaceData)
      if (other.alive && other.primary && other.owner == data)
        return Log("IDirectDraw::CreateSurface", DDERR_PRIMARYSURFACEALREADYEXISTS, caps);
    if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != 0)
      return Log("IDirectDraw::CreateSurface", DDERR_INVALIDPARAMS, caps);
    s.width = mode.width;
    s.height = mode.height;
    s.pitch = s.width * s.bitsPerPixel / 8;
    s.caps = caps | DDSCAPS_VIDEOMEMORY;
  } else {
    if ((caps & DDSCAPS_OFFSCREENPLAIN) == 0 ||
        (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) || desc->dwWidth == 0 ||
        desc->dwHeight == 0 || desc->dwWidth > 16384 || desc->dwHeight > 16384)
      return Log("IDirectDraw::CreateSurface", DDERR_INVALIDPARAMS, caps);
    bool systemMemory = (caps & DDSCAPS_SYSTEMMEMORY) != 0;
    if (!systemMemory && g_videoMemoryExhausted) return Log("IDirectDraw::CreateSurface", DDERR_OUTOFVIDEOMEMORY, caps);
    s.width = static_cast<int>(desc->dwWidth);
    s.height = static_cast<int>(desc->dwHeight);
    int rowBytes = s.width * s.bitsPerPixel / 8;
    s.pitch = g_offscreenPitch > rowBytes ? g_offscreenPitch : rowBytes;
    s.caps = systemMemory ? caps : caps | DDSCAPS_VIDEOMEMORY;
  }
  s.pixels.assign(static_cast<std::size_t>(s.pitch) * static_cast<std::size_t>(s.height), 0);
  g_objects.surfaceData.push_back(std::move(s));
  g_objects.surfaces.push_back(IDirectDrawSurface{&g_objects.surfaceData.back()});
  g_objects.surfaceData.back().self = &g_objects.surfaces.back();
  *surface = &g_objects.surfaces.back();
  return Log("IDirectDraw::CreateSurface", DD_OK, caps);
}

ULONG IDirectDraw::Release() {
  if (data == nullptr || !data->alive) {
    ++g_deadCalls;
    Log("IDirectDraw::Release", 0);
    return 0;
  }
  ULONG refs = --data->refs;
  if (refs == 0) KillDirectDraw(*data);
  Log("IDirectDraw::Release", static_cast<HRESULT>(refs));
  return refs;
}

HRESULT IDirectDrawSurface::GetSurfaceDesc(DDSURFACEDESC* desc) {
  REQUIRE_ALIVE("IDirectDrawSurface::GetSurfaceDesc");
  HRESULT result = DD_OK;
  if (Injected(HeadlessDdCall::GetSurfaceDesc, &result) && result != DD_OK)
    return Log("IDirectDrawSurface::GetSurfaceDesc", result);
  if (!DescSizeValid(desc)) return Log("IDirectDrawSurface::GetSurfaceDesc", DDERR_INVALIDPARAMS);
  // The address is handed out only by a lock.
  FillDesc(*data, desc, nullptr);
  return Log("IDirectDrawSurface::GetSurfaceDesc", DD_OK);
}

HRESULT IDirectDrawSurface::SetPalette(IDirectDrawPalette* palette) {
  REQUIRE_ALIVE("IDirectDrawSurface::SetPalette");
  HRESULT result = DD_OK;
  if (Injected(HeadlessDdCall::SetPalette, &result) && result != DD_OK)
    return Log("IDirectDrawSurface::SetPalette", result);
  if (palette != nullptr && (palette->data == nullptr || !palette->data->alive)) {
    ++g_deadCalls;
    return Log("IDirectDrawSurface::SetPalette", DDERR_INVALIDOBJECT);
  }
  if (data->bitsPerPixel != 8) return Log("IDirectDrawSurface::SetPalette", DDERR_INVALIDPARAMS);
  if (palette != nullptr) ++palette->data->refs;
  if (data->palette != nullptr && data->palette->data->alive && --data->palette->data->refs == 0)
    KillPalette(*data->palette->data);
  data->palette = palette;
  return Log("IDirectDrawSurface::SetPalette", DD_OK);
}

HRESULT IDirectDrawSurface::Blt(RECT* destRect, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags,
                                DDBLTFX* effects) {
  REQUIRE_ALIVE("IDirectDrawSurface::Blt");
  HRESULT result = DD_OK;
  if (Injected(HeadlessDdCall::Blt, &result) && result != DD_OK) return Log("IDirectDrawSurface::Blt", result, flags);
  RECT to = destRect != nullptr ? *destRect : RECT{0, 0, data->width, data->height};
  if (!RectInside(to, data->width, data->height)) return Log("IDirectDrawSurface::Blt", DDERR_INVALIDRECT, flags);
  if ((flags & DDBLT_COLORFILL) != 0) {
    if (source != nullptr || sourceRect != nullptr || effects == nullptr || effects->dwSize == 0)
      return Log("IDirectDrawSurface::Blt", DDERR_INVALIDPARAMS, flags);
    if (data->lost) return Log("IDirectDrawSurface::Blt", DDERR_SURFACELOST, flags);
    if (data->locked || data->dc != nullptr) return Log("IDirectDrawSurface::Blt", DDERR_SURFACEBUSY, flags);
    Fill(*data, to, effects->dwFillColor);
    return Log("IDirectDrawSurface::Blt", DD_OK, flags);
  }
  if (effects != nullptr) return Log("IDirectDrawSurface::Blt", DDERR_INVALIDPARAMS, flags);
  result = CopyAllowed(data, source);
  if (result != DD_OK) return Log("IDirectDrawSurface::Blt", result, flags);
  RECT from = sourceRect != nullptr ? *sourceRect : RECT{0, 0, source->data->width, source->data->height};
  if (!RectInside(from, source->data->width, source->data->height))
    return Log("IDirectDrawSurface::Blt", DDERR_INVALIDRECT, flags);
  Copy(*data, to, *source->data, from);
  return Log("IDirectDrawSurface::Blt", DD_OK, flags);
}

HRESULT IDirectDrawSurface::BltFast(DWORD x, DWORD y, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags) {
  REQUIRE_ALIVE("IDirectDrawSurface::BltFast");
  HRESULT result = DD_OK;
  if (Injected(HeadlessDdCall::BltFast, &result) && result != DD_OK)
    return Log("IDirectDrawSurface::BltFast", result, flags);
  result = CopyAllowed(data, source);
  if (result != DD_OK) return Log("IDirectDrawSurface::BltFast", result, flags);
  RECT from = sourceRect != nullptr ? *sourceRect : RECT{0, 0, source->data->width, source->data->height};
  if (!RectInside(from, source->data->width, source->data->height) || x > 16384 || y > 16384 ||
      static_cast<int>(x) + (from.right - from.left) > data->width ||
      static_cast<int>(y) + (from.bottom - from.top) > data->height)
    return Log("IDirectDrawSurface::BltFast", DDERR_INVALIDRECT, flags);
  const int left = static_cast<int>(x), top = static_cast<int>(y);
  Copy(*data, RECT{left, top, left + from.right - from.left, top + from.bottom - from.top}, *source->data, from);
  return Log("IDirectDrawSurface::BltFast", DD_OK, flags);
}

HRESULT IDirectDrawSurface::Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) {
  REQUIRE_ALIVE("IDirectDrawSurface::Lock");
  HRESULT result = DD_OK;
  if (Injected(HeadlessDdCall::Lock, &result) && result != DD_OK) return Log("IDirectDrawSurface::Lock", result, flags);
  if (rect != nullptr || event != nullptr || !DescSizeValid(desc))
    return Log("IDirectDrawSurface::Lock", DDERR_INVALIDPARAMS, flags);
  if (data->lost) return Log("IDirectDrawSurface::Lock", DDERR_SURFACELOST, flags);
  if (data->locked || data->dc != nullptr) return Log("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY, flags);
  data->locked = true;
  FillDesc(*data, desc, data->pixels.data());
  return Log("IDirectDrawSurface::Lock", DD_OK, flags);
}

HRESULT IDirectDrawSurface::Unlock(LPVOID rect) {
  REQUIRE_ALIVE("IDirectDrawSurface::Unlock");
  HRESULT result = DD_OK;
  if (Injected(HeadlessDdCall::Unlock, &result)) {
    if (result == DD_OK) data->locked = false;
    return Log("IDirectDrawSurface::Unlock", result);
  }
  if (rect != nullptr) return Log("IDirectDrawSurface::Unlock", DDERR_INVALIDPARAMS);
  if (!data->locked) return Log("IDirectDrawSurface::Unlock", DDERR_NOTLOCKED);
  data->locked = false;
  return Log("IDirectDrawSurface::Unlock", DD_OK);
}

HRESULT IDirectDrawSurface::GetDC(HDC* dc) {
  REQUIRE_ALIVE("IDirectDrawSurface::GetDC");
  HRESULT result = DD_OK;
  if (Injected(HeadlessDdCall::GetDC, &result) && result != DD_OK) return Log("IDirectDrawSurface::GetDC", result);
  if (dc == nullptr) return Log("IDirectDrawSurface::GetDC", DDERR_INVALIDPARAMS);
  if (data->lost) return Log("IDirectDrawSurface::GetDC", DDERR_SURFACELOST);
  if (data->dc != nullptr) return Log("IDirectDrawSurface::GetDC", DDERR_DCALREADYCREATED);
  if (data->locked) return Log("IDirectDrawSurface::GetDC", DDERR_SURFACEBUSY);
  data->dc = HeadlessCreateSurfaceDC();
  *dc = data->dc;
  return Log("IDirectDrawSurface::GetDC", DD_OK);
}

HRESULT IDirectDrawSurface::ReleaseDC(HDC dc) {
  REQUIRE_ALIVE("IDirectDrawSurface::ReleaseDC");
  HRESULT result = DD_OK;
  if (Injected(HeadlessDdCall::ReleaseDC, &result) && result != DD_OK)
    return Log("IDirectDrawSurface::ReleaseDC", result);
  if (dc == nullptr || dc != data->dc) return Log("IDirectDrawSurface::ReleaseDC", DDERR_INVALIDPARAMS);
  HeadlessDeleteSurfaceDC(dc);
  data->dc = nullptr;
  return Log("IDirectDrawSurface::ReleaseDC", DD_OK);
}

HRESULT IDirectDrawSurface::Restore() {
  REQUIRE_ALIVE("IDirectDrawSurface::Restore");
  HRESULT result = DD_OK;
  if (Injected(HeadlessDdCall::Restore, &result) && result != DD_OK)
    return Log("IDirectDrawSurface::Restore", result, data->caps);
  if (data->lost && (data->caps & DDSCAPS_SYSTEMMEMORY) == 0) std::fill(data->pixels.begin(), data->pixels.end(), 0);
  data->lost = false;
  return Log("IDirectDrawSurface::Restore", DD_OK, data->caps);
}

ULONG IDirectDrawSurface::Release() {
  if (data == nullptr || !data->alive) {
    ++g_deadCalls;
    Log("IDirectDrawSurface::Release", 0);
    return 0;
  }
  ULONG refs = --data->refs;
  if (refs == 0) KillSurface(*data);
  Log("IDirectDrawSurface::Release", static_cast<HRESULT>(refs),
      data->primary ? DDSCAPS_PRIMARYSURFACE : DDSCAPS_OFFSCREENPLAIN);
  return refs;
}

HRESULT IDirectDrawPalette::SetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) {
  REQUIRE_ALIVE("IDirectDrawPalette::SetEntries");
  HRESULT result = DD_OK;
  if (Injected(HeadlessDdCall::SetEntries, &result) && result != DD_OK)
    return Log("IDirectDrawPalette::SetEntries", result);
  if (flags != 0 || entries == nullptr || start > 256 || count > 256 - start)
    return Log("IDirectDrawPalette::SetEntries", DDERR_INVALIDPARAMS);
  std::memcpy(&data->entries[start], entries, count * sizeof(PALETTEENTRY));
  return Log("IDirectDrawPalette::SetEntries", DD_OK, count);
}

ULONG IDirectDrawPalette::Release() {
  if (data == nullptr || !data->alive) {
    ++g_deadCalls;
    Log("IDirectDrawPalette::Release", 0);
    return 0;
  }
  ULONG refs = --data->refs;
  if (refs == 0) KillPalette(*data);
  Log("IDirectDrawPalette::Release", static_cast<HRESULT>(refs));
  return refs;
}

void HeadlessInjectDirectDrawResult(HeadlessDdCall call, HRESULT result) {
  if (call < HeadlessDdCall::Count) g_injected[static_cast<std::size_t>(call)].push_back(result);
}
void HeadlessSetVideoMemoryExhausted(bool exhausted) { g_videoMemoryExhausted = exhausted; }
void HeadlessSetOffscreenPitch(int pitch) { g_offscreenPitch = pitch; }

void HeadlessLoseSurfaces() {
  for (HeadlessSurfaceData& s : g_objects.surfaceData)
    if (s.alive) s.lost = true;
}

void HeadlessSetDisplayModesRefused(bool refused) { g_modesRefused = refused; }

HeadlessDisplayModeInfo HeadlessDisplayMode() { return CurrentMode(); }

HWND HeadlessCooperativeWindow() {
  for (auto it = g_objects.directDrawData.rbegin(); it != g_objects.directDrawData.rend(); ++it)
    if (it->alive) return it->window;
  return nullptr;
}

DWORD HeadlessCooperativeFlags() {
  for (auto it = g_objects.directDrawData.rbegin(); it != g_objects.directDrawData.rend(); ++it)
    if (it->alive) return it->cooperation;
  return 0;
}

HeadlessSurfaceView HeadlessScreen() {
  return ViewOf(NewestSurface([](const HeadlessSurfaceData& s) { return s.primary; }));
}
HeadlessSurfaceView HeadlessOffscreen() {
  return ViewOf(NewestSurface([](const HeadlessSurfaceData& s) { return !s.primary; }));
}
std::vector<std::uint8_t> HeadlessScreenBytes() {
  return BytesOf(NewestSurface([](const HeadlessSurfaceData& s) { return s.primary; }));
}
std::vector<std::uint8_t> HeadlessOffscreenBytes() {
  return BytesOf(NewestSurface([](const HeadlessSurfaceData& s) { return !s.primary; }));
}

bool HeadlessScreenPalette(PALETTEENTRY* entries) {
  HeadlessSurfaceData* screen = NewestSurface([](const HeadlessSurfaceData& s) { return s.primary; });
  if (screen == nullptr || screen->palette == nullptr || !screen->palette->data->alive) return false;
  std::memcpy(entries, screen->palette->data->entries, sizeof screen->palette->data->entries);
  return true;
}

bool HeadlessNewestPalette(PALETTEENTRY* entries) {
  for (auto it = g_objects.paletteData.rbegin(); it != g_objects.paletteData.rend(); ++it)
    if (it->alive) {
      std::memcpy(entries, it->entries, sizeof it->entries);
      return true;
    }
  return false;
}

HeadlessDirectDrawCounts HeadlessLiveDirectDrawObjects() {
  HeadlessDirectDrawCounts counts{};
  for (const HeadlessDirectDrawData& d : g_objects.directDrawData) counts.directDraws += d.alive ? 1 : 0;
  for (const HeadlessSurfaceData& s : g_objects.surfaceData) {
    counts.surfaces += s.alive ? 1 : 0;
    counts.surfaceDCs += s.alive && s.dc != nullptr ? 1 : 0;
  }
  for (const HeadlessPaletteData& p : g_objects.paletteData) counts.palettes += p.alive ? 1 : 0;
  return counts;
}

int HeadlessCallsOnReleasedObjects() { return g_deadCalls; }

void HeadlessResetDirectDraw() {
  for (HeadlessSurfaceData& s : g_objects.surfaceData)
    if (s.alive && s.dc != nullptr) HeadlessDeleteSurfaceDC(s.dc);
  g_objects = Objects{};
  for (auto& queue : g_injected) queue.clear();
  g_modeChanged = false;
  g_modesRefused = false;
  g_videoMemoryExhausted = false;
  g_offscreenPitch = 0;
  g_deadCalls = 0;
}
