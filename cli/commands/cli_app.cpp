// Argument parsing for `tavelmir` and dispatch to the sub-commands.
#include "cli_app.h"

#include <CLI/CLI.hpp>

#include "data/settings_keys.h"

#include "picture_look.h"
#include "player_options.h"
#include "render_command.h"
#include "settings_commands.h"

#ifndef TAVELMIR_DEFAULT_PLUGIN_DIR
#define TAVELMIR_DEFAULT_PLUGIN_DIR "plugin"
#endif

std::string DefaultPluginDir() { return TAVELMIR_DEFAULT_PLUGIN_DIR; }

namespace {

const char kRenderFooter[] =
    "Examples:\n"
    "  tavelmir render song.flac -o song.mp4 --size 1920x1080\n"
    "  tavelmir render song.mp3 -o clip.mp4 --start 1:05 --duration 30 --set RadioIndex=3\n"
    "  tavelmir render song.flac -o - | ffplay -\n"
    "  tavelmir render song.mp3 -o cover.png --start 1:05 --size 1920x1080\n"
    "\n"
    "AUDIO: anything FFmpeg or libsndfile decodes (WAV, FLAC, MP3, Ogg, Opus, AAC/M4A, WMA, the sound of a video),\n"
    "or - for standard input. Frame n (50 per second) is fed the 576 samples of each channel from sample\n"
    "floor(n * rate / 50).\n"
    "OUT: .mp4, .mkv or .mov (H.264 and AAC; .mov also ProRes), .webm (VP9 and Opus), .gif (each frame's own\n"
    "colours, 25 frames a second), .png (one still, at --start), a folder for PNG frames (frame_000000.png, ...;\n"
    "new or empty), or - for Matroska on standard output. The output is written under a temporary name beside it\n"
    "and gets its name only when complete; an interrupted or failed render leaves nothing. Videos carry the\n"
    "song's title, artist and album.\n"
    "Videos are BT.709, limited range, yuv420p; the picture is enlarged before its colour is subsampled. Sharp\n"
    "scaling makes every screen pixel equally large at any size; GIFs are enlarged by nearest neighbours.\n"
    "The look: the settings of `tavelmir config` (your settings file), then each --set; a fade setting that differs\n"
    "from the data set's fade table is computed in memory. Unless the settings say otherwise, videos move on to\n"
    "the next palette about every 10 seconds.\n"
    "--start runs the effect silently from the start of the song, so the picture at any time is that of the\n"
    "whole song.\n"
    "--waveform FILE: 1152-byte blocks (channel 0's 576 signed 8-bit samples, then channel 1's), one per frame.\n"
    "--dump FILE: per frame the 64000 palette indices drawn into the off-screen surface (320 per row), then the\n"
    "768 red, green, blue bytes of the display palette; no header; the plug-in's own look.";

// The keys come from the one table of settings, with their ranges, defaults and help.
std::string ConfigFooter() {
  return "The settings (keys case-insensitive), in the words of the settings dialog:\n" + SettingsHelpText() +
         "Without --plugin-dir the settings live in $XDG_CONFIG_HOME/tavelmir/plugin.ini (~/.config/tavelmir/); they\n"
         "are what `tavelmir render` uses. Values that would change the file's layout are refused.";
}

// A --set that cannot apply is a usage error, found before anything is opened.
const CLI::Validator kSettingAssignment(
    [](std::string& assignment) {
      EffectSettings settings{};
      std::string error;
      return ApplySettingAssignment(assignment, settings, error) ? std::string() : error;
    },
    "KEY=VALUE", "");

}  // namespace

int RunTavelmir(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool terminal) {
  CLI::App app{
      "tavelmir — runs the Ombrelo Tunnel visualization plug-in from the command line.\n"
      "Every frame is drawn by the same engine and data set the plug-in uses.",
      "tavelmir"};
  app.set_version_flag("--version", std::string("tavelmir ") + TAVELMIR_VERSION);
  app.require_subcommand(1);

  RenderOptions render;
  CLI::App* renderCommand =
      app.add_subcommand("render", "Render audio (or raw waveform blocks) into a video or frames");
  renderCommand->footer(kRenderFooter);
  auto* audio = renderCommand->add_option("AUDIO", render.audioPath, "Audio file, or - for standard input");
  auto* waveform = renderCommand->add_option("--waveform", render.waveformPath, "Raw waveform blocks instead of AUDIO");
  audio->excludes(waveform);
  auto* output = renderCommand->add_option("-o,--output", render.outputPath, "Video, GIF, PNG folder or - to write");
  auto* dump = renderCommand->add_option("--dump", render.dumpPath, "Raw frames (indices + palette) to write");
  output->excludes(dump);
  renderCommand->add_option("--size", render.size,
                            "Frame size WIDTHxHEIGHT, e.g. 1920x1080 (default 960x720; GIF 640x400)");
  renderCommand->add_option("--fit", render.fit, "contain: the whole picture, black around it; cover: fill the frame")
      ->check(CLI::IsMember({"contain", "cover"}))
      ->capture_default_str();
  renderCommand
      ->add_option("--aspect", render.aspect, "Shape of the picture: 4:3 as a 320 x 200 screen showed it, or 16:10")
      ->check(CLI::IsMember({"4:3", "16:10"}))
      ->capture_default_str();
  renderCommand
      ->add_option("--scaling", render.scaling,
                   "Enlargement: sharp (whole pixels, then a bilinear step to the exact size), nearest, smooth")
      ->check(CLI::IsMember({"sharp", "nearest", "smooth"}))
      ->capture_default_str();
  renderCommand
      ->add_option("--quality", render.quality,
                   "H.264 quality: draft (smallest), good (default) or best; --crf, --preset, --tune override it")
      ->check(CLI::IsMember({"draft", "good", "best"}));
  renderCommand->add_option("--crf", render.crf, "Video quality: lower is better and larger (VP9 default 40)")
      ->check(CLI::Range(0, 63).description(""));
  renderCommand->add_option("--preset", render.preset, "H.264 speed against size: ultrafast .. veryslow")
      ->check(CLI::IsMember(
          {"ultrafast", "superfast", "veryfast", "faster", "fast", "medium", "slow", "slower", "veryslow"}));
  renderCommand
      ->add_option("--tune", render.tune,
                   "H.264 tuning: none, animation, film, grain, stillimage, ssim, psnr, fastdecode, zerolatency")
      ->check(CLI::IsMember(
          {"none", "animation", "film", "grain", "stillimage", "ssim", "psnr", "fastdecode", "zerolatency"}));
  renderCommand->add_option("--video-codec", render.videoCodec, "h264, or prores for .mov (editing software)")
      ->check(CLI::IsMember({"h264", "prores"}));
  renderCommand
      ->add_option("--audio-codec", render.audioCodec,
                   "Sound of a video: aac (default), opus (default for .webm), flac, or copy the input's as it is")
      ->check(CLI::IsMember({"aac", "opus", "flac", "copy"}));
  renderCommand->add_option("--audio-bitrate", render.audioBitrate,
                            "For aac and opus, e.g. 256k (default 192k, opus 160k)");
  renderCommand->add_option("--fps", render.gifFps, "Frames per second of a GIF: 25 (default), or 50, 10, 5, 2, 1");
  renderCommand->add_option("--start", render.start, "Start at this time: seconds or [hh:]mm:ss[.ms] (alias -ss)");
  renderCommand->add_option("-t,--duration", render.duration, "Length: seconds or [hh:]mm:ss[.ms]");
  renderCommand->add_option("--frames", render.maxFrames, "Stop after N frames")
      ->check(CLI::Range(std::int64_t{1}, std::int64_t{1000000000}).description(""));
  renderCommand
      ->add_option("--set", render.look.assignments,
                   "KEY=VALUE: a setting for this render only, keys as in `tavelmir config` (repeatable)")
      ->check(kSettingAssignment);
  renderCommand->add_option("--palettes", render.look.palettesDir, "Folder of *.pal palettes to use instead");
  renderCommand->add_option("--plugin-dir", render.look.pluginDir,
                            "Plug-in folder with TavelDat/ and plugin.ini (default: the installed data set and "
                            "your settings)");
  renderCommand->add_option("--offset-ms", render.offsetMs,
                            "Show the picture MS milliseconds later than the sound (negative: earlier), -5000..5000");
  renderCommand->add_option("--scale", render.scale, "Instead of --size: 320 x 200 enlarged by a whole factor 1..16")
      ->check(CLI::Range(1, 16).description(""));
  renderCommand->add_flag("--aspect43", render.aspect43, "With --scale: stretch the height by 1.2 (320 x 240 at 1)");
  renderCommand
      ->add_option("--look", render.picture,
                   "The picture: hd (drawn at the output's size; default), hd-soft (blended between texels), "
                   "hd-nearest, or classic (the 320 x 200 frame enlarged; the default with --dump, where hd "
                   "looks write W x H x 3 RGB bytes a frame)")
      ->check(CLI::IsMember(kPictureLookNames));
  auto* replace = renderCommand->add_flag("-y", render.replace, "Replace an existing output");
  auto* keep = renderCommand->add_flag("-n", render.keep, "Keep an existing output and stop quietly");
  replace->excludes(keep);

  PlayerOptions play;
  CLI::App* playCommand = app.add_subcommand("play", "Play audio files and show the effect in a window");
  playCommand->add_option("AUDIO", play.audioPaths, "Audio files, played in turn")->required();
  playCommand->add_option("--offset-ms", play.offsetMs,
                          "Show the picture MS milliseconds later than the sound (negative: earlier), -5000..5000");
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
    command
        ->add_option("--set", options->look.assignments,
                     "KEY=VALUE: a setting for this session, as for `tavelmir config` (repeatable)")
        ->check(kSettingAssignment);
    command->add_option("--palettes", options->look.palettesDir, "Folder of *.pal palettes to use instead");
    command->add_flag("--save", options->save,
                      "Save the settings in force at the end (keys and --set) into the settings file");
    command->add_flag("--smooth", options->smooth,
                      "Classic look: scale the picture smoothly instead of by whole pixels");
    command
        ->add_option("--look", options->picture,
                     "The picture: hd (drawn at the window's size; default), hd-soft, hd-nearest, or classic (the "
                     "320 x 200 frame enlarged; the default with --smooth)")
        ->check(CLI::IsMember(kPictureLookNames));
    command->add_flag("--fullscreen", options->fullscreen, "Start in full screen");
    command->add_option("--monitor", options->monitor, "Open on monitor N (0 = the first)")
        ->check(CLI::NonNegativeNumber);
    command->add_option("--trace", options->tracePath,
                        "Write per frame when it was shown and which samples it showed (for checking sync)");
    command->add_flag("-y", options->replace, "Replace an existing --trace file");
    command->add_option("--keys", options->scriptedKeys, "FRAME:KEY ... keys to press at those frames")->group("");
  }

  std::string fadeDir;
  CLI::App* fadeCommand =
      app.add_subcommand("fade", "Compute TavelDat/fade.dat of a plug-in folder from its refrence.pal and plugin.ini");
  fadeCommand->add_option("--plugin-dir", fadeDir, "Plug-in folder holding plugin.ini and TavelDat/")->required();

  std::string configDir;
  std::vector<std::string> assignments;
  CLI::App* configCommand =
      app.add_subcommand("config", "Show the settings and derived parameters; KEY=VALUE changes and saves them");
  configCommand->footer(ConfigFooter());
  configCommand->add_option("--plugin-dir", configDir,
                            "Plug-in folder whose plugin.ini to edit (default: your settings file)");
  configCommand->add_option("KEY=VALUE", assignments, "Settings to change (keys case-insensitive; see below)");

  // "-ss" is ffmpeg's spelling of the start time; one-dash long names are not options here otherwise.
  std::vector<std::string> words(argv, argv + argc);
  for (std::size_t i = 1; i < words.size(); ++i)
    if (words[i] == "-ss") words[i] = "--start";
  std::vector<const char*> args;
  for (const std::string& w : words) args.push_back(w.c_str());

  try {
    app.parse(static_cast<int>(args.size()), args.data());
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e, out, err);
    // Usage errors: one short line and where to read more, status 2 as for other programs.
    std::string command;
    for (const CLI::App* sub : app.get_subcommands())
      if (sub->parsed()) command = " " + sub->get_name();
    err << "tavelmir: " << e.what() << "\n(see `tavelmir" << command << " --help`)\n";
    return 2;
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
