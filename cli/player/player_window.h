// The player's window: the plug-in's 320 x 200 frame through its palette, scaled to 4:3, with a help line.
#pragma once
#include <SDL2/SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "picture_look.h"

struct WindowOptions {
  bool smooth = false;                      // bilinear instead of whole pixels
  bool fullscreen = false;                  // start in full screen
  int monitor = -1;                         // display index; -1 = where the system puts new windows
  PictureLook look = PictureLook::Classic;  // other than Classic: the tunnel drawn at the window's size
};

struct PlayerWindow;
void ClosePlayerWindow(PlayerWindow& window);

// Closed with the object.
struct PlayerWindow {
  PlayerWindow() = default;
  PlayerWindow(const PlayerWindow&) = delete;
  PlayerWindow& operator=(const PlayerWindow&) = delete;
  ~PlayerWindow() { ClosePlayerWindow(*this); }

  SDL_Window* window = nullptr;
  bool smooth = false;
  // Whole pixels are drawn straight into the window's surface: exact, and cheapest where there is no graphics
  // processor. A software renderer on that surface draws the text.
  SDL_Surface* surface = nullptr;  // the window's; SDL replaces it when the size changes
  SDL_Renderer* textRenderer = nullptr;
  std::vector<std::uint16_t> sourceColumn;  // per picture column, the screen column it shows
  // Smooth: a renderer scales the frame as a texture.
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  std::vector<std::uint32_t> pixels;  // 320 x 200 ARGB, reused every frame
  // The tunnel at the window's size (into its surface), its map made again when the size changes.
  PictureLook look = PictureLook::Classic;
  PictureLook drawnLook = PictureLook::Hd;  // the look drawn at the window's size that D switches to
  HdPicture hd;
};

// The SDL hints the window needs; set before any SDL thread starts (SDL reads hints from its threads unlocked).
void SetPlayerWindowHints();
// Needs SDL's video subsystem. False, with a message, when the window cannot be made (no display, a monitor that
// does not exist).
bool OpenPlayerWindow(const WindowOptions& options, PlayerWindow& window, std::string& error);
void ClosePlayerWindow(PlayerWindow& window);

// Full screen on the monitor that holds the window, or back to the window.
void TogglePlayerFullscreen(PlayerWindow& window);
// Between the classic picture and the one drawn at the window's size; says what is shown now, in a few words.
std::string TogglePlayerPicture(PlayerWindow& window);

// Shows one frame: `indices` (64000) through `palette` (768 bytes RGB), or with a look other than Classic the
// engine's last frame drawn at the window's size; `overlay`, when not empty, as a line of text over the bottom
// of the picture.
void PresentFrame(PlayerWindow& window, const Engine& engine, const std::uint8_t* indices, const std::uint8_t* palette,
                  const char* overlay);
// A message for the overlay in lines that fit a small window, broken at blanks.
std::string WrapForScreen(const std::string& text);
