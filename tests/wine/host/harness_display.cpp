// The harness's own check of the capture: an 8-bit DirectDraw picture drawn here must read back exactly.
#include <windows.h>
#include <ddraw.h>

#include "host_cases.h"
#include "host_log.h"
#include "shown_colour.h"
#include "screen_capture.h"

namespace {

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) return 0;
  return DefWindowProcA(window, message, wParam, lParam);
}

PALETTEENTRY Entry(int i, int variant) {
  PALETTEENTRY entry{};
  entry.peRed = static_cast<BYTE>(variant == 0 ? i : 255 - i);
  entry.peGreen = static_cast<BYTE>((i * 7 + variant * 50) & 255);
  entry.peBlue = static_cast<BYTE>((i * 13) & 255);
  return entry;
}

}  // namespace

// Draws index (x + 3y) mod 256 into an off-screen surface the way the plug-in does (copy to the primary
// surface, then a new palette), and checks every captured pixel against the second palette.
void CheckDirectDrawCapture(HWND parent) {
  LogScope scope("DirectDraw capture");
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = PlainWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "HarnessDisplayWindow";
  RegisterClassA(&windowClass);
  int desktopWidth = GetSystemMetrics(SM_CXSCREEN), desktopHeight = GetSystemMetrics(SM_CYSCREEN);
  HWND window = CreateWindowExA(WS_EX_TOPMOST, "HarnessDisplayWindow", "harness", WS_POPUP, 0, 0, desktopWidth,
                                desktopHeight, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  PumpFor(50);

  IDirectDraw* directDraw = nullptr;
  IDirectDrawPalette* palette = nullptr;
  IDirectDrawSurface* primary = nullptr;
  IDirectDrawSurface* offscreen = nullptr;
  PALETTEENTRY first[256], second[256];
  for (int i = 0; i < 256; ++i) {
    first[i] = Entry(i, 0);
    second[i] = Entry(i, 1);
  }
  DDSURFACEDESC desc{};
  bool ready = false;
  do {
    if (DirectDrawCreate(nullptr, &directDraw, nullptr) != DD_OK) {
      Fail("DirectDrawCreate");
      break;
    }
    if (directDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK) {
      Fail("SetCooperativeLevel");
      break;
    }
    if (directDraw->SetDisplayMode(320, 200, 8) != DD_OK) {
      Fail("SetDisplayMode");
      break;
    }
    if (directDraw->CreatePalette(DDPCAPS_8BIT, first, &palette, nullptr) != DD_OK) {
      Fail("CreatePalette");
      break;
    }
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (directDraw->CreateSurface(&desc, &primary, nullptr) != DD_OK) {
      Fail("CreateSurface primary");
      break;
    }
    desc = DDSURFACEDESC{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = 320;
    desc.dwHeight = 200;
    if (directDraw->CreateSurface(&desc, &offscreen, nullptr) != DD_OK) {
      Fail("CreateSurface off-screen");
      break;
    }
    if (primary->SetPalette(palette) != DD_OK) {
      Fail("SetPalette");
      break;
    }
    ready = true;
  } while (false);

  if (ready) {
    CHECK_EQ_INT(GetSystemMetrics(SM_CXSCREEN), 320);
    CHECK_EQ_INT(GetSystemMetrics(SM_CYSCREEN), 200);
    desc = DDSURFACEDESC{};
    desc.dwSize = sizeof desc;
    if (offscreen->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) == DD_OK) {
      auto* pixels = static_cast<unsigned char*>(desc.lpSurface);
      for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) pixels[y * desc.lPitch + x] = static_cast<unsigned char>(x + 3 * y);
      offscreen->Unlock(nullptr);
    } else {
      Fail("Lock");
    }
    RECT source{0, 0, 320, 200};
    CHECK_EQ_INT(primary->BltFast(0, 0, offscreen, &source, DDBLTFAST_WAIT), DD_OK);
    CHECK_EQ_INT(palette->SetEntries(0, 0, 256, second), DD_OK);
    ScreenShot shot;
    if (!CaptureWindow(window, 320, 200, &shot)) {
      Fail("the screen could not be captured");
    } else {
      int wrong = 0;
      for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
          std::uint32_t expected = ShownColour(second, (x + 3 * y) & 255);
          std::uint32_t got = shot.pixels[y * 320 + x];
          if (got != expected && wrong++ < 5) Fail("pixel (%d, %d) is %06x, expected %06x", x, y, got, expected);
        }
      }
      LogLine("capture: %d of 64000 pixels differ", wrong);
    }
  }
  if (primary != nullptr) primary->Release();
  if (directDraw != nullptr) directDraw->Release();
  DestroyWindow(window);
  PumpFor(50);
  CHECK_EQ_INT(GetSystemMetrics(SM_CXSCREEN), desktopWidth);
  CHECK_EQ_INT(GetSystemMetrics(SM_CYSCREEN), desktopHeight);
}
