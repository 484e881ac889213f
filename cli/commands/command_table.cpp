// The commands and options of `tavelmir`, in the order the help shows them.
#include "command_table.h"

#include "data/settings_keys.h"

#include "help_formatter.h"
#include "look_options.h"
#include "player_keys.h"
#include "picture_look.h"
#include "settings_commands.h"

namespace {

constexpr const char* kInOut = "Input and output";
constexpr const char* kPart = "Part of the song";
constexpr const char* kPicture = "Picture";
constexpr const char* kVideo = "Video encoding";
constexpr const char* kLook = "Look";
constexpr const char* kWindow = "Window";

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

// The input, the output and what is kept of an existing one.
void AddRenderInOut(CLI::App& app, CommandLine& line) {
  line.renderCommand =
      app.add_subcommand("render", "Render a song (or raw waveform blocks) into a video, a GIF or PNG frames");
  line.renderCommand->footer(kRenderFooter);
  auto* audio =
      line.renderCommand->add_option("AUDIO", line.render.audioPath, "Audio file to render, or - for standard input")
          ->option_text("AUDIO")
          ->group(kInOut);
  auto* output = line.renderCommand
                     ->add_option("-o,--output", line.render.outputPath,
                                  "Where the picture goes: a .mp4, .mkv, .mov or .webm video, a .gif, a .png still, "
                                  "a folder for PNG frames (ending in /), or - for a video on standard output")
                     ->option_text("OUT")
                     ->group(kInOut);
  auto* replace = line.renderCommand->add_flag("-y", line.render.replace, "Replace an existing output")->group(kInOut);
  auto* keep =
      line.renderCommand->add_flag("-n", line.render.keep, "Keep an existing output and stop quietly")->group(kInOut);
  replace->excludes(keep);
  auto* waveform = line.renderCommand
                       ->add_option("--waveform", line.render.waveformPath,
                                    "Raw waveform blocks to render instead of AUDIO (see below)")
                       ->option_text("FILE")
                       ->group(kInOut);
  audio->excludes(waveform);
  auto* dump = line.renderCommand
                   ->add_option("--dump", line.render.dumpPath,
                                "Write raw frames (palette indices and palette) instead of -o (see below)")
                   ->option_text("FILE")
                   ->group(kInOut);
  output->excludes(dump);
}

void AddRenderPart(CommandLine& line) {
  line.renderCommand
      ->add_option("--start", line.render.start,
                   "Start at this time in the song: seconds (65.5) or [hh:]mm:ss[.ms] (1:05.5); also -ss")
      ->option_text("TIME")
      ->group(kPart);
  auto* duration =
      line.renderCommand->add_option("-t,--duration", line.render.duration, "Render this long (seconds or mm:ss)")
          ->option_text("TIME")
          ->group(kPart);
  line.renderCommand
      ->add_option("--to", line.render.end,
                   "End at this time in the song (seconds or mm:ss), as ffmpeg's -to; also -to")
      ->option_text("TIME")
      ->group(kPart)
      ->excludes(duration);
  line.renderCommand->add_option("--frames", line.render.maxFrames, "Stop after N frames (50 a second)")
      ->option_text("N")
      ->group(kPart)
      ->check(CLI::Range(std::int64_t{1}, std::int64_t{1000000000}).description(""));
  line.renderCommand
      ->add_option("--offset-ms", line.render.offsetMs,
                   "Show the picture MS milliseconds later than the sound (negative: earlier), -5000 to 5000")
      ->option_text("MS")
      ->group(kPart);
}

void AddRenderPicture(CommandLine& line) {
  line.renderCommand
      ->add_option("--size", line.render.size, "Frame size, e.g. 1920x1080 (default 960x720; GIF 320x200)")
      ->option_text("WxH")
      ->group(kPicture);
  line.renderCommand
      ->add_option("--fit", line.render.fit,
                   "contain: the whole picture, black around it (default); cover: the picture fills the frame")
      ->option_text("contain|cover")
      ->group(kPicture)
      ->check(CLI::IsMember({"contain", "cover"}).description(""));
  line.renderCommand
      ->add_option("--aspect", line.render.aspect,
                   "Shape of the picture: 4:3 as a 320 x 200 screen showed it (default), or 16:10 (square pixels)")
      ->option_text("4:3|16:10")
      ->group(kPicture)
      ->check(CLI::IsMember({"4:3", "16:10"}).description(""));
  line.renderCommand
      ->add_option("--scale", line.render.scale, "Instead of --size: 320 x 200 enlarged K times, K from 1 to 16")
      ->option_text("K")
      ->group(kPicture)
      ->check(CLI::Range(1, 16).description(""));
  line.renderCommand
      ->add_flag("--aspect43", line.render.aspect43, "With --scale: stretch the height by 1.2 (320 x 240 at 1)")
      ->group(kPicture);

  line.renderCommand
      ->add_option("--scaling", line.render.scaling,
                   "Enlargement of the classic picture: sharp (whole pixels, then a bilinear step to the exact size; "
                   "default), nearest, smooth")
      ->option_text("sharp|nearest|smooth")
      ->group(kPicture)
      ->check(CLI::IsMember({"sharp", "nearest", "smooth"}).description(""));
}

void AddRenderEncoding(CommandLine& line) {
  line.renderCommand
      ->add_option("--quality", line.render.quality,
                   "Video quality (H.264, VP9, AV1): draft (fastest), good (default) or best; --crf, --preset, --tune "
                   "override it")
      ->option_text("draft|good|best")
      ->group(kVideo)
      ->check(CLI::IsMember({"draft", "good", "best"}).description(""));
  line.renderCommand
      ->add_option("--crf", line.render.crf,
                   "Quality: lower is better and larger (x264 0-51, VP9 and AV1 0-63); overrides --quality")
      ->option_text("N")
      ->group(kVideo)
      ->check(CLI::Range(0, 63).description(""));
  line.renderCommand
      ->add_option("--preset", line.render.preset,
                   "H.264 speed against size: ultrafast, superfast, veryfast, faster, fast, medium, slow, slower or "
                   "veryslow")
      ->option_text("NAME")
      ->group(kVideo)
      ->check(CLI::IsMember(
                  {"ultrafast", "superfast", "veryfast", "faster", "fast", "medium", "slow", "slower", "veryslow"})
                  .description(""));
  line.renderCommand
      ->add_option("--tune", line.render.tune,
                   "H.264 tuning: none, animation, film, grain, stillimage, ssim, psnr, fastdecode, zerolatency")
      ->option_text("NAME")
      ->group(kVideo)
      ->check(CLI::IsMember(
                  {"none", "animation", "film", "grain", "stillimage", "ssim", "psnr", "fastdecode", "zerolatency"})
                  .description(""));
  line.renderCommand
      ->add_option("--video-codec", line.render.videoCodec,
                   "h264 (default), av1 (SVT-AV1: smaller, more CPU; .mp4, .mkv, .webm), or prores for .mov (editing "
                   "software)")
      ->option_text("h264|av1|prores")
      ->group(kVideo)
      ->check(CLI::IsMember({"h264", "av1", "prores"}).description(""));
  line.renderCommand
      ->add_option("--encoder", line.render.encoder,
                   "auto (default: a hardware H.264 encoder that works here, else software), software, or nvenc, "
                   "vaapi, qsv (an error where it does not work)")
      ->option_text("auto|software|nvenc|vaapi|qsv")
      ->group(kVideo)
      ->check(CLI::IsMember({"auto", "software", "nvenc", "vaapi", "qsv"}).description(""));
  line.renderCommand
      ->add_option("--audio-codec", line.render.audioCodec,
                   "Sound of a video: aac (default), opus (default for .webm), flac, or copy the input's as it is")
      ->option_text("aac|opus|flac|copy")
      ->group(kVideo)
      ->check(CLI::IsMember({"aac", "opus", "flac", "copy"}).description(""));
  line.renderCommand
      ->add_option("--audio-bitrate", line.render.audioBitrate, "For aac and opus, e.g. 256k (default 192k, opus 160k)")
      ->option_text("RATE")
      ->group(kVideo);
  line.renderCommand
      ->add_option("--fps", line.render.fps,
                   "Frames per second: a video's 50 (default) or 25 (every other frame, a smaller file); a GIF's 25 "
                   "(default), or 50, 10, 5, 2, 1")
      ->option_text("50|25|10|5|2|1")
      ->group(kPicture);
}

void AddLookOptions(CLI::App* command, LookOptions& look, const char* setWhat) {
  command
      ->add_option("--set", look.assignments,
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
}

void AddRenderCommand(CLI::App& app, CommandLine& line) {
  AddRenderInOut(app, line);
  AddRenderPart(line);
  AddRenderPicture(line);
  AddRenderEncoding(line);
  AddLookOptions(line.renderCommand, line.render.look, "for this render only");
  line.renderCommand
      ->add_option("--look", line.render.picture,
                   "The picture: hd (drawn at the output's size; default), hd-soft (blended between texels), "
                   "hd-nearest, or classic (the 320 x 200 frame enlarged; the default of GIFs, --dump and "
                   "--scaling); with --dump hd looks write W x H x 3 RGB bytes")
      ->option_text("hd|hd-soft|hd-nearest|classic")
      ->group(kPicture)
      ->check(CLI::IsMember(kPictureLookNames).description(""));
}

void AddPlayerCommands(CLI::App& app, CommandLine& line) {
  line.playCommand = app.add_subcommand("play", "Play audio files with the effect in a window");
  line.playCommand
      ->add_option("AUDIO", line.play.audioPaths,
                   "Audio files, played in turn; without any, the window waits for files dropped on it or chosen "
                   "with O")
      ->option_text("AUDIO...")
      ->group(kInOut);
  line.liveCommand =
      app.add_subcommand("live", "Show the effect for the sound the desktop is playing (PulseAudio or PipeWire)");
  line.liveCommand
      ->add_option("--source", line.live.source,
                   "Sound server source to show (default: the monitor of the default output)")
      ->option_text("NAME")
      ->group(kInOut);
  line.liveCommand->add_flag("--list-sources", line.live.listSources, "List the sources and exit")->group(kInOut);
  line.playCommand
      ->add_option("--offset-ms", line.play.offsetMs,
                   "Show the picture MS milliseconds later than the sound (negative: earlier), -5000 to 5000")
      ->option_text("MS")
      ->group(kInOut);
  for (auto [command, options] : {std::pair{line.playCommand, &line.play}, std::pair{line.liveCommand, &line.live}}) {
    command->footer(PlayerKeysHelp(command == line.playCommand));
    AddLookOptions(command, options->look, "for this session");
    command
        ->add_flag("--save", options->save,
                   "Save the settings in force at the end (keys and --set) into the settings file")
        ->group(kLook);
    command->add_flag("--fullscreen", options->fullscreen, "Start in full screen")->group(kWindow);
    command
        ->add_option("--look", options->picture,
                     "The picture: hd (drawn at the window's size; default), hd-soft, hd-nearest, or classic (the "
                     "320 x 200 frame enlarged; the default with --scaling smooth)")
        ->option_text("hd|hd-soft|hd-nearest|classic")
        ->group(kWindow)
        ->check(CLI::IsMember(kPictureLookNames).description(""));
    command->add_option("--monitor", options->monitor, "Open on monitor N (0 = the first)")
        ->option_text("N")
        ->group(kWindow)
        ->check(CLI::NonNegativeNumber.description(""));
    command
        ->add_option("--scaling", options->scaling,
                     "Enlargement of the classic picture: sharp (whole pixels; default) or smooth (bilinear, to the "
                     "largest 4:3 picture that fits; implies --look classic)")
        ->option_text("sharp|smooth")
        ->group(kWindow)
        ->check(CLI::IsMember({"sharp", "smooth"}).description(""));
    // The spelling of earlier versions, kept for scripts and menu entries that use it.
    command
        ->add_flag_callback(
            "--smooth", [player = options] { player->scaling = "smooth"; }, "Same as --scaling smooth")
        ->group("");
    command
        ->add_option("--trace", options->tracePath,
                     "Write per frame when it was shown and which samples it showed (for checking sync)")
        ->option_text("FILE")
        ->group(kWindow);
    command->add_flag("-y", options->replace, "Replace an existing --trace file")->group(kWindow);
    command->add_option("--keys", options->scriptedKeys, "FRAME:KEY ... keys to press at those frames")->group("");
  }
}

void AddDataCommands(CLI::App& app, CommandLine& line) {
  line.palettesCommand =
      app.add_subcommand("palettes", "List the palettes by name, with their colours on a colour terminal");
  line.palettesCommand->add_option("--palettes", line.paletteLook.palettesDir, "List the *.pal palettes of this folder")
      ->option_text("DIR")
      ->group(kInOut);
  line.palettesCommand
      ->add_option("--plugin-dir", line.paletteLook.pluginDir,
                   "Plug-in folder whose TavelDat/ palettes to list (default: the installed data set)")
      ->option_text("DIR")
      ->group(kInOut);

  line.fadeCommand =
      app.add_subcommand("fade", "Compute TavelDat/fade.dat of a plug-in folder from its refrence.pal and plugin.ini");
  line.fadeCommand->add_option("--plugin-dir", line.fadeDir, "Plug-in folder holding plugin.ini and TavelDat/")
      ->option_text("DIR")
      ->group(kInOut)
      ->required();

  line.configCommand =
      app.add_subcommand("config", "Show the settings and derived parameters; KEY=VALUE changes and saves them");
  line.configCommand->footer(ConfigFooter());
  // CLI11 2.4 (Debian 13) takes no "=" in a positional's name; the usage line shows the option text.
  line.configCommand
      ->add_option("SETTINGS", line.assignments, "KEY=VALUE settings to change (keys in any case; see below)")
      ->option_text("KEY=VALUE...")
      ->group(kInOut);
  line.configCommand
      ->add_option("--plugin-dir", line.configDir,
                   "Plug-in folder whose plugin.ini to edit (default: your settings file)")
      ->option_text("DIR")
      ->group(kInOut);

  // Listed among the commands; `tavelmir help COMMAND` is answered before parsing.
  app.add_subcommand("help", "Show the help of a command")
      ->add_option("COMMAND", line.helpTopic, "The command whose help to show")
      ->option_text("COMMAND")
      ->group("Arguments");
}

}  // namespace

void BuildCommandTable(CLI::App& app, CommandLine& line) {
  AddRenderCommand(app, line);
  AddPlayerCommands(app, line);
  AddDataCommands(app, line);
  for (CLI::App* command : {line.renderCommand, line.playCommand, line.liveCommand})
    command->add_flag("--verbose", line.verbose, "Show FFmpeg's and the decoders' own messages")->group(kInOut);
}
