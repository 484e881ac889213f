// Argument parsing for `tavelmir` and dispatch to the sub-commands.
#include "cli_app.h"

#include <CLI/CLI.hpp>

#include "commands.h"

#ifndef TAVELMIR_DEFAULT_PLUGIN_DIR
#define TAVELMIR_DEFAULT_PLUGIN_DIR "plugin"
#endif

std::string DefaultPluginDir() { return TAVELMIR_DEFAULT_PLUGIN_DIR; }

int RunTavelmir(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool terminal) {
  CLI::App app{
      "tavelmir — runs the Ombrelo Tunnel visualization plug-in from the command line.\n"
      "Every frame is drawn by the plug-in's own Init/Render/Quit over the headless platform.",
      "tavelmir"};
  app.set_version_flag("--version", std::string("tavelmir ") + TAVELMIR_VERSION);
  app.require_subcommand(1);

  RenderOptions render;
  CLI::App* renderCommand = app.add_subcommand("render", "Render audio (or raw waveform blocks) into frames");
  renderCommand->footer(
      "Frame n (50 per second) is fed the 576 samples of each channel starting at sample floor(n * rate / 50).\n"
      "OUT ending in .mp4, .mkv or .webm: a video with the audio; .gif: an animated GIF; a folder: one PNG per\n"
      "frame (frame_000000.png, ...).\n"
      "--waveform FILE: 1152-byte blocks (channel 0's 576 signed 8-bit samples, then channel 1's), one per frame.\n"
      "--dump FILE: per frame the 64000 palette indices drawn into the off-screen surface (320 per row), then\n"
      "the 768 red, green, blue bytes of the display palette; no header.");
  auto* audio = renderCommand->add_option("AUDIO", render.audioPath, "Audio file (WAV, FLAC, Ogg, MP3, ...)");
  auto* waveform = renderCommand->add_option("--waveform", render.waveformPath, "Raw waveform blocks instead of AUDIO");
  audio->excludes(waveform);
  auto* output = renderCommand->add_option("-o,--output", render.outputPath, "Video, GIF or PNG folder to write");
  auto* dump = renderCommand->add_option("--dump", render.dumpPath, "Raw frames (indices + palette) to write");
  output->excludes(dump);
  renderCommand->add_option("--plugin-dir", render.look.pluginDir,
                            "Plug-in folder holding TavelDat/ and plugin.ini (default: the installed data set and "
                            "your settings)");
  renderCommand->add_option("--set", render.look.assignments,
                            "KEY=VALUE: a setting for this render only, as for `tavelmir config` (repeatable)");
  renderCommand->add_option("--palettes", render.look.palettesDir, "Folder of *.pal palettes to use instead");
  renderCommand->add_option("--frames", render.maxFrames, "Stop after N frames")->check(CLI::PositiveNumber);
  renderCommand->add_option("--offset-ms", render.offsetMs,
                            "Show the picture MS milliseconds later than the sound (negative: earlier)");
  renderCommand->add_option("--scale", render.scale, "Enlarge by a whole factor (nearest neighbour)")
      ->check(CLI::Range(1, 16))
      ->capture_default_str();
  renderCommand->add_flag("--aspect43", render.aspect43,
                          "Stretch the height by 1.2 to the 4:3 shape of a 320 x 200 screen (320 x 240 at scale 1)");

  PlayerOptions play;
  CLI::App* playCommand = app.add_subcommand("play", "Play audio files and show the effect in a window");
  playCommand->add_option("AUDIO", play.audioPaths, "Audio files, played in turn")->required();
  playCommand->add_option("--offset-ms", play.offsetMs,
                          "Show the picture MS milliseconds later than the sound (negative: earlier)");
  PlayerOptions live;
  CLI::App* liveCommand =
      app.add_subcommand("live", "Show the effect for the sound the desktop is playing (PulseAudio or PipeWire)");
  liveCommand->add_option("--source", live.source,
                          "Sound server source to show (default: the monitor of the default output)");
  liveCommand->add_flag("--list-sources", live.listSources, "List the sources and exit");
  for (auto [command, options] : {std::pair{playCommand, &play}, std::pair{liveCommand, &live}}) {
    command->footer(
        "Keys: Escape or Q quits; F or Alt+Enter full screen; Left/Right previous/next palette; C palette cycling\n"
        "on/off; 0-4 wave preset (0 custom, 1 Very Soft, 2 Soft, 3 Loud, 4 Very Loud); Up/Down wave amplitude;\n"
        "H or F1 this help on screen. Changes last for the session unless --save.");
    command->add_option("--plugin-dir", options->look.pluginDir,
                        "Plug-in folder holding TavelDat/ and plugin.ini (default: the installed data set and your "
                        "settings)");
    command->add_option("--set", options->look.assignments,
                        "KEY=VALUE: a setting for this session, as for `tavelmir config` (repeatable)");
    command->add_option("--palettes", options->look.palettesDir, "Folder of *.pal palettes to use instead");
    command->add_flag("--save", options->save,
                      "Save the settings in force at the end (keys and --set) into the settings file");
    command->add_flag("--smooth", options->smooth, "Scale the picture smoothly instead of by whole pixels");
    command->add_flag("--fullscreen", options->fullscreen, "Start in full screen");
    command->add_option("--monitor", options->monitor, "Open on monitor N (0 = the first)")
        ->check(CLI::NonNegativeNumber);
    command->add_option("--trace", options->tracePath,
                        "Write per frame when it was shown and which samples it showed (for checking sync)");
    command->add_option("--keys", options->scriptedKeys, "FRAME:KEY ... keys to press at those frames")->group("");
  }

  std::string fadeDir = DefaultPluginDir();
  CLI::App* fadeCommand =
      app.add_subcommand("fade", "Compute TavelDat/fade.dat from TavelDat/refrence.pal and plugin.ini");
  fadeCommand->add_option("--plugin-dir", fadeDir, "Folder holding plugin.ini and TavelDat/")->capture_default_str();

  std::string configDir;
  std::vector<std::string> assignments;
  CLI::App* configCommand =
      app.add_subcommand("config", "Show the settings and derived parameters; KEY=VALUE changes and saves them");
  configCommand->add_option("--plugin-dir", configDir,
                            "Plug-in folder whose plugin.ini to edit (default: your settings file)");
  configCommand->add_option("KEY=VALUE", assignments,
                            "Keys as in plugin.ini (case-insensitive): RadioIndex 0..4, WaveAmplitude 0..255, "
                            "WaveShiftPower 0..8, WaveAttenuationRate 0..8, PaletteAnimationSpeed 0..255, "
                            "FadeOffset 0..255, FadeAmplitude 0..255, FadePower 0..255, UseTexture 0..1, "
                            "TextureName");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err);
  }

  CommandStreams streams{out, err, terminal};
  // Raw frames are the plug-in's own; the palette cycling of the video look is for pictures people watch.
  render.look.videoLook = render.dumpPath.empty();
  if (renderCommand->parsed()) return RunRender(render, streams);
  if (playCommand->parsed()) return RunPlay(play, streams);
  if (liveCommand->parsed()) return RunLive(live, streams);
  if (fadeCommand->parsed()) return RunFade(fadeDir, streams);
  return RunConfig(configDir, assignments, streams);
}
