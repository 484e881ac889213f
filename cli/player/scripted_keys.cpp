// Scripted key presses.
#include "scripted_keys.h"

#include <cstdlib>
#include <sstream>

bool ParseScriptedKeys(const std::string& text, std::vector<ScriptedKey>& keys, std::string& error) {
  std::string spaced = text;
  for (char& c : spaced)
    if (c == ',') c = ' ';
  std::istringstream words(spaced);
  std::string word;
  while (words >> word) {
    const std::size_t colon = word.find(':');
    std::string name = colon == std::string::npos ? "" : word.substr(colon + 1);
    std::uint16_t modifiers = 0;
    for (bool more = true; more;) {
      more = false;
      if (name.rfind("Alt+", 0) == 0) {
        modifiers |= KMOD_LALT;
        name = name.substr(4);
        more = true;
      }
      if (name.rfind("Shift+", 0) == 0) {
        modifiers |= KMOD_LSHIFT;
        name = name.substr(6);
        more = true;
      }
    }
    const bool drop = name.rfind("drop=", 0) == 0 && name.size() > 5;
    const SDL_Keycode key = drop ? SDLK_d : name.empty() ? SDLK_UNKNOWN : SDL_GetKeyFromName(name.c_str());
    char* end = nullptr;
    const long long frame = colon == std::string::npos ? -1 : std::strtoll(word.c_str(), &end, 10);
    if (key == SDLK_UNKNOWN || frame < 0 || end != word.c_str() + colon) {
      error = "--keys: '" + word + "' is not FRAME:KEY";
      return false;
    }
    keys.push_back({frame, key, modifiers, drop ? name.substr(5) : std::string()});
  }
  return true;
}

void PushKey(const ScriptedKey& k) {
  SDL_Event event{};
  if (!k.drop.empty()) {
    event.type = SDL_DROPFILE;
    event.drop.file = SDL_strdup(k.drop.c_str());
    SDL_PushEvent(&event);
    return;
  }
  event.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.keysym.sym = k.key;
  event.key.keysym.scancode = SDL_GetScancodeFromKey(k.key);
  event.key.keysym.mod = k.modifiers;
  SDL_PushEvent(&event);
}

std::string KeyName(const SDL_Keysym& key) {
  std::string name = SDL_GetKeyName(key.sym);
  if (key.mod & KMOD_SHIFT) name = "Shift+" + name;
  if (key.mod & KMOD_ALT) name = "Alt+" + name;
  return name;
}
