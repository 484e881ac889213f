// The display seam over DirectDraw's first interfaces, the window manager and GDI.
#include "plugin/video_win32.h"

#include <cstring>

#include "plugin/vis_records.h"

namespace {

// The 32-bit platform's DDSURFACEDESC size, and the members asked for when reading a surface's geometry.
constexpr DWORD kSurfaceDescSize = 108;
constexpr DWORD kGeometryFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_LPSURFACE;  // 0x80E
constexpr int kBitsPerPixel = 8;
constexpr COLORREF kErrorBackground = 0x00FF0000;  // blue
constexpr COLORREF kErrorForeground = 0x0000FFFF;  // yellow
// The system's number for an application's own icon and for the standard arrow.
const LPCSTR kStandardIcon = MAKEINTRESOURCEA(32512);
const LPCSTR kStandardArrow = MAKEINTRESOURCEA(32512);

IDirectDraw* Dd(VidDevice* device) { return reinterpret_cast<IDirectDraw*>(device); }
IDirectDrawSurface* Dds(VidSurface* surface) { return reinterpret_cast<IDirectDrawSurface*>(surface); }
IDirectDrawPalette* Ddp(VidPalette* palette) { return reinterpret_cast<IDirectDrawPalette*>(palette); }
HDC Dc(VidCanvas* canvas) { return reinterpret_cast<HDC>(canvas); }
PALETTEENTRY* Entries(const VidColour* entries) {
  static_assert(sizeof(VidColour) == sizeof(PALETTEENTRY) && offsetof(PALETTEENTRY, peRed) == 0 &&
                offsetof(PALETTEENTRY, peBlue) == 2);
  return reinterpret_cast<PALETTEENTRY*>(const_cast<VidColour*>(entries));
}

VidResult CreateSurface(VidDevice* device, DDSURFACEDESC& desc, VidSurface** surface) {
  IDirectDrawSurface* created = nullptr;
  const HRESULT result = Dd(device)->CreateSurface(&desc, &created, nullptr);
  *surface = reinterpret_cast<VidSurface*>(created);
  return result;
}

void ReadGeometry(const DDSURFACEDESC& desc, VidFrame* frame) {
  frame->width = static_cast<int>(desc.dwWidth);
  frame->height = static_cast<int>(desc.dwHeight);
  frame->pitch = desc.lPitch;
  frame->pixels = static_cast<std::uint8_t*>(desc.lpSurface);
}

}  // namespace

static_assert(sizeof(DDSURFACEDESC) == kSurfaceDescSize);

VidResult VidCreateDevice(VidDevice** device) {
  IDirectDraw* created = nullptr;
  const HRESULT result = DirectDrawCreate(nullptr, &created, nullptr);
  *device = reinterpret_cast<VidDevice*>(created);
  return result;
}

VidResult VidSetExclusive(VidDevice* device, VidWindow* window) {
  return Dd(device)->SetCooperativeLevel(WindowHandle(window), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
}

VidResult VidSetMode(VidDevice* device, int width, int height) {
  return Dd(device)->SetDisplayMode(width, height, kBitsPerPixel);
}

VidResult VidCreatePalette(VidDevice* device, const VidColour entries[256], VidPalette** palette) {
  IDirectDrawPalette* created = nullptr;
  const HRESULT result = Dd(device)->CreatePalette(DDPCAPS_8BIT, Entries(entries), &created, nullptr);
  *palette = reinterpret_cast<VidPalette*>(created);
  return result;
}

VidResult VidCreatePrimary(VidDevice* device, VidSurface** surface) {
  DDSURFACEDESC desc{};
  desc.dwSize = kSurfaceDescSize;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  return CreateSurface(device, desc, surface);
}

VidResult VidCreateOffscreen(VidDevice* device, int width, int height, bool systemMemory, VidSurface** surface) {
  DDSURFACEDESC desc{};
  desc.dwSize = kSurfaceDescSize;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | (systemMemory ? DDSCAPS_SYSTEMMEMORY : 0);
  desc.dwWidth = static_cast<DWORD>(width);
  desc.dwHeight = static_cast<DWORD>(height);
  return CreateSurface(device, desc, surface);
}

VidResult VidDescribe(VidSurface* surface, VidFrame* geometry) {
  DDSURFACEDESC desc{};
  desc.dwSize = kSurfaceDescSize;
  desc.dwFlags = kGeometryFlags;
  const HRESULT result = Dds(surface)->GetSurfaceDesc(&desc);
  if (result == DD_OK) ReadGeometry(desc, geometry);
  return result;
}

VidResult VidAttachPalette(VidSurface* screen, VidPalette* palette) { return Dds(screen)->SetPalette(Ddp(palette)); }

VidResult VidClear(VidSurface* screen) {
  DDBLTFX fill{};
  fill.dwSize = sizeof fill;
  fill.dwFillColor = 0;
  return Dds(screen)->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
}

VidResult VidCopy(VidSurface* screen, const VidRect* to, VidSurface* frame, const VidRect& from, bool fast) {
  RECT source = ToRect(from);
  if (fast) return Dds(screen)->BltFast(0, 0, Dds(frame), &source, DDBLTFAST_WAIT);
  RECT target = to != nullptr ? ToRect(*to) : RECT{};
  return Dds(screen)->Blt(to != nullptr ? &target : nullptr, Dds(frame), &source, DDBLT_WAIT, nullptr);
}

VidResult VidLock(VidSurface* surface, VidFrame* locked) {
  DDSURFACEDESC desc{};
  desc.dwSize = kSurfaceDescSize;
  desc.dwFlags = kGeometryFlags;
  const HRESULT result = Dds(surface)->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
  if (result == DD_OK) ReadGeometry(desc, locked);
  return result;
}

VidResult VidUnlock(VidSurface* surface) { return Dds(surface)->Unlock(nullptr); }
VidResult VidRestore(VidSurface* surface) { return Dds(surface)->Restore(); }

VidResult VidSetEntries(VidPalette* palette, const VidColour entries[256]) {
  return Ddp(palette)->SetEntries(0, 0, 256, Entries(entries));
}

bool VidDrawErrorText(VidSurface* screen, const char* text) {
  HDC dc = nullptr;
  if (Dds(screen)->GetDC(&dc) != DD_OK) return false;
  SetBkColor(dc, kErrorBackground);
  SetTextColor(dc, kErrorForeground);
  TextOutA(dc, 0, 0, text, lstrlenA(text));
  Dds(screen)->ReleaseDC(dc);
  return true;
}

void VidRelease(VidSurface* surface) { Dds(surface)->Release(); }
void VidRelease(VidPalette* palette) { Ddp(palette)->Release(); }
void VidRelease(VidDevice* device) { Dd(device)->Release(); }

bool VidRegisterClass(VisModule* module) {
  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = DisplayWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = module->instance;
  // The library carries no icon, so this asks for one and gets none.
  windowClass.hIcon = LoadIconA(module->instance, kStandardIcon);
  windowClass.hCursor = LoadCursorA(nullptr, kStandardArrow);
  windowClass.hbrBackground = nullptr;
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kDisplayClassName;
  return RegisterClassA(&windowClass) != 0;
}

void VidUnregisterClass(VisModule* module) { UnregisterClassA(kDisplayClassName, module->instance); }

VidWindow* VidCreateWindow(VisModule* module) {
  // Measured before the display mode changes: the window covers the desktop as it is now.
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  HWND window = CreateWindowExA(WS_EX_TOPMOST, kDisplayClassName, module->description, WS_POPUP, 0, 0, width, height,
                                module->parent, nullptr, module->instance, nullptr);
  if (window == nullptr) return nullptr;
  SetWindowLongA(window, GWL_USERDATA, reinterpret_cast<LONG_PTR>(module));
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  return reinterpret_cast<VidWindow*>(window);
}

void VidDestroyWindow(VidWindow* window) { DestroyWindow(WindowHandle(window)); }

VidRect VidDesktopRect() { return VidRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

bool VidHostMonitor(VisModule* module, VidRect* monitor, VidRect* work) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(MonitorFromWindow(module->parent, MONITOR_DEFAULTTOPRIMARY), &info) == 0) return false;
  *monitor = ToVidRect(info.rcMonitor);
  *work = ToVidRect(info.rcWork);
  return true;
}

bool VidPlaceWindow(VidWindow* window, VidPlacement placement, const VidRect& outer) {
  const bool normal = placement == VidPlacement::Normal;
  HWND handle = WindowHandle(window);
  const DWORD style = normal ? WS_OVERLAPPEDWINDOW : WS_POPUP;
  SetWindowLongA(handle, GWL_STYLE, static_cast<LONG_PTR>(style | WS_VISIBLE));
  SetWindowLongA(handle, GWL_EXSTYLE, static_cast<LONG_PTR>(normal ? 0 : WS_EX_TOPMOST));
  return SetWindowPos(handle, normal ? HWND_NOTOPMOST : HWND_TOPMOST, outer.left, outer.top, outer.right - outer.left,
                      outer.bottom - outer.top, SWP_FRAMECHANGED | SWP_SHOWWINDOW) != 0;
}

bool VidClientSize(VidWindow* window, int* width, int* height) {
  RECT client{};
  if (GetClientRect(WindowHandle(window), &client) == 0) return false;
  *width = client.right - client.left;
  *height = client.bottom - client.top;
  return true;
}

VidCanvas* VidBeginDraw(VidWindow* window) { return reinterpret_cast<VidCanvas*>(GetDC(WindowHandle(window))); }
void VidEndDraw(VidWindow* window, VidCanvas* canvas) { ReleaseDC(WindowHandle(window), Dc(canvas)); }

void VidFillBlack(VidCanvas* canvas, const VidRect& area) {
  PatBlt(Dc(canvas), area.left, area.top, area.right - area.left, area.bottom - area.top, BLACKNESS);
}

bool VidDrawRows(VidCanvas* canvas, int left, int top, int width, int rows, const std::uint8_t* row,
                 const std::uint32_t colours[256]) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } bitmap{};
  bitmap.header.biSize = sizeof bitmap.header;
  bitmap.header.biWidth = width;
  bitmap.header.biHeight = -1;  // one row, top-down
  bitmap.header.biPlanes = 1;
  bitmap.header.biBitCount = 8;
  bitmap.header.biCompression = BI_RGB;
  bitmap.header.biClrUsed = 256;
  static_assert(sizeof bitmap.colours == 256 * sizeof colours[0]);  // a colour word has RGBQUAD's bytes
  std::memcpy(bitmap.colours, colours, sizeof bitmap.colours);
  // No rows copied (0) and GDI_ERROR (-1) are both failures.
  return StretchDIBits(Dc(canvas), left, top, width, rows, 0, 0, width, 1, row,
                       reinterpret_cast<const BITMAPINFO*>(&bitmap), DIB_RGB_COLORS, SRCCOPY) > 0;
}

bool VidDrawPixels(VidCanvas* canvas, int width, int height, const std::uint32_t* pixels) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return StretchDIBits(Dc(canvas), 0, 0, width, height, 0, 0, width, height, pixels, &info, DIB_RGB_COLORS, SRCCOPY) >
         0;
}

void VidTell(VisModule* module, const char* text, const char* caption, bool errorIcon, bool afterTeardown) {
  MSG quit{};
  const bool held = afterTeardown && PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
  MessageBoxA(module->parent, text, caption, MB_OK | (errorIcon ? MB_ICONERROR : 0));
  if (held) PostQuitMessage(static_cast<int>(quit.wParam));
}

namespace {
DWORD WINAPI RunJob(void* job) {
  static_cast<VidJob*>(job)->run(static_cast<VidJob*>(job));
  return 0;
}
}  // namespace

// A thread of the system's own, not the C++ library's: the DLL imports nothing but the system's libraries.
VidWork* VidStartWork(VidJob* job) {
  return reinterpret_cast<VidWork*>(CreateThread(nullptr, 0, RunJob, job, 0, nullptr));
}

bool VidWaitWork(VidWork* work, int milliseconds) {
  return WaitForSingleObject(reinterpret_cast<HANDLE>(work), static_cast<DWORD>(milliseconds)) == WAIT_OBJECT_0;
}

void VidFinishWork(VidWork* work) {
  WaitForSingleObject(reinterpret_cast<HANDLE>(work), INFINITE);
  CloseHandle(reinterpret_cast<HANDLE>(work));
}

std::size_t VidModuleFileName(VisModule* module, char* name, std::size_t size) {
  return GetModuleFileNameA(module->instance, name, static_cast<DWORD>(size));
}
