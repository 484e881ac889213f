// The command line: help, refused combinations, and the clear errors of every sub-command.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <climits>
#include <functional>
#include <tuple>

#include "cli_test_support.h"
#include "player_keys.h"

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A help page read as text: rows wrapped to the width are joined again.
std::string AsText(const std::string& page) {
  std::string text;
  for (const char c : page)
    if (!(c == ' ' || c == '\n') || (!text.empty() && text.back() != ' ')) text += c == '\n' ? ' ' : c;
  return text;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin = folder.path / "plugin";
    CopyDefaultPluginFolder(plugin);
    WriteBytes(folder.path / "blocks.raw", MakeWaveformBlocks(3));
    WriteAudio(folder.path / "tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, std::vector<double>(400, 1000.0));
  }
  std::string P(const char* name) const { return (folder.path / name).string(); }
  TempFolder folder;
  fs::path plugin;
};

// Every page has a usage line, plain value names, examples; `help COMMAND` gives the same page.
TEST_F(CliTest, HelpOfEachSubCommandIsWrittenForPeople) {
  for (const char* command : {"render", "play", "live", "palettes", "fade", "config"}) {
    SCOPED_TRACE(command);
    CliRun run = RunCli({command, "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(Contains(run.out, "--plugin-dir")) << run.out;
    EXPECT_EQ(run.out.rfind(std::string("Usage: tavelmir ") + command, 0), 0u) << run.out;
    EXPECT_TRUE(Contains(run.out, std::string("Examples:\n  tavelmir ") + command)) << run.out;
    // The argument parser's own words stay out: type names, its constraint notes.
    for (const char* raw : {" TEXT", " INT", "Excludes", "Needs:", "REQUIRED", " VALUE"})
      EXPECT_FALSE(Contains(run.out, raw)) << raw << " in\n" << run.out;
    EXPECT_EQ(RunCli({"help", command}).out, run.out);
  }
  const std::string render = RunCli({"render", "--help"}).out;
  for (const char* named : {"--start TIME", "--to TIME", "--size WxH", "-o, --output OUT", "--palette NAME"})
    EXPECT_TRUE(Contains(render, named)) << named;
  CliRun top = RunCli({"help"});
  EXPECT_EQ(top.status, 0);
  EXPECT_TRUE(Contains(top.out, "Commands:\n  render")) << top.out;
  EXPECT_EQ(RunCli({"help", "help"}).out.rfind("Usage: tavelmir help", 0), 0u);
  CliRun unknown = RunCli({"help", "paint"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(Contains(unknown.err, "no command 'paint'")) << unknown.err;
  // The wave presets name the music's loudness: Very Soft is for quiet music and answers most strongly.
  const std::string config = AsText(RunCli({"config", "--help"}).out);
  EXPECT_TRUE(Contains(config, "1 Very Soft (quiet music: strongest response)")) << config;
  EXPECT_FALSE(Contains(config, "softer presets for loud")) << config;
  // The defaults shown are a new user's: the palettes of the video look cycle, as `tavelmir config` shows.
  EXPECT_TRUE(Contains(config, "PaletteAnimationSpeed 0..255 (default 3; the plug-in's 0)")) << config;
  EXPECT_TRUE(Contains(config, "RadioIndex 0..4 (default 2)")) << config;

  // --version: the program, the data set it found, and the libraries as loaded.
  const CliRun version = RunCli({"--version"});
  EXPECT_EQ(version.status, 0);
  for (const char* line : {"tavelmir " TAVELMIR_VERSION "\ndata set: ", "\nFFmpeg: libavformat ", ", libavcodec ",
                           "\nlibsndfile: libsndfile-", "\nSDL: 2.", "\nlibpulse: "})
    EXPECT_TRUE(Contains(version.out, line)) << line << " in\n" << version.out;
}

// Every key of the player, from the one table ActionForKey reads: `help play` with the transport, `help live`
// without it, the help on screen in lines that fit a 640-pixel window.
TEST_F(CliTest, PlayerHelpListsEveryKeyTheTableBinds) {
  const std::string play = AsText(RunCli({"help", "play"}).out), live = AsText(RunCli({"help", "live"}).out);
  for (const char* keys : {"Esc/Q quit", "F/Alt+Enter full screen", "D the hd picture", "Left/Right the previous",
                           "C palette cycling", "0-4 the wave preset", "Up/Down the wave's", "H/F1 this help"}) {
    EXPECT_TRUE(Contains(play, keys)) << keys << " in\n" << play;
    EXPECT_TRUE(Contains(live, keys)) << keys << " in\n" << live;
  }
  for (const char* keys : {"Space pause", "N/Page Down the next song", "P/Page Up the song before",
                           "Shift+Left/Right 10 s back", "Home the start of the song"}) {
    EXPECT_TRUE(Contains(play, keys)) << keys << " in\n" << play;
    EXPECT_FALSE(Contains(live, keys)) << keys << " in\n" << live;
  }
  std::size_t count = 0;
  const PlayerKey* keys = PlayerKeys(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (!keys[i].names) continue;
    EXPECT_TRUE(Contains(kPlayHelpLines, keys[i].names)) << keys[i].names;
  }
  EXPECT_FALSE(Contains(kLiveHelpLines, "Space"));
  for (const char* lines : {kLiveHelpLines, kPlayHelpLines}) {
    std::size_t start = 0;
    for (std::size_t end; (end = std::string(lines).find('\n', start)) != std::string::npos; start = end + 1)
      EXPECT_LE(end - start, kHelpLineLength) << lines;
    EXPECT_LE(std::string(lines).size() - start, kHelpLineLength) << lines;
  }
  // The modifiers tell apart what one key does.
  struct Press {
    SDL_Keycode key;
    std::uint16_t mod;
    PlayerAction action;
    int preset;
  };
  for (const Press& p :
       {Press{SDLK_RIGHT, KMOD_NONE, PlayerAction::NextPalette, 0},
        Press{SDLK_RIGHT, KMOD_LSHIFT, PlayerAction::SeekForward, 0},
        Press{SDLK_LEFT, KMOD_RSHIFT, PlayerAction::SeekBackward, 0},
        Press{SDLK_RETURN, KMOD_LALT, PlayerAction::ToggleFullscreen, 0},
        Press{SDLK_RETURN, KMOD_NONE, PlayerAction::None, 0},
        Press{SDLK_PAGEUP, KMOD_NONE, PlayerAction::PreviousSong, 0},
        Press{SDLK_KP_3, KMOD_NUM, PlayerAction::WavePreset, 3}, Press{SDLK_0, KMOD_NONE, PlayerAction::WavePreset, 0},
        Press{SDLK_x, KMOD_NONE, PlayerAction::None, 0}}) {
    const KeyAction a = ActionForKey(p.key, p.mod);
    EXPECT_EQ(a.action, p.action) << p.key << " with " << p.mod;
    EXPECT_EQ(a.preset, p.preset) << p.key;
  }
  // A settings file may hold any 32-bit amplitude: a press moves it into range and never overflows.
  for (const auto& [held, action, expected] :
       {std::tuple{INT32_MAX, PlayerAction::AmplitudeUp, 255}, std::tuple{INT32_MIN, PlayerAction::AmplitudeDown, 0},
        std::tuple{INT32_MIN, PlayerAction::AmplitudeUp, 0}, std::tuple{250, PlayerAction::AmplitudeUp, 255}}) {
    LiveLook look;
    look.settings.RadioIndex = 0;
    look.settings.WaveAmplitude = held;
    int paletteStep = 0;
    ApplyLookAction({action, 0}, look, paletteStep);
    EXPECT_EQ(look.settings.WaveAmplitude, expected) << held;
  }
}

// What was most likely meant: the output without its -o, the nearest option or command to a slip of the keyboard.
TEST_F(CliTest, AMistakeIsAnsweredWithWhatWasMeant) {
  const std::string tone = P("tone.wav");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"render", tone, P("x.mp4")}, "did you mean -o " + P("x.mp4") + "?"},
      {{"render", tone, "--sze", "640x480", "-o", P("x.mp4")}, "unknown option '--sze'; did you mean --size?"},
      {{"render", tone, "-o", P("x.mp4"), "--audio-bitrat=96k"}, "did you mean --audio-bitrate?"},
      {{"render", tone, "-o", P("x.mp4"), "--qualty", "best"}, "did you mean --quality?"},
      {{"render", tone, "-o", P("x.mp4"), "--colour", "red"}, "unknown option '--colour'\n"},
      {{"play", tone, "--fulscreen"}, "did you mean --fullscreen?"},
      {{"rendr", tone}, "there is no command 'rendr'; did you mean render?"},
      {{"confgi"}, "did you mean config?"},
      {{"paint"}, "there is no command 'paint'\n"},
      {{"--vebose"}, "unknown option '--vebose' before any command"},
      {{"render", tone, "-o", P("x.mp4"), "--start="}, "--start needs a value"},
      {{"render", tone, "-o", P("x.mp4"), "--start", ""}, "--start was given an empty value"},
      {{"config", "RadioIndex=9"}, "(see `tavelmir config --help`)"},
  };
  for (const auto& [args, hint] : cases) {
    SCOPED_TRACE(args[0] + " " + (args.size() > 1 ? args[1] : ""));
    CliRun run = RunCli(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(Contains(run.err, hint)) << run.err;
    EXPECT_FALSE(Contains(run.err, "did you mean -o " + P("640x480"))) << run.err;
  }
  EXPECT_FALSE(fs::exists(P("x.mp4")));
}

// -to/--to is a time in the song, as ffmpeg reads it: with a start of 0.02 s, -to 0.1 renders 0.08 s (4 frames).
TEST_F(CliTest, ToEndsThePartAtATimeInTheSong) {
  WriteAudio(folder.path / "long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, std::vector<double>(8000, 1000.0));
  const std::size_t frameBytes = 64000 + 768;
  for (const char* to : {"-to", "--to"}) {
    SCOPED_TRACE(to);
    CliRun run = RunCli({"render", P("long.wav"), "--dump", P("part.dump"), "-ss", "0.02", to, "0.1", "-y",
                         "--plugin-dir", plugin.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(fs::file_size(P("part.dump")), 4 * frameBytes);
  }
  CliRun before = RunCli({"render", P("long.wav"), "--dump", P("x.dump"), "-ss", "0:00.5", "-to", "0.4"});
  EXPECT_EQ(before.status, 2);
  EXPECT_TRUE(Contains(before.err, "--to 0.4 is not after the start (0:00.5)")) << before.err;
  EXPECT_EQ(RunCli({"render", P("long.wav"), "--dump", P("x.dump"), "-t", "1", "--to", "0.4"}).status, 2);
}

// The palettes are listed by name in the plug-in's order, and --palette starts the effect on one of them: with the
// animation stopped the first frame's display palette is that file's colours.
TEST_F(CliTest, PalettesAreListedAndChosenByName) {
  CliRun list = RunCli({"palettes", "--plugin-dir", plugin.string()});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_TRUE(Contains(list.out, " 1  aurora ")) << list.out;
  EXPECT_TRUE(Contains(list.out, " 2  ember ")) << list.out;
  EXPECT_FALSE(Contains(list.out, "refrence")) << list.out;
  EXPECT_FALSE(Contains(list.out, "\x1b[")) << "no colours where standard output is no terminal";

  const std::vector<std::uint8_t> ember = ReadBytes(plugin / "TavelDat" / "02-ember.pal");
  for (const char* name : {"ember", "EMBER", "02-ember", "02-ember.pal"}) {
    SCOPED_TRACE(name);
    CliRun run = RunCli({"render", "--waveform", P("blocks.raw"), "--dump", P("x.dump"), "-y", "--plugin-dir",
                         plugin.string(), "--set", "PaletteAnimationSpeed=0", "--palette", name});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::uint8_t> dump = ReadBytes(P("x.dump"));
    ASSERT_GE(dump.size(), 64000u + 768u);
    int differing = 0;
    // Entries 1..254: the plug-in keeps 0 and 255 for black and white.
    for (int i = 3; i < 765; ++i) differing += dump[64000 + i] != (ember[i] << 2);
    EXPECT_EQ(differing, 0);
  }
  CliRun unknown = RunCli({"render", "--waveform", P("blocks.raw"), "--dump", P("y.dump"), "--plugin-dir",
                           plugin.string(), "--palette", "tangerine"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(Contains(unknown.err, "no palette named 'tangerine'")) << unknown.err;
  EXPECT_TRUE(Contains(unknown.err, "aurora ember")) << unknown.err;
  EXPECT_FALSE(fs::exists(P("y.dump")));
}

TEST_F(CliTest, RefusesMissingOrConflictingArguments) {
  const std::string blocks = P("blocks.raw"), tone = P("tone.wav"), dump = P("out.dump");
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"paint"},
      {"render", "--dump", dump},
      {"render", tone},
      {"render", tone, "--waveform", blocks, "--dump", dump},
      {"render", tone, "-o", P("a.mp4"), "--dump", dump},
      {"render", tone, "--dump", dump, "--scale", "0"},
      {"render", tone, "--dump", dump, "--scale", "17"},
      {"render", tone, "--dump", dump, "--frames", "0"},
      {"render", tone, "--dump", dump, "--frames", "many"},
      {"render", "--waveform", blocks, "--dump", dump, "--offset-ms", "20"},
      {"render", tone, "-o", P("movie.avi")},
      {"render", tone, "-o", P("movie")},
      {"render", tone, "--dump", dump, "--offset-ms", "nan"},
      {"render", tone, "--dump", dump, "--offset-ms", "inf"},
      {"render", tone, "--dump", dump, "--offset-ms", "1e308"},
      {"render", tone, "--dump", dump, "--offset-ms", "0x10"},
      {"render", tone, "--dump", dump, "--start", "nan"},
      {"render", tone, "--dump", dump, "-ss", "1:2:3:4"},
      {"render", tone, "--dump", dump, "--start", "1:75"},
      {"render", tone, "--dump", dump, "--start", "-1"},
      {"render", tone, "--dump", dump, "-t", "0"},
      {"render", tone, "--dump", dump, "-t", "0.1234567"},
      {"render", tone, "--dump", dump, "--start", "99999999999999999999"},
      {"render", tone, "-o", P("a.mp4"), "--size", "0x0"},
      {"render", tone, "-o", P("a.mp4"), "--size", "1921x1080"},
      {"render", tone, "-o", P("a.mp4"), "--size", "99999x1080"},
      {"render", tone, "-o", P("a.mp4"), "--fit", "stretch"},
      {"render", tone, "-o", P("a.mp4"), "--crf", "52"},
      {"render", tone, "-o", P("a.webm"), "--preset", "fast"},
      {"render", tone, "-o", P("a.gif"), "--crf", "20"},
      {"render", tone, "-o", P("a.mp4"), "-y", "-n"},
      {"render", tone, "-o", P("a.mp4"), "--size", "640x480", "--scale", "2"},
      {"render", tone, "--dump", dump, "--set", "Volume=3"},
      {"render", tone, "--dump", dump, "--set", "RadioIndex=9"},
      {"render", tone, "-o", P("a.mp4"), "--scaling", "blurry"},
      {"render", tone, "-o", P("a.mp4"), "--quality", "best", "--video-codec", "prores"},
      {"render", tone, "-o", P("a.mp4"), "--video-codec", "prores"},
      {"render", tone, "-o", P("a.mov"), "--video-codec", "av1"},
      {"render", tone, "-o", P("a.mkv"), "--video-codec", "av1", "--crf", "0"},
      {"render", tone, "-o", P("a.mp4"), "--video-codec", "av1", "--tune", "film"},
      {"render", tone, "-o", P("a.mp4"), "--encoder", "vaapi", "--preset", "fast"},
      {"render", tone, "-o", P("a.gif"), "--encoder", "qsv"},
      {"render", tone, "-o", P("a.mp4"), "--encoder", "cuda"},
      {"render", tone, "-o", P("a.webm"), "--audio-codec", "aac"},
      {"render", tone, "-o", P("a.mov"), "--audio-codec", "opus"},
      {"render", tone, "-o", P("a.mp4"), "--audio-codec", "flac", "--audio-bitrate", "128k"},
      {"render", tone, "-o", P("a.mp4"), "--audio-bitrate", "lots"},
      {"render", "-", "-o", P("a.mp4"), "--audio-codec", "copy"},
      {"render", "--waveform", blocks, "-o", P("a.mp4"), "--audio-codec", "aac"},
      {"render", tone, "-o", P("a.gif"), "--audio-codec", "aac"},
      {"render", tone, "-o", P("a.gif"), "--fps", "7"},
      {"render", tone, "-o", P("a.gif"), "--look", "hd"},
      {"render", tone, "-o", P("a.mp4"), "--look", "hd", "--scaling", "nearest"},
      {"play", tone, "--scaling", "nearest"},
      {"play", tone, "--look", "hd", "--smooth"},
      {"play", tone, "--look", "hd-soft", "--scaling", "smooth"},
      {"render", tone, "-o", P("a.mp4"), "--fps", "30"},
      {"render", tone, "-o", P("a.png"), "--fps", "25"},
      {"render", tone, "-o", P("a.png"), "--duration", "2"},
      {"render", tone, "-o", P("a.gif"), "--fps", "0"},
      {"render", tone, "-o", P("a.gif"), "--fps", "4294967346"},
      {"render", tone, "-o", P("a.mp4"), "--audio-bitrate", "4294967488k"},
      {"render", tone, "-o", P("a.mp4"), "--audio-bitrate", "-4294967104k"},
      {"render", tone, "-o", P("a.webm"), "--audio-codec", "copy"},
      {"render", tone, "-o", P("a.mp4"), "--audio-codec", "copy"},
      {"render", tone, "-o", P("a.mp4"), "--start", ""},
      {"render", tone, "-o", P("a.mp4"), "--size="},
      {"render", "", "-o", P("a.mp4")},
      {"render", tone, "-o", ""},
      {"render", tone, "--dump", dump, "--size", "640x480"},
      {"render", tone, "--dump", dump, "--scaling", "smooth"},
      {"render", tone, "-o", P("a.mp4"), "--scale", "2", "--fit", "cover"},
      {"render", tone, "-o", "-", "-y"},
      {"play", tone, "-y"},
      {"play", tone, "--palette", "tangerine"},
      {"live", "--palette", "tangerine"},
      {"play", tone, "--trace", ""},
      {"config", ""},
      {"fade", "extra"},
      {"fade"},
  };
  for (const auto& args : cases) {
    std::string line;
    for (const std::string& a : args) line += a + " ";
    SCOPED_TRACE(line);
    CliRun run = RunCli(args);
    // Usage errors: status 2 and one short message, without digits of the arithmetic's limits.
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_FALSE(run.err.empty());
    EXPECT_LT(run.err.size(), 400u) << run.err;
    EXPECT_FALSE(Contains(run.err, "922337")) << run.err;
  }
  EXPECT_FALSE(fs::exists(P("a.mp4")));
  EXPECT_FALSE(fs::exists(dump));
}

TEST_F(CliTest, UnreadableAudioNamesTheFile) {
  WriteBytes(folder.path / "fake.mp3", {'I', 'D', '3', 0, 0});
  WriteBytes(folder.path / "empty.mp3", {});
  std::vector<std::uint8_t> noise(5000);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
  WriteBytes(folder.path / "noise.mp3", noise);
  const char* cases[][2] = {{"fake.mp3", "not an audio file"},
                            {"noise.mp3", "not an audio file"},
                            {"missing.flac", "No such file"},
                            {"empty.mp3", "it is empty"}};
  for (const auto& c : cases) {
    const std::string audio = P(c[0]);
    SCOPED_TRACE(audio);
    CliRun run = RunCli({"render", audio, "--dump", P("x.dump"), "--plugin-dir", plugin.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "cannot read audio '" + audio + "': ")) << run.err;
    EXPECT_TRUE(Contains(run.err, c[1])) << run.err;
    // The libraries' own doubts about the bytes stay off the terminal.
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  // A name's control characters are shown, not obeyed by the terminal.
  CliRun named = RunCli({"render", P("song\x1b[2J\a.wav"), "--dump", P("x.dump")});
  EXPECT_TRUE(Contains(named.err, "song\\x1b[2J\\x07.wav': No such file")) << named.err;
}

// Settings and palettes that are there but cannot be read stop the run with the file's name and the reason,
// quickly: never the defaults in silence, never a wait on a pipe or a read of a huge file.
TEST_F(CliTest, DataFilesThatCannotBeReadAreNamedWithTheReason) {
  const fs::path palettes = folder.path / "palettes";
  fs::create_directories(palettes);
  for (const auto& entry : fs::directory_iterator(plugin / "TavelDat"))
    if (entry.path().extension() == ".pal") fs::copy_file(entry.path(), palettes / entry.path().filename());
  const fs::path reference = palettes / "refrence.pal", ini = plugin / "plugin.ini";
  const bool root = ::geteuid() == 0;  // reads anything whatever its permissions
  struct Case {
    const char* name;
    std::function<void()> make;
    std::string file, reason;
    bool needsPermissions;
  } cases[] = {
      {"pipe as reference", [&] { fs::remove(reference), ::mkfifo(reference.c_str(), 0600); }, reference.string(),
       "not a regular file", false},
      {"huge reference", [&] { fs::resize_file(reference, 5ull << 30); }, reference.string(), "5368709120 bytes",
       false},
      {"pipe as settings", [&] { ::mkfifo(ini.c_str(), 0600); }, ini.string(), "not a regular file", false},
      {"huge settings", [&] { WriteFileText(ini, ""), fs::resize_file(ini, 3ull << 30); }, ini.string(),
       "3221225472 bytes", false},
      {"settings folder not a folder", [&] { setenv("XDG_CONFIG_HOME", P("tone.wav").c_str(), 1); },
       P("tone.wav") + "/tavelmir/plugin.ini", "Not a directory", false},
      {"settings folder closed", [&] { fs::permissions(plugin, fs::perms::none); }, ini.string(), "Permission denied",
       true},
      {"palette closed", [&] { fs::permissions(palettes / "01-aurora.pal", fs::perms::none); },
       (palettes / "01-aurora.pal").string(), "Permission denied", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsPermissions && root) continue;
    const bool user = Contains(c.name, "not a folder");
    c.make();
    const bool settings = Contains(c.name, "settings");
    for (const char* command : {"render", "config"}) {
      SCOPED_TRACE(command);
      if (!settings && std::string(command) == "config") continue;  // config reads no palettes
      std::vector<std::string> args = {command};
      if (!user) args.insert(args.end(), {"--plugin-dir", plugin.string()});
      if (std::string(command) == "render")
        args.insert(args.end(),
                    {"--waveform", P("blocks.raw"), "--dump", P("x.dump"), "--palettes", palettes.string()});
      CliRun run = RunCli(args);
      EXPECT_EQ(run.status, 1);
      EXPECT_TRUE(Contains(run.err, "cannot read ")) << run.err;
      EXPECT_TRUE(Contains(run.err, " '" + c.file + "': ")) << run.err;
      EXPECT_TRUE(Contains(run.err, c.reason)) << run.err;
    }
    // Back to a readable set for the next case.
    unsetenv("XDG_CONFIG_HOME");
    fs::permissions(plugin, fs::perms::owner_all);
    fs::remove(ini);
    fs::remove(reference);
    fs::copy_file(plugin / "TavelDat" / "refrence.pal", reference);
    fs::permissions(palettes / "01-aurora.pal", fs::perms::owner_read | fs::perms::owner_write);
  }
  EXPECT_FALSE(fs::exists(P("x.dump")));
}

TEST_F(CliTest, APluginFolderWithoutPalettesShowsThePluginsMessage) {
  for (const auto& entry : fs::directory_iterator(plugin / "TavelDat"))
    if (entry.path().filename() != "refrence.pal" && entry.path().extension() == ".pal") fs::remove(entry.path());
  CliRun run =
      RunCli({"render", "--waveform", P("blocks.raw"), "--dump", P("x.dump"), "--plugin-dir", plugin.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "PLUG-IN error: Error loading palette (Error #1)")) << run.err;
  EXPECT_FALSE(fs::exists(P("x.dump")));
}

TEST_F(CliTest, APluginFolderWithoutFadeTableGetsOneComputedInMemory) {
  fs::remove(plugin / "TavelDat" / "fade.dat");
  CliRun run =
      RunCli({"render", "--waveform", P("blocks.raw"), "--dump", P("x.dump"), "--plugin-dir", plugin.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(fs::exists(plugin / "TavelDat" / "fade.dat"));
}

TEST_F(CliTest, AMissingPluginFolderIsNamed) {
  const std::string missing = P("nowhere");
  for (const char* command : {"render", "fade", "config"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> args = {command, "--plugin-dir", missing};
    if (std::string(command) == "render") args.insert(args.end(), {"--waveform", P("blocks.raw"), "--dump", P("x")});
    CliRun run = RunCli(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "plug-in folder '" + missing + "' does not exist")) << run.err;
  }
}

TEST_F(CliTest, AnOverlongPluginFolderIsRefusedBeforeThePluginTruncatesIt) {
  fs::path deep = folder.path;
  while (deep.string().size() < 250) deep /= "a-rather-long-folder-name";
  fs::create_directories(deep);
  CliRun run = RunCli({"config", "--plugin-dir", deep.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "is too long")) << run.err;
}

TEST_F(CliTest, AnUnwritableOutputIsRefused) {
  const std::string outputs[] = {P("no/such/folder/x.dump"), folder.path.string()};
  for (const std::string& out : outputs) {
    SCOPED_TRACE(out);
    CliRun run = RunCli({"render", "--waveform", P("blocks.raw"), "--dump", out, "--plugin-dir", plugin.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "cannot write '" + out + "'")) << run.err;
  }
  CliRun run = RunCli({"render", P("tone.wav"), "-o", P("no/such/folder/x.mp4"), "--plugin-dir", plugin.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "cannot write")) << run.err;
}

TEST_F(CliTest, AMissingFfmpegIsNamedAndTheDumpStillWorks) {
  const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", folder.path.c_str(), 1);
  CliRun video = RunCli({"render", P("tone.wav"), "-o", P("x.mp4"), "--plugin-dir", plugin.string()});
  CliRun dump = RunCli({"render", P("tone.wav"), "--dump", P("x.dump"), "--plugin-dir", plugin.string()});
  setenv("PATH", savedPath.c_str(), 1);
  EXPECT_EQ(video.status, 1);
  EXPECT_TRUE(Contains(video.err, "ffmpeg was not found")) << video.err;
  EXPECT_EQ(dump.status, 0) << dump.err;
}

TEST_F(CliTest, FadeWithoutReferencePaletteGivesTheDialogsMessage) {
  fs::remove(plugin / "TavelDat" / "refrence.pal");
  CliRun run = RunCli({"fade", "--plugin-dir", plugin.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "Fade-Table Error: Error building the fade table")) << run.err;
}

TEST_F(CliTest, ConfigShowsDefaultsAndDerivedParameters) {
  CliRun run = RunCli({"config", "--plugin-dir", plugin.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "RadioIndex=2\n")) << run.out;
  EXPECT_TRUE(Contains(run.out, "FadePower=176\n"));
  EXPECT_TRUE(Contains(run.out, "WaveGain=2.4\n"));
  EXPECT_TRUE(Contains(run.out, "FadeExponent=0.7788008\n"));
  EXPECT_FALSE(fs::exists(plugin / "plugin.ini"));
}

TEST_F(CliTest, ConfigSavesKeysCaseInsensitivelyThroughTheSettingsStore) {
  CliRun set = RunCli({"config", "--plugin-dir", plugin.string(), "paletteanimationspeed=40", "FADEPOWER=192",
                       "TextureName=C:\\tex.bmp", "displaymode=2", "picture=1"});
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_TRUE(Contains(set.out, "run `tavelmir fade`"));
  CliRun show = RunCli({"config", "--plugin-dir", plugin.string()});
  EXPECT_TRUE(Contains(show.out, "PaletteAnimationSpeed=40\n")) << show.out;
  EXPECT_TRUE(Contains(show.out, "FadeExponent=1\n")) << show.out;
  EXPECT_TRUE(Contains(show.out, "TextureName=C:\\tex.bmp\n")) << show.out;
  EXPECT_TRUE(Contains(show.out, "RadioIndex=2\n"));
  EXPECT_TRUE(Contains(show.out, "DisplayMode=2\n")) << show.out;
  EXPECT_TRUE(Contains(show.out, "Picture=1\n")) << show.out;
  EXPECT_TRUE(Contains(ReadFileText(plugin / "plugin.ini"), "[Ombrelo Tunnel]"));
  // The window the key asks for draws the same frames.
  CliRun dump = RunCli({"render", P("tone.wav"), "--dump", P("x.dump"), "--plugin-dir", plugin.string()});
  EXPECT_EQ(dump.status, 0) << dump.err;
}

// The settings and the fade table written through a link land where it points, with the mode and group the file
// had (a private one stays private); a read-only one is refused and left as it was. A settings path too long for
// the data set leaves no folder behind.
TEST_F(CliTest, ConfigAndFadeWriteThroughLinksKeepingTheFilesModeAndGroup) {
  fs::create_directories(folder.path / "dotfiles");
  const std::string ini = "[Ombrelo Tunnel]\nFadeOffset=7\n", table(65536, '\0');
  const struct {
    const char* command;
    const char* linkName;  // in the plug-in folder
    const char* target;    // in dotfiles/
    ::mode_t mode;
    int status;
  } cases[] = {
      {"FadePower=100", "plugin.ini", "shared.ini", 0640, 0},   {"FadePower=101", "plugin.ini", "private.ini", 0600, 0},
      {"FadePower=102", "plugin.ini", "readonly.ini", 0444, 1}, {"fade", "TavelDat/fade.dat", "fade.dat", 0640, 0},
      {"fade", "TavelDat/fade.dat", "readonly.dat", 0400, 1},
  };
  const bool root = ::geteuid() == 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    const bool fade = std::string(c.command) == "fade";
    const fs::path target = folder.path / "dotfiles" / c.target, link = plugin / c.linkName;
    WriteFileText(target, fade ? table : ini);
    ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
    if (root) {
      ASSERT_EQ(::chown(target.c_str(), 0, 4), 0);
    }
    fs::remove(link);
    fs::create_symlink((fade ? "../../dotfiles/" : "../dotfiles/") + std::string(c.target), link);
    CliRun run = fade ? RunCli({"fade", "--plugin-dir", plugin.string()})
                      : RunCli({"config", "--plugin-dir", plugin.string(), c.command});
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_TRUE(fs::is_symlink(link));
    const std::string saved = ReadFileText(target);
    if (c.status != 0) {
      EXPECT_TRUE(Contains(run.err, "it is read-only")) << run.err;
      EXPECT_EQ(saved, fade ? table : ini);
    } else if (fade) {
      EXPECT_TRUE(saved.size() == table.size() && saved != table);
    } else {
      EXPECT_TRUE(Contains(saved, c.command) && Contains(saved, "FadeOffset=7")) << saved;
    }
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.mode);
    if (root) {
      EXPECT_EQ(st.st_gid, 4u);
    }
  }
  const fs::path deep = folder.path / "deep" / std::string(200, 'd') / std::string(100, 'e');
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string savedValue = saved ? saved : "";
  setenv("XDG_CONFIG_HOME", deep.c_str(), 1);
  CliRun run = RunCli({"config", "FadePower=100"});
  if (saved)
    setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "the path is too long")) << run.err;
  EXPECT_FALSE(fs::exists(folder.path / "deep"));
}

TEST_F(CliTest, ConfigRefusesBadValuesAndSavesNothing) {
  const char* cases[][2] = {{"RadioIndex=5", "RadioIndex must lie in 0..4, not 5"},
                            {"WaveShiftPower=-1", "WaveShiftPower must lie in 0..8"},
                            {"FadeOffset=256", "FadeOffset must lie in 0..255"},
                            {"UseTexture=2", "UseTexture must lie in 0..1"},
                            {"DisplayMode=4", "DisplayMode must lie in 0..3"},
                            {"Picture=2", "Picture must lie in 0..1"},
                            {"FadeAmplitude=12x", "FadeAmplitude takes a whole number"},
                            {"FadeAmplitude=", "FadeAmplitude takes a whole number"},
                            {"Volume=3", "unknown setting 'Volume'"},
                            {"TextureName=a.bmp\nRadioIndex=4", "line breaks"},
                            {"TextureName=a.bmp\r", "line breaks"},
                            {"TextureName= a.bmp", "blank"},
                            {"TextureName=\"a.bmp\"", "quotes"},
                            {"RadioIndex", "is not KEY=VALUE"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0]);
    CliRun run = RunCli({"config", "--plugin-dir", plugin.string(), "FadeOffset=10", c[0]});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(Contains(run.err, c[1])) << run.err;
  }
  EXPECT_FALSE(fs::exists(plugin / "plugin.ini"));
}

}  // namespace
