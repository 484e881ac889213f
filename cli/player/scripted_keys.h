// `--keys "FRAME:KEY ..."`: key presses at given frames, for tests and demonstrations, pushed as SDL events.
#pragma once
#include <SDL2/SDL.h>

#include <cstdint>
#include <string>
#include <vector>

struct ScriptedKey {
  std::int64_t frame;
  SDL_Keycode key;
  std::uint16_t modifiers;
  std::string drop;  // a file dropped on the window instead of the key
};

// "FRAME:KEY ..." (or comma-separated) with SDL's key names ("Escape", "Right", "c", "Alt+Return", "Shift+Left");
// "FRAME:drop=PATH" drops a file on the window.
// False, with a message naming the word that is not FRAME:KEY.
bool ParseScriptedKeys(const std::string& text, std::vector<ScriptedKey>& keys, std::string& error);
// Puts the key's press (or the drop) on SDL's event queue, as if it had been typed.
void PushKey(const ScriptedKey& key);
// "Right", "Shift+Right": the key as --keys writes it.
std::string KeyName(const SDL_Keysym& key);
