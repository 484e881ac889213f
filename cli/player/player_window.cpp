// The SDL window of `play` and `live`.
#include "player_window.h"

#include <SDL2/SDL_test_font.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "frame_image.h"
#include "picture_fit.h"

namespace {

void DropTextRenderer(PlayerWindow& w) {
  // The font caches its glyphs per renderer; they must go with it.
  SDLTest_CleanupTextDrawing();
  if (w.textRenderer) SDL_DestroyRenderer(w.textRenderer);
  w.textRenderer = nullptr;
}

// The help, a key's note or the player's state in SDL's 8 x 8 font, on a dark band along the bottom; '\n' starts
// a new line.
void DrawOverlay(SDL_Renderer* renderer, int width, int height, const char* text) {
  int lines = 1, longest = 0;
  for (const char *line = text, *end; *line; line = *end ? end + 1 : end) {
    end = std::strchr(line, '\n');
    if (!end) end = line + std::strlen(line);
    longest = std::max(longest, static_cast<int>(end - line));
    if (*end) ++lines;
  }
  const int textWidth = 8 * longest + 16;
  const int scale = std::clamp(width / std::max(textWidth, 1), 1, 3);
  const int lineHeight = 12;
  const SDL_Rect band{0, height - (lines * lineHeight + 4) * scale, width, (lines * lineHeight + 4) * scale};
  SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 176);
  SDL_RenderFillRect(renderer, &band);
  SDL_RenderSetScale(renderer, static_cast<float>(scale), static_cast<float>(scale));
  SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
  char buffer[256];
  int y = height / scale - lines * lineHeight;
  for (const char *line = text, *end; *line; line = *end ? end + 1 : end, y += lineHeight) {
    end = std::strchr(line, '\n');
    if (!end) end = line + std::strlen(line);
    const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(end - line), sizeof buffer - 1);
    std::memcpy(buffer, line, length);
    buffer[length] = '\0';
    SDLTest_DrawString(renderer, 8, y, buffer);
  }
  SDL_RenderSetScale(renderer, 1, 1);
}

void PresentWholePixels(PlayerWindow& w, const std::uint8_t* indices, const std::uint32_t* argb, const char* overlay) {
  SDL_Surface* s = SDL_GetWindowSurface(w.window);
  if (!s || s->format->BytesPerPixel != 4) return;
  if (s != w.surface) {
    DropTextRenderer(w);
    w.surface = s;
    w.sourceColumn.clear();
  }
  const PictureRect fit = FitPicture(s->w, s->h, false);
  if (w.sourceColumn.size() != static_cast<std::size_t>(fit.width)) {
    w.sourceColumn.resize(static_cast<std::size_t>(fit.width));
    for (int x = 0; x < fit.width; ++x) w.sourceColumn[x] = static_cast<std::uint16_t>(x * kScreenWidth / fit.width);
  }
  std::uint32_t colours[256];
  for (int i = 0; i < 256; ++i)
    colours[i] = SDL_MapRGB(s->format, argb[i] >> 16 & 0xff, argb[i] >> 8 & 0xff, argb[i] & 0xff);

  // Black around the picture; the picture itself overwrites everything inside.
  const SDL_Rect borders[4] = {{0, 0, s->w, fit.y},
                               {0, fit.y + fit.height, s->w, s->h - fit.y - fit.height},
                               {0, fit.y, fit.x, fit.height},
                               {fit.x + fit.width, fit.y, s->w - fit.x - fit.width, fit.height}};
  SDL_FillRects(s, borders, 4, SDL_MapRGB(s->format, 0, 0, 0));
  if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
  auto* base = static_cast<std::uint8_t*>(s->pixels);
  int lastRow = -1;
  std::uint32_t* previous = nullptr;
  for (int y = 0; y < fit.height; ++y) {
    auto* out = reinterpret_cast<std::uint32_t*>(base + static_cast<std::ptrdiff_t>(fit.y + y) * s->pitch) + fit.x;
    const int row = y * kScreenHeight / fit.height;
    if (row == lastRow) {
      std::memcpy(out, previous, static_cast<std::size_t>(fit.width) * 4);
    } else {
      const std::uint8_t* in = indices + row * kScreenWidth;
      for (int x = 0; x < fit.width; ++x) out[x] = colours[in[w.sourceColumn[x]]];
    }
    lastRow = row;
    previous = out;
  }
  if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
  if (overlay[0] != '\0') {
    if (!w.textRenderer) w.textRenderer = SDL_CreateSoftwareRenderer(s);
    if (w.textRenderer) DrawOverlay(w.textRenderer, s->w, s->h, overlay);
  }
  SDL_UpdateWindowSurface(w.window);
}

// The tunnel at the window's size, straight into its surface; the 4:3 shape of the classic window.
void PresentHd(PlayerWindow& w, const Engine& engine, const std::uint8_t* palette, const char* overlay) {
  SDL_Surface* s = SDL_GetWindowSurface(w.window);
  if (!s || s->format->BytesPerPixel != 4) return;
  if (s != w.surface) {
    DropTextRenderer(w);
    w.surface = s;
  }
  if (w.hd.tunnel.Width() != s->w || w.hd.tunnel.Height() != s->h) {
    std::string error;
    if (!PrepareHdPicture(w.hd, s->w, s->h, w.look, kFourThirdsPixelAspect, false, error)) return;
    w.hd.pixels.clear();  // the surface is drawn into
    w.hd.pixels.shrink_to_fit();
  }
  std::uint32_t rgb[256], colours[256];
  ScreenColourWords(palette, rgb);
  for (int i = 0; i < 256; ++i) colours[i] = SDL_MapRGB(s->format, rgb[i] & 0xff, rgb[i] >> 8 & 0xff, rgb[i] >> 16);
  if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
  engine.DrawHd(w.hd.tunnel, colours, static_cast<std::uint8_t*>(s->pixels), s->pitch, 4);
  if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
  if (overlay[0] != '\0') {
    if (!w.textRenderer) w.textRenderer = SDL_CreateSoftwareRenderer(s);
    if (w.textRenderer) DrawOverlay(w.textRenderer, s->w, s->h, overlay);
  }
  SDL_UpdateWindowSurface(w.window);
}

void PresentSmooth(PlayerWindow& w, const std::uint8_t* indices, const std::uint32_t* argb, const char* overlay) {
  for (int i = 0; i < kScreenPixels; ++i) w.pixels[i] = argb[indices[i]];
  SDL_UpdateTexture(w.texture, nullptr, w.pixels.data(), kScreenWidth * 4);
  int width = 0, height = 0;
  SDL_GetRendererOutputSize(w.renderer, &width, &height);
  const PictureRect fit = FitPicture(width, height, true);
  const SDL_Rect dest{fit.x, fit.y, fit.width, fit.height};
  SDL_SetRenderDrawColor(w.renderer, 0, 0, 0, 255);
  SDL_RenderClear(w.renderer);
  SDL_RenderCopy(w.renderer, w.texture, nullptr, &dest);
  if (overlay[0] != '\0') DrawOverlay(w.renderer, width, height, overlay);
  SDL_RenderPresent(w.renderer);
}

}  // namespace

bool OpenPlayerWindow(const WindowOptions& options, PlayerWindow& w, std::string& error) {
  ClosePlayerWindow(w);
  w.smooth = options.smooth;
  w.look = options.look;
  if (options.look != PictureLook::Classic) w.drawnLook = options.look;
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
  // The window's own surface (shared memory on X11) rather than one emulated through OpenGL, which without a
  // graphics processor costs more than the whole effect.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  Uint32 flags = SDL_WINDOW_RESIZABLE;
  if (options.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  w.window = SDL_CreateWindow("Ombrelo Tunnel", x, y, width, height, flags);
  if (!w.window) {
    error = std::string("cannot open a window: ") + SDL_GetError();
    return false;
  }
  if (options.fullscreen) SDL_ShowCursor(SDL_DISABLE);
  if (!options.smooth) {
    SDL_Surface* s = SDL_GetWindowSurface(w.window);
    if (s && s->format->BytesPerPixel == 4) return true;
    w.smooth = true;  // a display of another depth: let a renderer convert (and scale smoothly)
    w.look = PictureLook::Classic;
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
  SDL_SetTextureScaleMode(w.texture, SDL_ScaleModeLinear);
  w.pixels.assign(kScreenPixels, 0);
  return true;
}

void ClosePlayerWindow(PlayerWindow& w) {
  DropTextRenderer(w);
  if (w.texture) SDL_DestroyTexture(w.texture);
  if (w.renderer) SDL_DestroyRenderer(w.renderer);
  if (w.window) SDL_DestroyWindow(w.window);
  w.texture = nullptr;
  w.renderer = nullptr;
  w.window = nullptr;
  w.surface = nullptr;
}

void TogglePlayerFullscreen(PlayerWindow& w) {
  const bool full = (SDL_GetWindowFlags(w.window) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
  // The desktop-sized full screen takes the display the window is on, so it opens on the window's monitor.
  SDL_SetWindowFullscreen(w.window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
  SDL_ShowCursor(full ? SDL_ENABLE : SDL_DISABLE);
}

std::string TogglePlayerPicture(PlayerWindow& w) {
  // The renderer scales the classic frame (--smooth, or a display whose depth the surface cannot take).
  if (w.renderer) return "the smooth window shows the classic picture";
  w.look = w.look == PictureLook::Classic ? w.drawnLook : PictureLook::Classic;
  return w.look == PictureLook::Classic ? "picture: classic"
                                        : "picture: " + kPictureLookNames[static_cast<int>(w.look)];
}

void PresentFrame(PlayerWindow& w, const Engine& engine, const std::uint8_t* indices, const std::uint8_t* palette,
                  const char* overlay) {
  std::uint32_t argb[256];
  for (int i = 0; i < 256; ++i)
    argb[i] = 0xff000000u | palette[3 * i] << 16 | palette[3 * i + 1] << 8 | palette[3 * i + 2];
  // Entries 0 and 255 are black and white on the screen whatever the palette says, as render shows them.
  argb[0] = 0xff000000u;
  argb[255] = 0xffffffffu;
  if (w.renderer)
    PresentSmooth(w, indices, argb, overlay);
  else if (w.look != PictureLook::Classic)
    PresentHd(w, engine, palette, overlay);
  else
    PresentWholePixels(w, indices, argb, overlay);
}

std::string WrapForScreen(const std::string& text) {
  // The width of a small window in SDL's 8 x 8 font.
  constexpr std::size_t kScreenLine = 80;
  std::string wrapped, line, word;
  std::istringstream words(text);
  while (words >> word) {
    if (!line.empty() && line.size() + 1 + word.size() > kScreenLine) {
      wrapped += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  return wrapped + line;
}
