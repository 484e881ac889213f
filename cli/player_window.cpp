// The SDL window of `play` and `live`.
#include "player_window.h"

#include <SDL2/SDL_test_font.h>

#include <algorithm>

#include "frame_image.h"
#include "picture_fit.h"

bool OpenPlayerWindow(const WindowOptions& options, PlayerWindow& w, std::string& error) {
  w = {};
  w.smooth = options.smooth;
  int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
  if (options.monitor >= 0) {
    const int displays = SDL_GetNumVideoDisplays();
    if (options.monitor >= displays) {
      error =
          "--monitor " + std::to_string(options.monitor) + ": there " +
          (displays == 1 ? std::string("is 1 monitor (0)")
                         : "are " + std::to_string(displays) + " monitors (0.." + std::to_string(displays - 1) + ")");
      return false;
    }
    x = y = SDL_WINDOWPOS_CENTERED_DISPLAY(options.monitor);
  }
  // Three times the 4:3 picture, or less on a small screen.
  int width = 3 * kScreenWidth, height = 3 * 240;
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(std::max(options.monitor, 0), &usable) == 0) {
    while (width > kScreenWidth && (width > usable.w || height > usable.h)) {
      width -= kScreenWidth;
      height -= 240;
    }
  }
  Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
  if (options.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  w.window = SDL_CreateWindow("Ombrelo Tunnel", x, y, width, height, flags);
  if (!w.window) {
    error = std::string("cannot open a window: ") + SDL_GetError();
    return false;
  }
  w.renderer = SDL_CreateRenderer(w.window, -1, SDL_RENDERER_ACCELERATED);
  if (!w.renderer) w.renderer = SDL_CreateRenderer(w.window, -1, SDL_RENDERER_SOFTWARE);
  if (!w.renderer) {
    error = std::string("cannot draw into the window: ") + SDL_GetError();
    ClosePlayerWindow(w);
    return false;
  }
  w.texture =
      SDL_CreateTexture(w.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, kScreenWidth, kScreenHeight);
  if (!w.texture) {
    error = std::string("cannot make the picture's texture: ") + SDL_GetError();
    ClosePlayerWindow(w);
    return false;
  }
  SDL_SetTextureScaleMode(w.texture, options.smooth ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
  w.pixels.assign(kScreenPixels, 0);
  if (options.fullscreen) SDL_ShowCursor(SDL_DISABLE);
  return true;
}

void ClosePlayerWindow(PlayerWindow& w) {
  if (w.texture) SDL_DestroyTexture(w.texture);
  if (w.renderer) SDL_DestroyRenderer(w.renderer);
  if (w.window) SDL_DestroyWindow(w.window);
  SDLTest_CleanupTextDrawing();
  w.texture = nullptr;
  w.renderer = nullptr;
  w.window = nullptr;
}

void TogglePlayerFullscreen(PlayerWindow& w) {
  const bool full = (SDL_GetWindowFlags(w.window) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
  // The desktop-sized full screen takes the display the window is on, so it opens on the window's monitor.
  SDL_SetWindowFullscreen(w.window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
  SDL_ShowCursor(full ? SDL_ENABLE : SDL_DISABLE);
}

void PresentFrame(PlayerWindow& w, const std::uint8_t* indices, const std::uint8_t* palette,
                  const std::string& overlay) {
  std::uint32_t colours[256];
  for (int i = 0; i < 256; ++i)
    colours[i] = 0xff000000u | palette[3 * i] << 16 | palette[3 * i + 1] << 8 | palette[3 * i + 2];
  // Entries 0 and 255 are black and white on the screen whatever the palette says, as render shows them.
  colours[0] = 0xff000000u;
  colours[255] = 0xffffffffu;
  for (int i = 0; i < kScreenPixels; ++i) w.pixels[i] = colours[indices[i]];
  SDL_UpdateTexture(w.texture, nullptr, w.pixels.data(), kScreenWidth * 4);

  int width = 0, height = 0;
  SDL_GetRendererOutputSize(w.renderer, &width, &height);
  const PictureRect fit = FitPicture(width, height, w.smooth);
  const SDL_Rect dest{fit.x, fit.y, fit.width, fit.height};
  SDL_SetRenderDrawColor(w.renderer, 0, 0, 0, 255);
  SDL_RenderClear(w.renderer);
  SDL_RenderCopy(w.renderer, w.texture, nullptr, &dest);
  if (!overlay.empty()) {
    // The 8 x 8 font at a whole scale that fits the line into the window's width.
    const int textWidth = 8 * static_cast<int>(overlay.size()) + 16;
    const int scale = std::clamp(width / std::max(textWidth, 1), 1, 3);
    const SDL_Rect band{0, height - 16 * scale, width, 16 * scale};
    SDL_SetRenderDrawBlendMode(w.renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(w.renderer, 0, 0, 0, 176);
    SDL_RenderFillRect(w.renderer, &band);
    SDL_RenderSetScale(w.renderer, static_cast<float>(scale), static_cast<float>(scale));
    SDL_SetRenderDrawColor(w.renderer, 255, 255, 255, 255);
    SDLTest_DrawString(w.renderer, 8, height / scale - 12, overlay.c_str());
    SDL_RenderSetScale(w.renderer, 1, 1);
  }
  SDL_RenderPresent(w.renderer);
}
