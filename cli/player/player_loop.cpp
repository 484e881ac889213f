// One engine frame per 20 ms, the finished frame shown at once, with the waveform the sound device is playing then.
#include "player_loop.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <thread>
#include <vector>

#include "effect_session.h"
#include "frame_image.h"
#include "look_options.h"
#include "player_keys.h"
#include "player_window.h"
#include "palette_catalog.h"
#include "settings_commands.h"

namespace {

constexpr auto kFramePeriod = std::chrono::microseconds(1000000 / kFramesPerSecond);
// A note about a key's change stays on screen this long.
constexpr auto kNoteTime = std::chrono::seconds(2);

struct ScriptedKey {
  std::int64_t frame;
  SDL_Keycode key;
  std::uint16_t modifiers;
  std::string drop;  // a file dropped instead of the key
};

// "FRAME:KEY ..." with SDL's key names ("Escape", "Right", "c", "Alt+Return"); "FRAME:drop=PATH" drops a file on
// the window.
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

// "Right", "Shift+Right": the key as --keys writes it.
std::string KeyName(const SDL_Keysym& key) {
  std::string name = SDL_GetKeyName(key.sym);
  if (key.mod & KMOD_SHIFT) name = "Shift+" + name;
  if (key.mod & KMOD_ALT) name = "Alt+" + name;
  return name;
}

// Which palette the animation is in, by number and name, for the note after a palette key.
std::string PaletteNote(const EffectSession& session, const std::vector<NamedPalette>& palettes) {
  const int count = std::max(session.engine.PaletteCount(), 1);
  const int current = CurrentPalette(session);
  std::string note = "palette " + std::to_string(current) + " of " + std::to_string(count);
  if (static_cast<std::size_t>(count) == palettes.size()) note += ": " + palettes[static_cast<std::size_t>(current - 1)].name;
  return note;
}

// "1:05" for 65.3 seconds; "?" when unknown.
void FormatClock(double seconds, char (&out)[32]) {
  if (seconds < 0) {
    std::snprintf(out, sizeof out, "?");
    return;
  }
  const long long whole = static_cast<long long>(seconds);
  std::snprintf(out, sizeof out, "%lld:%02lld", whole / 60, whole % 60);
}

// The help: the song heard now, where it is and how long it is, above the keys.
const char* HelpWithSong(const NowPlaying& playing, const char* keys, char (&out)[512]) {
  if (playing.song < 0) return keys;
  char position[32], length[32];
  FormatClock(playing.position, position);
  FormatClock(playing.length, length);
  std::snprintf(out, sizeof out, "%d/%d  %s  %s / %s\n%s", playing.song + 1, playing.songs, playing.name, position,
                length, keys);
  return out;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int RunPlayerLoop(const PlayerOptions& o, FrameFeed& feed, CommandStreams& streams) {
  std::string error;
  std::vector<ScriptedKey> script;
  if (!ParseScriptedKeys(o.scriptedKeys, script, error)) {
    streams.err << "tavelmir: " << error << '\n';
    return 1;
  }
  const SteadyTime origin = std::chrono::steady_clock::now();
  PlayerTrace trace;
  if (!o.tracePath.empty() && !OpenPlayerTrace(o.tracePath, o.audioPaths, o.replace, origin, trace, error)) {
    streams.err << "tavelmir: " << error << '\n';
    return 1;
  }
  PictureLook picture = PictureLook::Classic;
  if (!PlayerPictureLook(o, picture, error)) {
    ClosePlayerTrace(trace);
    streams.err << "tavelmir: " << error << '\n';
    return 2;
  }
  PlayerWindow window;
  if (!OpenPlayerWindow({o.smooth, o.fullscreen, o.monitor, picture}, window, error)) {
    ClosePlayerTrace(trace);
    streams.err << "tavelmir: " << error << '\n';
    return 1;
  }
  Look resolved;
  EffectSession session;
  std::vector<NamedPalette> palettes;
  int paletteIndex = 0;
  const bool lookOk = ResolveLook(o.look, resolved, error) &&
                      ListNamedPalettes(resolved.palettesDir, palettes, error) &&
                      (o.look.palette.empty() ||
                       (paletteIndex = FindPaletteIndex(palettes, o.look.palette, resolved.palettesDir, error)) >= 0);
  if (!lookOk || !StartEffect(resolved, session, error)) {
    ClosePlayerWindow(window);
    ClosePlayerTrace(trace);
    streams.err << "tavelmir: " << error << '\n';
    return 1;
  }
  for (const std::string& w : resolved.warnings) streams.err << "tavelmir: warning: " << w << '\n';
  session.engine.SkipPalettes(paletteIndex);

  LiveLook look{resolved.settings, session.engine.PaletteCount(), 0};
  std::vector<unsigned char> block(kWaveformBlockBytes);
  std::vector<std::uint8_t> indices(kScreenPixels), palette(kPaletteBytes);
  std::string note;
  SteadyTime noteUntil{};
  char helpText[512];
  int titledSong = -1;
  const char* shownStatus = "";
  bool help = false, running = true;
  int status = 0;
  std::size_t nextScripted = 0;
  double renderTotalUs = 0, presentTotalUs = 0;
  std::uint64_t clockPointsTraced = 0;
  AudioClockPoint clockPoints[SampleHistory::kKeptClockPoints];
  const double cpuAtStart = CpuSeconds();
  SteadyTime due = std::chrono::steady_clock::now();
  std::int64_t frame = 0;

  for (; running; ++frame) {
    while (nextScripted < script.size() && script[nextScripted].frame <= frame) PushKey(script[nextScripted++]);
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT) running = false;
      if (event.type == SDL_AUDIODEVICEADDED || event.type == SDL_AUDIODEVICEREMOVED)
        feed.OnDeviceEvent(event.adevice, streams);
      if (event.type == SDL_DROPFILE) {
        feed.AddFiles({event.drop.file}, streams);
        TraceNote(trace, frame, std::string("dropped ") + event.drop.file);
        SDL_free(event.drop.file);
      }
      if (event.type != SDL_KEYDOWN) continue;
      const KeyAction action = ActionForKey(event.key.keysym.sym, event.key.keysym.mod);
      switch (action.action) {
        case PlayerAction::None:
          break;
        case PlayerAction::Quit:
          running = false;
          break;
        case PlayerAction::ToggleFullscreen:
          TogglePlayerFullscreen(window);
          break;
        case PlayerAction::ToggleHelp:
          help = !help;
          break;
        case PlayerAction::TogglePicture:
          note = TogglePlayerPicture(window);
          noteUntil = std::chrono::steady_clock::now() + kNoteTime;
          TraceNote(trace, frame, "key " + KeyName(event.key.keysym) + ": " + note);
          break;
        default: {
          if (IsTransportAction(action.action)) {
            note = feed.Transport(action.action, std::chrono::steady_clock::now(), streams);
            if (note.empty()) break;
            noteUntil = std::chrono::steady_clock::now() + kNoteTime;
            TraceNote(trace, frame, "key " + KeyName(event.key.keysym) + ": " + note);
            break;
          }
          int paletteStep = 0;
          note = ApplyLookAction(action, look, paletteStep);
          if (paletteStep != 0) {
            session.engine.SkipPalettes(paletteStep);
            note = PaletteNote(session, palettes);
          }
          session.engine.ApplySettings(look.settings);
          noteUntil = std::chrono::steady_clock::now() + kNoteTime;
          TraceNote(trace, frame, "key " + KeyName(event.key.keysym) + ": " + note);
          break;
        }
      }
    }
    if (!running) break;
    if (!feed.Prepare(streams)) break;

    const SteadyTime start = std::chrono::steady_clock::now();
    const NowPlaying playing = feed.Playing(start);
    if (playing.song >= 0 && playing.song != titledSong) {
      titledSong = playing.song;
      SDL_SetWindowTitle(window.window, (std::string(playing.name) + " - Ombrelo Tunnel").c_str());
      TraceNote(trace, frame,
                "song " + std::to_string(playing.song + 1) + "/" + std::to_string(playing.songs) + ": " + playing.name);
    }
    // Paused, the last frame stays on screen (with the help or a note over it) and nothing is drawn anew.
    const bool paused = feed.Paused();
    FramePlacement placement;
    if (!paused) {
      feed.Fill(start, block.data(), placement);
      DrawEffectFrame(session, block.data(), indices.data(), palette.data());
    }
    const SteadyTime rendered = std::chrono::steady_clock::now();
    const char* statusLine = feed.Status(start);
    if (statusLine != shownStatus) {
      TraceNote(trace, frame, std::string("status: ") + (statusLine[0] ? statusLine : "(none)"));
      shownStatus = statusLine;
    }
    const char* overlay = statusLine;
    if (help)
      overlay = HelpWithSong(playing, feed.HelpLines(), helpText);
    else if (!note.empty() && start < noteUntil)
      overlay = note.c_str();
    else if (paused)
      overlay = "paused: Space plays on";
    PresentFrame(window, session.engine, indices.data(), palette.data(), overlay);
    const SteadyTime shown = std::chrono::steady_clock::now();
    const double renderUs = std::chrono::duration<double, std::micro>(rendered - start).count();
    const double presentUs = std::chrono::duration<double, std::micro>(shown - rendered).count();
    if (!paused) {
      renderTotalUs += renderUs;
      presentTotalUs += presentUs;
      TraceFrame(trace, frame, shown, placement, block.data(), renderUs, presentUs);
    }
    if (trace.file) {
      int count = 0;
      clockPointsTraced = feed.Sound().ClockPointsSince(clockPointsTraced, clockPoints, count);
      for (int i = 0; i < count; ++i) TraceClock(trace, clockPoints[i]);
    }

    // Keep to the 20 ms grid; after a stall (a busy machine, a dragged window) start a new grid rather than
    // rushing through the missed frames.
    due += kFramePeriod;
    const SteadyTime now = std::chrono::steady_clock::now();
    if (now > due + 3 * kFramePeriod) due = now;
    std::this_thread::sleep_until(due);
  }

  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - origin).count();
  const double cpu = CpuSeconds() - cpuAtStart;
  if (trace.file && frame > 0) {
    char summary[200];
    std::snprintf(summary, sizeof summary,
                  "end: %lld frames in %.2f s; process CPU %.2f s (%.1f %% of one core); a frame's Render %.0f us "
                  "and presentation %.0f us of wall time (%.1f %% of 20 ms)",
                  static_cast<long long>(frame), wall, cpu, 100 * cpu / wall, renderTotalUs / frame,
                  presentTotalUs / frame, (renderTotalUs + presentTotalUs) / frame / 200.0);
    TraceNote(trace, frame, summary);
  }
  if (o.save && status == 0) {
    if (resolved.settingsFile.empty()) {
      streams.err << "tavelmir: cannot tell where to keep the settings: neither XDG_CONFIG_HOME nor HOME names a "
                     "folder\n";
      status = 1;
    } else if (!SaveSettingsFile(resolved.settingsFile, look.settings, error)) {
      streams.err << "tavelmir: " << error << '\n';
      status = 1;
    } else {
      streams.out << "saved " << resolved.settingsFile << '\n';
    }
  }
  ClosePlayerWindow(window);
  ClosePlayerTrace(trace);
  return status;
}
