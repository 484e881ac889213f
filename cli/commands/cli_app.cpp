// Argument parsing for `tavelmir` and dispatch to the sub-commands.
#include "cli_app.h"

#include <CLI/CLI.hpp>

#include "data/settings_keys.h"

#include "failure_box.h"
#include "help_formatter.h"
#include "look_options.h"
#include "palettes_command.h"
#include "picture_look.h"
#include "player_keys.h"
#include "player_options.h"
#include "render_command.h"
#include "settings_commands.h"
#include "version_text.h"

#ifndef TAVELMIR_DEFAULT_PLUGIN_DIR
#define TAVELMIR_DEFAULT_PLUGIN_DIR "plugin"
#endif

std::string DefaultPluginDir() { return TAVELMIR_DEFAULT_PLUGIN_DIR; }

namespace {

const char kRenderFooter[] =
    "AUDIO is anything FFmpeg or libsndfile decodes (WAV, FLAC, MP3, Ogg, Opus, AAC/M4A, WMA, the sound of a "
    "video), or - for standard input. Frame n (50 per second) is fed the 576 samples of each channel from sample "
    "floor(n * rate / 50).\n"
    "\n"
    "OUT is .mp4, .mkv or .mov (H.264 and AAC; .mov also ProRes), .webm (VP9 and Opus), .gif (each frame's own "
    "colours, 25 frames a second), .png (one still, at --start), a folder for PNG frames (frame_000000.png, ...; "
    "new or empty), or - for Matroska on standard output. The output is written under a temporary name beside it "
    "and gets its name only when complete; an interrupted or failed render leaves nothing. Videos carry the song's "
    "title, artist and album. Videos are BT.709, limited range, yuv420p; the picture is enlarged before its colour "
    "is subsampled. Sharp scaling makes every screen pixel equally large at any size; GIFs are enlarged by nearest "
    "neighbours.\n"
    "\n"
    "The look: the settings of `tavelmir config` (your settings file), then each --set; a fade setting that "
    "differs from the data set's fade table is computed in memory. Unless the settings say otherwise, videos move "
    "on to the next palette about every 10 seconds.\n"
    "\n"
    "--start runs the effect silently from the start of the song, so the picture at any time is that of the "
    "whole song.\n"
    "\n"
    "--waveform FILE: 1152-byte blocks (channel 0's 576 signed 8-bit samples, then channel 1's), one per frame. "
    "--dump FILE: per frame the 64000 palette indices drawn into the off-screen surface (320 per row), then the "
    "768 red, green, blue bytes of the display palette; no header; the plug-in's own look.";

// The keys come from the one table of settings, with their ranges, defaults and help.
std::string ConfigFooter() {
  return "The settings (keys case-insensitive), in the words of the settings dialog:\n" +
         SettingsHelpText(NewUserSettings()) +
         "Without --plugin-dir the settings live in $XDG_CONFIG_HOME/tavelmir/plugin.ini "
         "(~/.config/tavelmir/plugin.ini); `tavelmir render`, `play` and `live` use them, and the defaults above are "
         "theirs. With --plugin-dir, the folder's plugin.ini, whose missing keys take the plug-in's defaults. Values "
         "that would change the file's layout are refused.";
}

// A --set that cannot apply is a usage error, found before anything is opened.
const CLI::Validator kSettingAssignment(
    [](std::string& assignment) {
      EffectSettings settings{};
      std::string error;
      return ApplySettingAssignment(assignment, settings, error) ? std::string() : error;
    },
    "KEY=VALUE", "");

// ffmpeg's one-dash spellings of the part of a song; one-dash long names are not options here otherwise.
void SpellLikeFfmpeg(std::vector<std::string>& words) {
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (words[i] == "-ss") words[i] = "--start";
    if (words[i] == "-to") words[i] = "--to";
  }
}

bool IsCommand(const CLI::App& app, const std::string& name) {
  return !app.get_subcommands([&](const CLI::App* c) { return c->check_name(name); }).empty();
}

// `tavelmir help COMMAND` is `tavelmir COMMAND --help`, `tavelmir help` the program's own help; a name that is no
// command is left to the help command, which says so.
void AnswerHelpCommand(const CLI::App& app, std::vector<std::string>& words) {
  if (words.size() < 2 || words[1] != "help") return;
  if (words.size() == 2)
    words = {words[0], "--help"};
  else if (words.size() == 3 && !words[2].empty() && words[2][0] != '-' && IsCommand(app, words[2]))
    words = {words[0], words[2], "--help"};
}

// An argument render did not expect that looks like where the picture should go: the output without its -o.
std::string OutputHint(const CLI::App& render) {
  for (const std::string& word : render.remaining())
    if (!word.empty() && word[0] != '-') return "; did you mean -o " + word + "?";
  return {};
}

}  // namespace

int RunTavelmir(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool terminal) {
  CLI::App app{"Ombrelo Tunnel, the music visualization, on Linux: videos of songs, a window that follows the "
               "music, and the plug-in's settings and data files. Every frame is drawn by the same engine and data "
               "set the plug-in uses.",
               "tavelmir"};
  // Sub-commands take the formatter their parent has when they are made.
  app.formatter(std::make_shared<PeopleHelpFormatter>());
  app.set_version_flag("--version", VersionText, "Show the version, the data set and the libraries in use")
      ->group("Options");
  app.set_help_flag("-h,--help", "Show this help");
  app.require_subcommand(1);
  app.footer("`tavelmir help COMMAND` (or `tavelmir COMMAND --help`) shows a command's options; `man tavelmir` "
             "all of them.");

  const char* const kInOut = "Input and output";
  const char* const kPart = "Part of the song";
  const char* const kPicture = "Picture";
  const char* const kVideo = "Video encoding";
  const char* const kLook = "Look";
  const char* const kWindow = "Window";

  RenderOptions render;
  CLI::App* renderCommand =
      app.add_subcommand("render", "Render a song (or raw waveform blocks) into a video, a GIF or PNG frames");
  renderCommand->footer(kRenderFooter);
  auto* audio = renderCommand->add_option("AUDIO", render.audioPath, "Audio file to render, or - for standard input")
                    ->option_text("AUDIO")
                    ->group(kInOut);
  auto* output = renderCommand
                     ->add_option("-o,--output", render.outputPath,
                                  "Where the picture goes: a .mp4, .mkv, .mov or .webm video, a .gif, a .png still, "
                                  "a folder for PNG frames (ending in /), or - for a video on standard output")
                     ->option_text("OUT")
                     ->group(kInOut);
  auto* replace =
      renderCommand->add_flag("-y", render.replace, "Replace an existing output")->group(kInOut);
  auto* keep = renderCommand->add_flag("-n", render.keep, "Keep an existing output and stop quietly")->group(kInOut);
  replace->excludes(keep);
  auto* waveform = renderCommand->add_option("--waveform", render.waveformPath,
                                             "Raw waveform blocks to render instead of AUDIO (see below)")
                       ->option_text("FILE")
                       ->group(kInOut);
  audio->excludes(waveform);
  auto* dump = renderCommand->add_option("--dump", render.dumpPath,
                                         "Write raw frames (palette indices and palette) instead of -o (see below)")
                   ->option_text("FILE")
                   ->group(kInOut);
  output->excludes(dump);

  renderCommand
      ->add_option("--start", render.start,
                   "Start at this time in the song: seconds (65.5) or [hh:]mm:ss[.ms] (1:05.5); also -ss")
      ->option_text("TIME")
      ->group(kPart);
  auto* duration = renderCommand->add_option("-t,--duration", render.duration, "Render this long (seconds or mm:ss)")
                       ->option_text("TIME")
                       ->group(kPart);
  renderCommand
      ->add_option("--to", render.end, "End at this time in the song (seconds or mm:ss), as ffmpeg's -to; also -to")
      ->option_text("TIME")
      ->group(kPart)
      ->excludes(duration);
  renderCommand->add_option("--frames", render.maxFrames, "Stop after N frames (50 a second)")
      ->option_text("N")
      ->group(kPart)
      ->check(CLI::Range(std::int64_t{1}, std::int64_t{1000000000}).description(""));
  renderCommand
      ->add_option("--offset-ms", render.offsetMs,
                   "Show the picture MS milliseconds later than the sound (negative: earlier), -5000 to 5000")
      ->option_text("MS")
      ->group(kPart);

  renderCommand->add_option("--size", render.size, "Frame size, e.g. 1920x1080 (default 960x720; GIF 320x200)")
      ->option_text("WxH")
      ->group(kPicture);
  renderCommand
      ->add_option("--fit", render.fit,
                   "contain: the whole picture, black around it (default); cover: the picture fills the frame")
      ->option_text("contain|cover")
      ->group(kPicture)
      ->check(CLI::IsMember({"contain", "cover"}).description(""));
  renderCommand
      ->add_option("--aspect", render.aspect,
                   "Shape of the picture: 4:3 as a 320 x 200 screen showed it (default), or 16:10 (square pixels)")
      ->option_text("4:3|16:10")
      ->group(kPicture)
      ->check(CLI::IsMember({"4:3", "16:10"}).description(""));
  renderCommand->add_option("--scale", render.scale, "Instead of --size: 320 x 200 enlarged K times, K from 1 to 16")
      ->option_text("K")
      ->group(kPicture)
      ->check(CLI::Range(1, 16).description(""));
  renderCommand->add_flag("--aspect43", render.aspect43, "With --scale: stretch the height by 1.2 (320 x 240 at 1)")
      ->group(kPicture);

  renderCommand
      ->add_option("--scaling", render.scaling,
                   "Enlargement of the classic picture: sharp (whole pixels, then a bilinear step to the exact size; "
                   "default), nearest, smooth")
      ->option_text("sharp|nearest|smooth")
      ->group(kPicture)
      ->check(CLI::IsMember({"sharp", "nearest", "smooth"}).description(""));
  renderCommand
      ->add_option("--quality", render.quality,
                   "H.264 quality: draft (smallest), good (default) or best; --crf, --preset, --tune override it")
      ->option_text("draft|good|best")
      ->group(kVideo)
      ->check(CLI::IsMember({"draft", "good", "best"}).description(""));
  renderCommand->add_option("--crf", render.crf, "Quality: lower is better and larger; VP9 default 40")
      ->option_text("N")
      ->group(kVideo)
      ->check(CLI::Range(0, 63).description(""));
  renderCommand
      ->add_option("--preset", render.preset,
                   "H.264 speed against size: ultrafast, superfast, veryfast, faster, fast, medium, slow, slower or "
                   "veryslow")
      ->option_text("NAME")
      ->group(kVideo)
      ->check(CLI::IsMember({"ultrafast", "superfast", "veryfast", "faster", "fast", "medium", "slow", "slower",
                             "veryslow"})
                  .description(""));
  renderCommand
      ->add_option("--tune", render.tune,
                   "H.264 tuning: none, animation, film, grain, stillimage, ssim, psnr, fastdecode, zerolatency")
      ->option_text("NAME")
      ->group(kVideo)
      ->check(CLI::IsMember({"none", "animation", "film", "grain", "stillimage", "ssim", "psnr", "fastdecode",
                             "zerolatency"})
                  .description(""));
  renderCommand->add_option("--video-codec", render.videoCodec, "h264, or prores for .mov (editing software)")
      ->option_text("h264|prores")
      ->group(kVideo)
      ->check(CLI::IsMember({"h264", "prores"}).description(""));
  renderCommand
      ->add_option("--audio-codec", render.audioCodec,
                   "Sound of a video: aac (default), opus (default for .webm), flac, or copy the input's as it is")
      ->option_text("aac|opus|flac|copy")
      ->group(kVideo)
      ->check(CLI::IsMember({"aac", "opus", "flac", "copy"}).description(""));
  renderCommand->add_option("--audio-bitrate", render.audioBitrate, "For aac and opus, e.g. 256k (default 192k, opus 160k)")
      ->option_text("RATE")
      ->group(kVideo);
  renderCommand->add_option("--fps", render.gifFps, "Frames per second of a GIF: 25 (default), or 50, 10, 5, 2, 1")
      ->option_text("N")
      ->group(kPicture);

  const auto addLookOptions = [&](CLI::App* command, LookOptions& look, const char* setWhat) {
    command->add_option("--set", look.assignments,
                        std::string("A setting ") + setWhat + ", keys as in `tavelmir config` (repeatable)")
        ->option_text("KEY=VALUE")
        ->group(kLook)
        ->check(kSettingAssignment);
    command->add_option("--palette", look.palette, "Start on this palette (`tavelmir palettes` lists them)")
        ->option_text("NAME")
        ->group(kLook);
    command->add_option("--palettes", look.palettesDir, "Use the *.pal palettes of this folder instead")
        ->option_text("DIR")
        ->group(kLook);
    command
        ->add_option("--plugin-dir", look.pluginDir,
                     "Plug-in folder holding TavelDat/ and plugin.ini (default: the installed data set and your "
                     "settings)")
        ->option_text("DIR")
        ->group(kLook);
  };
  addLookOptions(renderCommand, render.look, "for this render only");
  renderCommand
      ->add_option("--look", render.picture,
                   "The picture: hd (drawn at the output's size; default), hd-soft (blended between texels), "
                   "hd-nearest, or classic (the 320 x 200 frame enlarged; the default of GIFs, --dump and "
                   "--scaling); with --dump hd looks write W x H x 3 RGB bytes")
      ->option_text("hd|hd-soft|hd-nearest|classic")
      ->group(kPicture)
      ->check(CLI::IsMember(kPictureLookNames).description(""));

  PlayerOptions play;
  CLI::App* playCommand = app.add_subcommand("play", "Play audio files with the effect in a window");
  playCommand
      ->add_option("AUDIO", play.audioPaths,
                   "Audio files, played in turn; without any, the window waits for files dropped on it or chosen "
                   "with O")
      ->option_text("AUDIO...")
      ->group(kInOut);
  PlayerOptions live;
  CLI::App* liveCommand =
      app.add_subcommand("live", "Show the effect for the sound the desktop is playing (PulseAudio or PipeWire)");
  liveCommand
      ->add_option("--source", live.source,
                   "Sound server source to show (default: the monitor of the default output)")
      ->option_text("NAME")
      ->group(kInOut);
  liveCommand->add_flag("--list-sources", live.listSources, "List the sources and exit")->group(kInOut);
  playCommand
      ->add_option("--offset-ms", play.offsetMs,
                   "Show the picture MS milliseconds later than the sound (negative: earlier), -5000 to 5000")
      ->option_text("MS")
      ->group(kInOut);
  for (auto [command, options] : {std::pair{playCommand, &play}, std::pair{liveCommand, &live}}) {
    command->footer(PlayerKeysHelp(command == playCommand));
    addLookOptions(command, options->look, "for this session");
    command->add_flag("--save", options->save,
                      "Save the settings in force at the end (keys and --set) into the settings file")
        ->group(kLook);
    command->add_flag("--fullscreen", options->fullscreen, "Start in full screen")->group(kWindow);
    command
        ->add_option("--look", options->picture,
                     "The picture: hd (drawn at the window's size; default), hd-soft, hd-nearest, or classic (the "
                     "320 x 200 frame enlarged; the default with --smooth)")
        ->option_text("hd|hd-soft|hd-nearest|classic")
        ->group(kWindow)
        ->check(CLI::IsMember(kPictureLookNames).description(""));
    command->add_option("--monitor", options->monitor, "Open on monitor N (0 = the first)")
        ->option_text("N")
        ->group(kWindow)
        ->check(CLI::NonNegativeNumber.description(""));
    command->add_flag("--smooth", options->smooth, "Classic look: scale the picture smoothly instead of by whole pixels")
        ->group(kWindow);
    command
        ->add_option("--trace", options->tracePath,
                     "Write per frame when it was shown and which samples it showed (for checking sync)")
        ->option_text("FILE")
        ->group(kWindow);
    command->add_flag("-y", options->replace, "Replace an existing --trace file")->group(kWindow);
    command->add_option("--keys", options->scriptedKeys, "FRAME:KEY ... keys to press at those frames")->group("");
  }

  LookOptions paletteLook;
  CLI::App* palettesCommand =
      app.add_subcommand("palettes", "List the palettes by name, with their colours on a colour terminal");
  palettesCommand->add_option("--palettes", paletteLook.palettesDir, "List the *.pal palettes of this folder")
      ->option_text("DIR")
      ->group(kInOut);
  palettesCommand
      ->add_option("--plugin-dir", paletteLook.pluginDir,
                   "Plug-in folder whose TavelDat/ palettes to list (default: the installed data set)")
      ->option_text("DIR")
      ->group(kInOut);

  std::string fadeDir;
  CLI::App* fadeCommand =
      app.add_subcommand("fade", "Compute TavelDat/fade.dat of a plug-in folder from its refrence.pal and plugin.ini");
  fadeCommand->add_option("--plugin-dir", fadeDir, "Plug-in folder holding plugin.ini and TavelDat/")
      ->option_text("DIR")
      ->group(kInOut)
      ->required();

  std::string configDir;
  std::vector<std::string> assignments;
  CLI::App* configCommand =
      app.add_subcommand("config", "Show the settings and derived parameters; KEY=VALUE changes and saves them");
  configCommand->footer(ConfigFooter());
  configCommand->add_option("KEY=VALUE", assignments, "Settings to change (keys in any case; see below)")
      ->option_text("KEY=VALUE...")
      ->group(kInOut);
  configCommand
      ->add_option("--plugin-dir", configDir, "Plug-in folder whose plugin.ini to edit (default: your settings file)")
      ->option_text("DIR")
      ->group(kInOut);

  // Listed among the commands; `tavelmir help COMMAND` is answered before parsing.
  std::string helpTopic;
  app.add_subcommand("help", "Show the help of a command")
      ->add_option("COMMAND", helpTopic, "The command whose help to show")
      ->option_text("COMMAND")
      ->group("Arguments");

  std::vector<std::string> words(argv, argv + argc);
  SpellLikeFfmpeg(words);
  AnswerHelpCommand(app, words);
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
    std::string hint;
    if (renderCommand->parsed() && dynamic_cast<const CLI::ExtrasError*>(&e)) hint = OutputHint(*renderCommand);
    err << "tavelmir: " << e.what() << hint << "\n(see `tavelmir" << command << " --help`)\n";
    return 2;
  }

  CommandStreams streams{out, err, terminal};
  // Raw frames are the plug-in's own; the palette cycling of the video look is for pictures people watch.
  render.look.videoLook = render.dumpPath.empty();
  if (renderCommand->parsed()) return RunRender(render, streams);
  // Started from the desktop's menu, nobody reads standard error: a failure is shown in a message box as well.
  if (playCommand->parsed()) return RunWithFailureBox([&](CommandStreams& s) { return RunPlay(play, s); }, streams);
  if (liveCommand->parsed()) return RunWithFailureBox([&](CommandStreams& s) { return RunLive(live, s); }, streams);
  if (palettesCommand->parsed()) return RunPalettes(paletteLook, streams);
  if (fadeCommand->parsed()) return RunFade(fadeDir, streams);
  if (configCommand->parsed()) return RunConfig(configDir, assignments, streams);
  // `help` with a name that is no command.
  err << "tavelmir: there is no command '" << helpTopic
      << "'; the commands are render, play, live, palettes, config, fade and help\n";
  return 2;
}
