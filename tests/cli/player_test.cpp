// `play` and `live` headless: SDL's dummy video and disk audio, a private PulseAudio with a null sink, click tracks;
// sync is judged from the recorded timestamps of --trace, never from the test's own clock.
#include <gtest/gtest.h>
#include <signal.h>
#include <pulse/def.h>
#include <sndfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "cli_test_support.h"
#include "clock_text.h"
#include "file_chooser.h"
#include "picture_fit.h"
#include "pulse_capture.h"

namespace {

using namespace std::chrono_literals;

constexpr int kRate = 44100;
// Onsets of the clicks in each click track, in samples; irregular, so a shifted match cannot pass.
const std::vector<std::int64_t> kClickOnsets = {17640, 35280, 48510, 66150, 86436, 99666};
constexpr std::int64_t kTrackLength = 2 * kRate + kRate / 2;
// A frame whose waveform reaches this (of 127) shows a click; silence is 0.
constexpr int kClickPeak = 20;
// How long a click stays that loud: 113 * exp(-i / 3000) >= 20.
constexpr std::int64_t kClickLoudSamples = 5000;
// A frame's period: how far a frame may be from the sound it shows.
constexpr double kFrameUs = 20000;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Each click starts at full strength and dies away over about 120 ms: the loudest sample of a frame that holds the
// onset is the onset, and the click outlasts the part of each 20 ms that a 576-sample waveform leaves out, even
// when a busy machine delays a frame or two.
void WriteClickTrack(const fs::path& path) {
  std::vector<double> samples(2 * kTrackLength, 0.0);
  for (std::int64_t onset : kClickOnsets)
    for (int i = 0; i < 6000; ++i) {
      // Negative first: -29000 becomes -114 in 8 bits and the next, positive, sample 113.
      const double v = 29000 * std::exp(-i / 3000.0) * (i % 2 ? 1 : -1);
      samples[2 * (onset + i)] = samples[2 * (onset + i) + 1] = std::trunc(v);
    }
  WriteAudio(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2, samples);
}

struct TraceFrame {
  std::int64_t frame, shownUs, blockStart, peakPos;
  int peak;
  std::int64_t clockUs, clockPos;
  int rate;
  std::int64_t latencyUs;
  double renderUs, presentUs;
  std::int64_t songPos;  // where blockStart lies in its song; -1 live
  std::int64_t heldUs;   // how long the frames' thread was held (not running, not asleep) since the frame before
  // When the frame took its waveform. On a busy machine the system may hold the player between that and showing
  // the frame; no player can help that, so sync is judged here.
  double chosenUs() const { return static_cast<double>(shownUs) - renderUs - presentUs; }
};

struct ClockPoint {
  std::int64_t us, position;
};

struct Trace {
  std::vector<TraceFrame> frames;
  std::vector<std::string> notes;
  std::vector<ClockPoint> clock;  // every point of the device's clock, in the order recorded
};

Trace ReadTrace(const fs::path& path) {
  Trace trace;
  std::istringstream lines(ReadFileText(path));
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    if (line.rfind("# clock ", 0) == 0) {
      ClockPoint c{};
      std::istringstream(line.substr(8)) >> c.us >> c.position;
      trace.clock.push_back(c);
      continue;
    }
    if (line[0] == '#') {
      trace.notes.push_back(line);
      continue;
    }
    TraceFrame f{};
    std::istringstream(line) >> f.frame >> f.shownUs >> f.blockStart >> f.peakPos >> f.peak >> f.clockUs >>
        f.clockPos >> f.rate >> f.latencyUs >> f.renderUs >> f.presentUs >> f.songPos >> f.heldUs;
    trace.frames.push_back(f);
  }
  return trace;
}

// Indices (into trace.frames) of the first frame of each click: the first loud frame whose loudest sample lies
// beyond the previous click (clicks are 13,230 samples apart or more and loud for about 5,200). Judged by stream
// positions, so a frame shown twice or a stall on a busy machine does not make one click two.
std::vector<std::size_t> ClickFrames(const Trace& trace) {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < trace.frames.size(); ++i) {
    const TraceFrame& f = trace.frames[i];
    if (f.peak >= kClickPeak && (found.empty() || f.peakPos > trace.frames[found.back()].peakPos + 8000))
      found.push_back(i);
  }
  return found;
}

// The click frames as "frame@ms:position/peak", for failure messages.
std::string DescribeClicks(const Trace& trace, const std::vector<std::size_t>& shown) {
  std::string text;
  for (std::size_t i : shown) {
    const TraceFrame& f = trace.frames[i];
    text += std::to_string(f.frame) + "@" + std::to_string(f.shownUs / 1000) + ":" + std::to_string(f.peakPos) + "/" +
            std::to_string(f.peak) + " ";
  }
  return text;
}

// Onsets of the clicks in what SDL's disk audio played (16-bit stereo).
std::vector<std::int64_t> PlayedClicks(const std::vector<std::uint8_t>& raw) {
  std::vector<std::int64_t> played;
  std::int64_t quietSince = 0;
  for (std::size_t i = 0; i + 3 < raw.size(); i += 4) {
    const auto s = static_cast<std::int16_t>(raw[i] | raw[i + 1] << 8);
    const std::int64_t at = static_cast<std::int64_t>(i / 4);
    if (std::abs(s) > 16000 && at - quietSince > kRate / 10) played.push_back(at);
    if (std::abs(s) > 16000) quietSince = at;
  }
  return played;
}

std::string Notes(const Trace& trace) {
  std::string notes;
  for (const std::string& n : trace.notes) notes += n + "\n";
  return notes;
}

// When the frame's device clock says sample `position` is heard.
double HeardUs(const TraceFrame& f, std::int64_t position) {
  return static_cast<double>(f.clockUs) + static_cast<double>(position - f.clockPos) * 1e6 / f.rate;
}

// A child process with extra environment, its output in files; killed if the test leaves it running.
struct Child {
  pid_t pid = -1;
  ~Child() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

void Spawn(Child& child, const std::vector<std::string>& argv, const std::vector<std::string>& env, const fs::path& out,
           const fs::path& err) {
  child.pid = fork();
  if (child.pid != 0) return;
  for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
  if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr)) _exit(126);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

// The exit status, or -1 when it did not end within `timeout` (then it is killed).
int WaitExit(Child& child, std::chrono::seconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (waitpid(child.pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > until) return -1;
    std::this_thread::sleep_for(20ms);
  }
  child.pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::seconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

const std::vector<std::string> kHeadlessSdl = {"SDL_VIDEODRIVER=dummy"};

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin = folder.path / "plugin";
    CopyDefaultPluginFolder(plugin);
    WriteClickTrack(folder.path / "clicks.wav");
    WriteFileText(folder.path / "broken.wav", "RIFF, but no audio in it");
  }
  std::string P(const char* name) const { return (folder.path / name).string(); }
  // Runs `play` with SDL's disk audio (written to out.raw at the device's pace).
  // With `userSettings`, the default data set and the user's settings file under config/ instead of the copy.
  int Play(const std::vector<std::string>& args, bool userSettings = false) {
    std::vector<std::string> argv = {TAVELMIR_CLI_BINARY, "play", "--trace", P("trace.txt"), "-y"};
    if (!userSettings) argv.insert(argv.end(), {"--plugin-dir", plugin.string()});
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = kHeadlessSdl;
    env.push_back("XDG_CONFIG_HOME=" + P("config"));
    env.push_back("SDL_AUDIODRIVER=disk");
    env.push_back("SDL_DISKAUDIOFILE=" + P("out.raw"));
    Child child;
    Spawn(child, argv, env, P("out.txt"), P("err.txt"));
    return WaitExit(child, 120s);
  }
  TempFolder folder;
  fs::path plugin;
};

TEST(ClockTextTest, MinutesAndSecondsCutTowardZero) {
  struct Case {
    std::int64_t centiseconds;
    bool hundredths;
    const char* text;
  } cases[] = {{0, false, "0:00"},
               {6530, false, "1:05"},
               {6530, true, "1:05.30"},
               {5999, true, "0:59.99"},
               {360000, false, "60:00"},
               {-1, false, "?"},
               {-100, true, "?"},
               {WholeSecondsAsCentiseconds(65.99), false, "1:05"},
               {WholeSecondsAsCentiseconds(-0.5), true, "?"}};
  for (const Case& c : cases) EXPECT_EQ(ClockText(c.centiseconds, c.hundredths), c.text) << c.centiseconds;
}

TEST(PictureFitTest, WholePixelsIn43OrLargest43Rectangle) {
  struct Case {
    int w, h;
    bool smooth;
    PictureRect expected;
  };
  const Case cases[] = {
      {960, 720, false, {0, 0, 960, 720}},        // the default window: 3 x 3 pixels a screen pixel, rows 3 or 4
      {1920, 1080, false, {320, 60, 1280, 960}},  // k = 4 in a 16:9 monitor
      {1000, 1000, false, {20, 140, 960, 720}},  {639, 479, false, {159, 119, 320, 240}},
      {300, 300, false, {0, 37, 300, 225}},  // smaller than 320 x 240: the largest 4:3 rectangle
      {1920, 1080, true, {240, 0, 1440, 1080}},  {0, 480, false, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + (c.smooth ? " smooth" : ""));
    const PictureRect r = FitPicture(c.w, c.h, c.smooth);
    EXPECT_EQ(r.x, c.expected.x);
    EXPECT_EQ(r.y, c.expected.y);
    EXPECT_EQ(r.width, c.expected.width);
    EXPECT_EQ(r.height, c.expected.height);
  }
}

// A playlist of two click tracks around a broken file: the broken one is reported and skipped, every click of both
// tracks reaches the device and is shown on the frame that is on screen while it is heard (within one frame).
TEST_F(PlayerTest, PlayShowsEachClickWhenItIsHeardAndSkipsABrokenFile) {
  ASSERT_EQ(Play({P("clicks.wav"), P("broken.wav"), P("clicks.wav")}), 0) << ReadFileText(P("err.txt"));
  const std::string err = ReadFileText(P("err.txt"));
  EXPECT_TRUE(Contains(err, "broken.wav")) << err;
  EXPECT_TRUE(Contains(err, "skipped")) << err;

  // What the device played: both tracks' clicks, each track's at exactly its own spacing.
  const std::vector<std::int64_t> played = PlayedClicks(ReadBytes(P("out.raw")));
  ASSERT_EQ(played.size(), 2 * kClickOnsets.size());
  for (std::size_t k = 0; k < played.size(); ++k)
    EXPECT_EQ(played[k] - played[k / 6 * 6], kClickOnsets[k % 6] - kClickOnsets[0]) << "click " << k;

  // The frames by their place in each song: the clicks are known there to the sample, whatever the device's lead.
  const Trace trace = ReadTrace(P("trace.txt"));
  std::vector<std::vector<const TraceFrame*>> songs;
  for (const TraceFrame& f : trace.frames) {
    if (f.songPos < 0) continue;
    if (songs.empty() || f.songPos + kRate / 2 < songs.back().back()->songPos) songs.emplace_back();
    songs.back().push_back(&f);
  }
  ASSERT_EQ(songs.size(), 2u);
  double worstUs = 0, worstHeldUs = 0;
  int skipped = 0;
  for (const auto& frames : songs)
    for (const std::int64_t onset : kClickOnsets) {
      // The first frame whose waveform holds the click, whether any frame took its sound while it sounded, and the
      // frames on either side of it.
      const TraceFrame* first = nullptr;
      const TraceFrame* before = nullptr;
      const TraceFrame* after = nullptr;
      bool sounded = false;
      for (const TraceFrame* f : frames) {
        const std::int64_t from = f->songPos, to = f->songPos + 576;
        sounded = sounded || (to > onset && from < onset + kClickLoudSamples);
        if (!first && f->peak >= kClickPeak && from + (f->peakPos - f->blockStart) >= onset &&
            from < onset + kClickLoudSamples)
          first = f;
        if (to <= onset) before = f;
        if (!after && from >= onset + kClickLoudSamples) after = f;
      }
      if (!first) {
        EXPECT_FALSE(sounded) << "the click at " << onset << " was in a frame's waveform but not shown";
        // The frames passed over the whole click (or it was heard before the first frame): only a busy machine may
        // do that, and the trace must show it. The frames' thread was held (neither running nor asleep until its
        // frame was due) for all but two frame periods between the frame before the click (or the click itself) and the
        // frame after it, or the device's thread was held (its clock jumped) by as much.
        ASSERT_TRUE(after) << "click at " << onset;
        const double since =
            before ? before->chosenUs() : HeardUs(*after, after->blockStart - (after->songPos - onset));
        const double jump =
            before ? std::abs(HeardUs(*after, before->clockPos) - static_cast<double>(before->clockUs)) : 0;
        EXPECT_GE(static_cast<double>(after->heldUs) + jump, after->chosenUs() - since - 2 * kFrameUs)
            << "the click at " << onset << " passed unshown before frame " << after->frame
            << " without the machine holding the player";
        ++skipped;
        continue;
      }
      // The frame shows the played samples: its loudest is the onset, or one of its first two (signs alternate)
      // when the onset came just before.
      const std::int64_t peakInSong = first->songPos + (first->peakPos - first->blockStart);
      EXPECT_TRUE(peakInSong == onset || (first->peakPos - first->blockStart <= 1 && first->songPos > onset))
          << "click at " << onset << ": frame from " << first->songPos << " peak at " << peakInSong;
      // The frame took its waveform within one frame period of the time its first loud sample was heard, by the
      // device clock the frame was chosen by. Judged on the trace's clocks, not in frame numbers or wall time.
      const std::int64_t loud = first->blockStart + std::max<std::int64_t>(onset - first->songPos, 0);
      EXPECT_LT(std::abs(first->chosenUs() - HeardUs(*first, loud)), kFrameUs) << "click at " << onset;
      // And by the clock point of the buffer that handed that sample out: a buffer handed out late plays late, and
      // the picture must wait for it. Only where the device's own thread was held (its clock jumped between that
      // point and the frame's: the machine gave it no time) may the two disagree, by that jump.
      ClockPoint clock{};
      for (const ClockPoint& c : trace.clock)
        if (c.position <= loud) clock = c;
      const double heard =
          static_cast<double>(clock.us) + static_cast<double>(loud - clock.position) * 1e6 / first->rate;
      const double held = std::abs(HeardUs(*first, clock.position) - static_cast<double>(clock.us));
      EXPECT_LT(std::abs(first->chosenUs() - heard), kFrameUs + held) << "click at " << onset;
      worstHeldUs = std::max(worstHeldUs, held);
      worstUs = std::max(worstUs, std::abs(static_cast<double>(first->shownUs) - heard));
      EXPECT_GT(first->latencyUs, 0);
    }
  std::cout << "play: worst distance between a click heard and its frame shown " << worstUs / 1000
            << " ms; the device's thread held up to " << worstHeldUs / 1000 << " ms; " << skipped
            << " clicks passed over while the machine held the player\n";

  EXPECT_EQ(Play({P("broken.wav"), P("missing.wav")}), 1);
  EXPECT_TRUE(Contains(ReadFileText(P("err.txt")), "none of the files could be played"));
}

// Opened from the menu without files, the window invites some, plays what is dropped on it (all of it, also a
// file dropped after the playlist ran out) and waits for more rather than ending; O without a chooser says so.
TEST_F(PlayerTest, WithoutFilesTheWindowWaitsForDroppedOnes) {
  ASSERT_EQ(Play({"--keys", "20:o,40:drop=" + P("clicks.wav") + ",400:drop=" + P("clicks.wav") + ",760:q"}), 0)
      << ReadFileText(P("err.txt"));
  const std::string out = ReadFileText(P("out.txt")), traceText = ReadFileText(P("trace.txt"));
  EXPECT_TRUE(Contains(out, "added 1: " + P("clicks.wav") + "\nplaying 1/1: ")) << out;
  EXPECT_TRUE(Contains(out, "added 2: " + P("clicks.wav") + "\nplaying 2/2: ")) << out;
  EXPECT_EQ(PlayedClicks(ReadBytes(P("out.raw"))).size(), 2 * kClickOnsets.size());
  // The invitation before the first file, again after each has been heard, and never while one plays.
  const Trace trace = ReadTrace(P("trace.txt"));
  std::vector<std::int64_t> invited, cleared;
  for (const std::string& n : trace.notes) {
    if (Contains(n, "status: Drop audio files on this window")) invited.push_back(std::stoll(n.substr(2)));
    if (Contains(n, "status: (none)")) cleared.push_back(std::stoll(n.substr(2)));
  }
  ASSERT_EQ(invited.size(), 3u) << traceText;
  ASSERT_EQ(cleared.size(), 2u) << traceText;
  EXPECT_LT(invited[0], 40);
  EXPECT_GE(cleared[0], 40);
  EXPECT_GT(invited[1], cleared[0]);
  EXPECT_LT(invited[1], 400);
  EXPECT_GT(invited[2], cleared[1]);
  if (FileChooserProgram().empty()) {
    EXPECT_TRUE(Contains(traceText, "no file chooser is installed (zenity or kdialog)")) << traceText;
  }
  // What a chooser writes: a path a line, blanks kept.
  EXPECT_EQ(ChosenPaths("/music/a b.mp3\n/c.flac\n"), (std::vector<std::string>{"/music/a b.mp3", "/c.flac"}));
}

// Keys change the look as described; --save keeps the result, without it plugin.ini is untouched; Escape and Q end
// the player with status 0 long before the music does.
TEST_F(PlayerTest, KeysChangeTheSettingsForTheSessionOrSaveThem) {
  const fs::path userFile = folder.path / "config" / "tavelmir" / "plugin.ini";
  fs::create_directories(userFile.parent_path());
  WriteFileText(userFile, "[Ombrelo Tunnel]\nWaveAttenuationRate=3\n");
  ASSERT_EQ(Play({P("clicks.wav"), "--save", "--keys",
                  "3:Right 4:c 5:3 6:Up 7:Up 8:Down 9:h 10:F1 11:f 12:Alt+Return 13:d 14:Escape"},
                 true),
            0)
      << ReadFileText(P("err.txt"));
  Trace trace = ReadTrace(P("trace.txt"));
  EXPECT_LT(trace.frames.size(), 40u);
  const std::string notes = Notes(trace);
  EXPECT_TRUE(Contains(notes, "key Right: palette 2 of 8: ember")) << notes;
  EXPECT_TRUE(Contains(notes, "key C: palette cycling off")) << notes;  // the player starts with it on
  EXPECT_TRUE(Contains(notes, "key 3: wave preset 3: Loud")) << notes;
  EXPECT_TRUE(Contains(notes, "key Up: wave amplitude 130")) << notes;  // Loud's 114, plus 16
  EXPECT_TRUE(Contains(notes, "key D: picture: classic")) << notes;     // from hd, the default
  const std::string saved = ReadFileText(userFile);
  for (const char* line :
       {"RadioIndex=0", "WaveAmplitude=130", "WaveShiftPower=3", "PaletteAnimationSpeed=0", "WaveAttenuationRate=3"})
    EXPECT_TRUE(Contains(saved, line)) << line << " in\n" << saved;

  ASSERT_EQ(Play({P("clicks.wav"), "--set", "WaveAmplitude=7", "--keys", "2:Down 3:4 4:q"}, true), 0)
      << ReadFileText(P("err.txt"));
  EXPECT_EQ(ReadFileText(userFile), saved);
  EXPECT_NE(Play({P("clicks.wav"), "--set", "WaveAmplitude=256"}, true), 0);
  EXPECT_TRUE(Contains(ReadFileText(P("err.txt")), "WaveAmplitude")) << ReadFileText(P("err.txt"));
}

// Space pauses the device (its clock stops, no frame is drawn) and the sound goes on where it stopped; Home starts
// the song again. The song's tags name it.
TEST_F(PlayerTest, SpacePausesSoundAndPictureAndHomeStartsTheSongAgain) {
  ASSERT_EQ(std::system(("ffmpeg -v error -i " + P("clicks.wav") +
                         " -metadata title='Click Track' -metadata "
                         "artist='The Testers' " +
                         P("clicks.flac"))
                            .c_str()),
            0);
  ASSERT_EQ(Play({P("clicks.flac"), "--keys", "10:space 60:space 90:Home"}), 0) << ReadFileText(P("err.txt"));
  const Trace trace = ReadTrace(P("trace.txt"));
  const std::string notes = Notes(trace);
  EXPECT_TRUE(Contains(notes, "song 1/1: Click Track - The Testers")) << notes;
  EXPECT_TRUE(Contains(notes, "key Space: paused")) << notes;
  EXPECT_TRUE(Contains(notes, "key Space: playing on")) << notes;
  EXPECT_TRUE(Contains(notes, "key Home: 1/1: Click Track - The Testers at 0:00")) << notes;

  // No frame drawn while paused, and the device's clock stood still.
  const TraceFrame* before = nullptr;
  const TraceFrame* after = nullptr;
  for (const TraceFrame& f : trace.frames) {
    EXPECT_FALSE(f.frame > 10 && f.frame < 60) << "frame " << f.frame << " drawn while paused";
    if (f.frame <= 10) before = &f;
    if (f.frame >= 60 && !after) after = &f;
  }
  ASSERT_TRUE(before && after);
  EXPECT_GT(after->shownUs - before->shownUs, 800000);
  for (const ClockPoint& c : trace.clock)
    EXPECT_FALSE(c.us > before->shownUs + 100000 && c.us < after->shownUs - 100000) << "clock point at " << c.us;
  // Home took the picture back to the start of the song, and the sound: after the clicks heard before it (how
  // many depends on how busy the machine is) the whole song played, every click at its place.
  bool wentBack = false;
  for (std::size_t i = 1; i < trace.frames.size(); ++i)
    wentBack = wentBack || (trace.frames[i].frame >= 90 && trace.frames[i].songPos < trace.frames[i - 1].songPos);
  EXPECT_TRUE(wentBack);
  const std::vector<std::int64_t> played = PlayedClicks(ReadBytes(P("out.raw")));
  ASSERT_GE(played.size(), kClickOnsets.size());
  ASSERT_LE(played.size(), 2 * kClickOnsets.size());
  const std::size_t first = played.size() - kClickOnsets.size();
  for (std::size_t k = 0; k < kClickOnsets.size(); ++k)
    EXPECT_EQ(played[first + k] - played[first], kClickOnsets[k] - kClickOnsets[0]) << "click " << k;
  EXPECT_GT(trace.frames.back().songPos, kTrackLength / 2);
}

// Shift+Right lands 10 s later within a frame of the asked time, exactly on the song's samples; N moves to the next
// file, which then plays to its end.
// A song from a pipe is read as it comes: the keys that would read it again say so, and it plays on.
TEST_F(PlayerTest, ASongFromAPipeSaysItCannotSeekAndPlaysOn) {
  ASSERT_EQ(::mkfifo(P("song.fifo").c_str(), 0600), 0);
  const std::vector<std::uint8_t> song = ReadBytes(P("clicks.wav"));
  std::thread writer([&] { WriteBytes(P("song.fifo"), song); });
  const int status = Play({P("song.fifo"), "--keys", "10:Shift+Right 20:Home"});
  writer.join();
  ASSERT_EQ(status, 0) << ReadFileText(P("err.txt"));
  const std::string notes = Notes(ReadTrace(P("trace.txt")));
  EXPECT_TRUE(Contains(notes, "key Shift+Right: cannot seek in song.fifo: a pipe is read once")) << notes;
  EXPECT_TRUE(Contains(notes, "key Home: cannot seek in song.fifo")) << notes;
}

TEST_F(PlayerTest, SeekAndNextSongMoveThroughThePlaylist) {
  // 60 s, one click at 16.0 s: heard after the seek lands (from about 10.5 s; later on a busy machine, whose first
  // frames come late) and before N comes at frame 350 (7 s or later), far from the end even when a busy machine
  // draws 10 frames a second while the sound plays on.
  constexpr std::int64_t kLong = 60 * kRate, kClickAt = 16 * kRate;
  std::vector<double> samples(2 * kLong, 0.0);
  for (int i = 0; i < 6000; ++i)
    samples[2 * (kClickAt + i)] = samples[2 * (kClickAt + i) + 1] =
        std::trunc(29000 * std::exp(-i / 3000.0) * (i % 2 ? 1 : -1));
  WriteAudio(folder.path / "long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2, samples);
  ASSERT_EQ(Play({P("long.wav"), P("clicks.wav"), "--keys", "25:Shift+Right 350:n"}), 0) << ReadFileText(P("err.txt"));
  const Trace trace = ReadTrace(P("trace.txt"));
  const std::string notes = Notes(trace);
  EXPECT_TRUE(Contains(notes, "key Shift+Right: 1/2: long.wav at 0:1")) << notes;
  EXPECT_TRUE(Contains(notes, "key N: 2/2: clicks.wav at 0:00")) << notes;
  EXPECT_TRUE(Contains(notes, "song 2/2: clicks.wav")) << notes;
  EXPECT_TRUE(Contains(ReadFileText(P("out.txt")), "playing 2/2: " + P("clicks.wav")));

  // The asked time is where the song was heard when the key came, plus 10 s; the key came after frame 24 was
  // taken and before the first frame of the new place (L), while the frame before L (P) still showed the old one.
  // From the frames' stream positions: A, the asked sample, and T, the song sample the sound went on from, each lie
  // within a span that is a frame wide on an idle machine and as wide as a stall on a busy one.
  const TraceFrame* before = nullptr;
  std::size_t landed = 0;
  for (std::size_t i = 0; i < trace.frames.size(); ++i) {
    if (trace.frames[i].frame <= 24) before = &trace.frames[i];
    if (!landed && trace.frames[i].frame > 24 && trace.frames[i].songPos > 5 * kRate) landed = i;
  }
  ASSERT_TRUE(before && landed > 0);
  const TraceFrame& l = trace.frames[landed];
  const TraceFrame& p = trace.frames[landed - 1];
  const std::int64_t frame = kRate / 50, between = l.blockStart - p.blockStart;
  const std::int64_t askedLow = before->songPos + 10 * kRate, askedHigh = p.songPos + between + 10 * kRate;
  const std::int64_t wentOnLow = l.songPos - between, wentOnHigh = l.songPos;
  EXPECT_GE(wentOnHigh, askedLow - frame) << "the seek fell short";
  EXPECT_LE(wentOnLow, askedHigh + frame) << "the seek went too far";
  // The click at 12 s is on the frames at its place in the song, to the sample: its loudest sample is the onset,
  // or one of the block's first two when the onset fell between two frames' blocks.
  bool clickShown = false;
  for (const TraceFrame& f : trace.frames)
    if (f.peak >= kClickPeak && f.songPos > 5 * kRate && f.songPos < kLong) {
      clickShown = true;
      const std::int64_t peakInSong = f.songPos + (f.peakPos - f.blockStart);
      EXPECT_TRUE(std::abs(peakInSong - kClickAt) <= 1 || (f.peakPos - f.blockStart <= 1 && f.songPos > kClickAt))
          << "frame " << f.frame << ": loudest at song sample " << peakInSong << ", block from " << f.songPos;
      break;
    }
  EXPECT_TRUE(clickShown);
  // After N, the second file from its start to its end: every click played, the first song's rest never.
  const std::vector<std::int64_t> played = PlayedClicks(ReadBytes(P("out.raw")));
  ASSERT_EQ(played.size(), 1 + kClickOnsets.size());
  for (std::size_t k = 1; k < played.size(); ++k)
    EXPECT_EQ(played[k] - played[1], kClickOnsets[k - 1] - kClickOnsets[0]) << "click " << k;
  EXPECT_LT(trace.frames.size(), 600u);
}

// A private PulseAudio server with a null sink, in folders of the test's own.
class PulseServer {
 public:
  explicit PulseServer(const fs::path& home) : home_(home) {
    fs::create_directories(home / "runtime");
    env_ = {"HOME=" + home.string(),
            "XDG_RUNTIME_DIR=" + home.string(),
            "XDG_CONFIG_HOME=" + (home / "config").string(),
            "PULSE_RUNTIME_PATH=" + (home / "runtime").string(),
            "PULSE_STATE_PATH=" + (home / "state").string(),
            "PULSE_SERVER=unix:" + (home / "runtime" / "native").string()};
  }
  const std::vector<std::string>& env() const { return env_; }
  // Starts the server and waits until it answers.
  bool Start() {
    Spawn(server_,
          {"pulseaudio", "--daemonize=no", "-n", "--exit-idle-time=-1", "--disallow-exit", "--log-target=stderr",
           "--load=module-native-protocol-unix", "--load=module-null-sink sink_name=clicks norewinds=1"},
          env_, home_ / "server.out", home_ / "server.err");
    return WaitUntil([&] { return Run("pactl info") == 0; }, 30s);
  }
  void Stop() {
    if (server_.pid > 0) kill(server_.pid, SIGTERM);
    WaitExit(server_, 30s);
  }
  // Runs a command with the server's environment; its exit status.
  int Run(const std::string& command) const {
    std::string line;
    for (const std::string& e : env_) line += e + " ";
    const int status = std::system(("env " + line + command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  fs::path home_;
  std::vector<std::string> env_;
  Child server_;
};

// `live` captures the null sink's monitor while a click track plays into the sink; the server is stopped and
// started again in the middle; every click of both plays is shown within a frame of its time plus the capture
// latency the server reports, and the player ends with status 0 on an interrupt.
TEST_F(PlayerTest, LiveFollowsTheMonitorAndSurvivesTheServerRestarting) {
  if (std::system("command -v pulseaudio >/dev/null 2>&1") != 0) GTEST_SKIP() << "pulseaudio is not installed";
  PulseServer pulse(folder.path / "pulse");
  std::vector<std::string> env = pulse.env();
  env.insert(env.end(), kHeadlessSdl.begin(), kHeadlessSdl.end());
  Child live, player, mistyped;
  Spawn(live, {TAVELMIR_CLI_BINARY, "live", "--plugin-dir", plugin.string(), "--trace", P("trace.txt")}, env,
        P("out.txt"), P("err.txt"));
  // A source that does not exist: waited for all the same (it may appear), named with those that do.
  Spawn(mistyped,
        {TAVELMIR_CLI_BINARY, "live", "--plugin-dir", plugin.string(), "--source", "clickz", "--trace",
         P("mistyped-trace.txt")},
        env, P("mistyped-out.txt"), P("mistyped-err.txt"));
  // So does `play` from the menu, without files: its window invites some and waits for a sound output.
  env.push_back("SDL_AUDIODRIVER=pulseaudio");
  // SDL's PulseAudio backend leaves a sink query of its hotplug thread to libpulse at exit: not this program's
  // leak, so the leak check is off for this player only (the live player beside it keeps it).
  if (const char* asan = std::getenv("ASAN_OPTIONS"))
    env.push_back(std::string("ASAN_OPTIONS=") + asan + ":detect_leaks=0");
  Spawn(player, {TAVELMIR_CLI_BINARY, "play", "--plugin-dir", plugin.string(), "--trace", P("play-trace.txt")}, env,
        P("play-out.txt"), P("play-err.txt"));
  const auto framesShown = [&] { return ReadTrace(P("trace.txt")).frames.size(); };
  const auto timesSaid = [&](const char* message) {
    const std::string err = ReadFileText(P("err.txt"));
    std::size_t times = 0;
    for (std::size_t at = err.find(message); at != std::string::npos; at = err.find(message, at + 1)) ++times;
    return times;
  };
  // Started before the sound server (from the desktop's menu at login), the window opens, says what is missing
  // and keeps trying until the server is there.
  ASSERT_TRUE(
      WaitUntil([&] { return Contains(ReadFileText(P("trace.txt")), "status: no sound server is running"); }, 60s))
      << ReadFileText(P("err.txt"));
  // The player too must have found no output before the server starts (a slow build may start it later than live).
  ASSERT_TRUE(WaitUntil([&] { return Contains(ReadFileText(P("play-err.txt")), "no sound server is running"); }, 60s))
      << ReadFileText(P("play-err.txt"));
  ASSERT_TRUE(pulse.Start());
  ASSERT_TRUE(WaitUntil([&] { return timesSaid("the sound server is back") == 1; }, 30s)) << ReadFileText(P("err.txt"));
  EXPECT_TRUE(WaitUntil([&] { return Contains(ReadFileText(P("play-err.txt")), "the audio output is back"); }, 30s))
      << ReadFileText(P("play-err.txt"));
  const std::string noSuchSource = "no sound source named 'clickz' (the server has: clicks.monitor); trying again";
  EXPECT_TRUE(WaitUntil([&] { return Contains(ReadFileText(P("mistyped-trace.txt")), noSuchSource); }, 30s))
      << ReadFileText(P("mistyped-err.txt"));
  kill(mistyped.pid, SIGINT);
  EXPECT_EQ(WaitExit(mistyped, 60s), 130) << ReadFileText(P("mistyped-err.txt"));
  // Ctrl+C ends it as it ends other programs, after its cleanup.
  kill(player.pid, SIGINT);
  EXPECT_EQ(WaitExit(player, 60s), 130) << ReadFileText(P("play-err.txt"));
  const std::string playNotes = Notes(ReadTrace(P("play-trace.txt")));
  EXPECT_TRUE(Contains(playNotes, "status: Drop audio files on this window")) << playNotes;
  EXPECT_TRUE(Contains(playNotes, "; trying again")) << playNotes;
  ASSERT_TRUE(WaitUntil([&] { return framesShown() > 25; }, 60s)) << ReadFileText(P("err.txt"));
  // In silence the screen says what it waits for, after two seconds.
  const std::string waiting = "status: waiting for sound from the desktop (the monitor of the default output)";
  ASSERT_TRUE(WaitUntil([&] { return Contains(ReadFileText(P("trace.txt")), waiting); }, 30s));
  {
    const Trace silent = ReadTrace(P("trace.txt"));
    std::int64_t hintFrame = -1;
    for (const std::string& n : silent.notes)
      if (Contains(n, waiting)) hintFrame = std::stoll(n.substr(2));
    // Judged by when the frames took their sound, the player's own clock: a busy machine may show fewer than 50
    // frames a second, or hold a frame between taking its sound and showing it.
    ASSERT_FALSE(silent.frames.empty());
    ASSERT_GE(hintFrame, 0);
    const auto hinted = std::find_if(silent.frames.begin(), silent.frames.end(),
                                     [&](const TraceFrame& f) { return f.frame >= hintFrame; });
    if (hinted != silent.frames.end()) {
      EXPECT_GE(hinted->chosenUs() - silent.frames.front().chosenUs(), 1'999'000)
          << "the hint came before two seconds of silence";
    }
  }
  // A deep buffer: a busy machine must not make the player starve (its gaps would move and split the clicks).
  const std::string play = "paplay --latency-msec=250 " + P("clicks.wav");
  ASSERT_EQ(pulse.Run(play), 0);

  pulse.Stop();
  EXPECT_TRUE(WaitUntil([&] { return Contains(ReadFileText(P("err.txt")), "lost the sound server"); }, 30s));
  const std::size_t framesWithoutServer = framesShown();
  ASSERT_TRUE(pulse.Start());
  EXPECT_TRUE(WaitUntil([&] { return timesSaid("the sound server is back") == 2; }, 30s)) << ReadFileText(P("err.txt"));
  EXPECT_GT(framesShown(), framesWithoutServer);  // the picture went on meanwhile
  ASSERT_EQ(pulse.Run(play), 0);
  std::this_thread::sleep_for(200ms);
  kill(live.pid, SIGINT);
  EXPECT_EQ(WaitExit(live, 60s), 130) << ReadFileText(P("err.txt"));
  pulse.Stop();

  const Trace trace = ReadTrace(P("trace.txt"));
  // The sound took the hint away.
  const std::string notes = Notes(trace);
  EXPECT_TRUE(Contains(notes.substr(notes.find(waiting)), "status: (none)")) << notes;
  const std::vector<std::size_t> shown = ClickFrames(trace);
  // A busy machine may hold the player for longer than a click lasts; the frames after it skip the sound between
  // (a live picture shows the newest), and the trace shows each such skip. Each may hide one click, and no other
  // click may go unshown.
  std::size_t skips = 0;
  for (std::size_t i = 1; i < trace.frames.size(); ++i)
    skips += trace.frames[i].blockStart - trace.frames[i - 1].blockStart > kClickLoudSamples;
  ASSERT_LE(shown.size(), 2 * kClickOnsets.size()) << DescribeClicks(trace, shown);
  ASSERT_GE(shown.size() + skips, 2 * kClickOnsets.size()) << DescribeClicks(trace, shown);
  double worstUs = 0;
  std::vector<double> delays;
  for (std::size_t k = 0; k < shown.size(); ++k) {
    const TraceFrame& f = trace.frames[shown[k]];
    // When the click reached us: its time at the source (its onset, or the first sample the frame shows when the
    // onset fell between frames) plus the server's latency.
    const double atSource = HeardUs(f, f.peakPos);
    const double due = atSource + static_cast<double>(f.latencyUs);
    // A live picture can only show what has arrived: the click is on the first frame taken after it arrived
    // (the frame before had not received it), which on an idle machine is within one frame and one 10 ms read.
    ASSERT_GT(shown[k], 0u);
    EXPECT_LE(trace.frames[shown[k] - 1].clockPos, f.peakPos) << "click " << k;
    EXPECT_GE(f.chosenUs() - due, -1000) << "click " << k;
    delays.push_back(f.chosenUs() - due);
    worstUs = std::max(worstUs, static_cast<double>(f.shownUs) - atSource);
  }
  std::sort(delays.begin(), delays.end());
  EXPECT_LT(delays[delays.size() / 2], 30000);
  std::cout << "live: longest time from a click at the source to its frame on screen " << worstUs / 1000
            << " ms; median from its arrival to its frame " << delays[delays.size() / 2] / 1000 << " ms\n";
}

TEST_F(PlayerTest, LiveWithoutASoundServerSaysSo) {
  // A server that takes the connection and never answers: the client library alone would wait 30 s.
  const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", P("silent").c_str());
  ASSERT_EQ(::bind(silent, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(silent, 4), 0);
  const char* cases[][2] = {{"no-server", "no sound server is running"},
                            {"silent", "the sound server does not answer (waited 5 s)"}};
  for (const auto& server : cases) {
    const std::vector<std::string> env = {"PULSE_SERVER=unix:" + P(server[0]), "SDL_VIDEODRIVER=dummy"};
    // --list-sources fails; the window opens all the same, says what is missing on screen and keeps trying.
    for (const char* option : {"--list-sources", "--trace"}) {
      SCOPED_TRACE(std::string(server[0]) + " " + option);
      Child live;
      std::vector<std::string> argv = {TAVELMIR_CLI_BINARY, "live", "--plugin-dir", plugin.string(), option};
      const bool window = std::string(option) == "--trace";
      if (window) argv.insert(argv.end(), {P("trace.txt"), "-y", "--keys", "100:q"});
      Spawn(live, argv, env, P("out.txt"), P("err.txt"));
      EXPECT_EQ(WaitExit(live, 60s), window ? 0 : 1);
      EXPECT_TRUE(Contains(ReadFileText(P("err.txt")), server[1])) << ReadFileText(P("err.txt"));
      if (window) {
        EXPECT_TRUE(Contains(ReadFileText(P("err.txt")), "; trying again")) << ReadFileText(P("err.txt"));
        EXPECT_TRUE(Contains(ReadFileText(P("trace.txt")), std::string("status: ") + server[1]));
        EXPECT_GE(ReadTrace(P("trace.txt")).frames.size(), 100u);
      }
    }
  }
  ::close(silent);
  // A source the server refuses is named in the message.
  EXPECT_TRUE(Contains(PulseStartError(PA_ERR_INVALID, "odd name"), "refused the source 'odd name'"));
  EXPECT_TRUE(Contains(PulseStartError(PA_ERR_NOENTITY, "gone"), "no sound source named 'gone'"));
}

// The trace is an output like any other: never the song, an existing file replaced only with -y, a device taken as
// it is.
TEST_F(PlayerTest, TheTraceFollowsTheRulesOfEveryOutput) {
  const std::vector<std::uint8_t> song = ReadBytes(P("clicks.wav"));
  WriteFileText(P("old.txt"), "an older trace");
  struct Case {
    std::vector<std::string> options;
    int status;
    const char* message;
    bool played;  // refusals come before the audio device opens
  } cases[] = {{{"--trace", P("clicks.wav"), "-y"}, 1, "is the input", false},
               {{"--trace", P("old.txt")}, 1, "already exists; add -y", false},
               {{"--trace", P("none/trace.txt")}, 1, "does not exist", false},
               {{"--trace", P("new.txt"), "--palette", "tangerine"}, 2, "no palette named 'tangerine'", false},
               {{"--trace", "/dev/full", "--keys", "3:q"}, 1, "cannot write the trace '/dev/full'", true},
               {{"--trace", "/dev/null", "--keys", "3:q"}, 0, "", true},
               {{"--trace", "-", "--keys", "3:q"}, 0, "", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options[1]);
    std::vector<std::string> argv = {TAVELMIR_CLI_BINARY, "play", P("clicks.wav"), "--plugin-dir", plugin.string()};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    std::vector<std::string> env = kHeadlessSdl;
    env.push_back("SDL_AUDIODRIVER=disk");
    env.push_back("SDL_DISKAUDIOFILE=" + P("out.raw"));
    Child child;
    fs::remove(P("out.raw"));
    Spawn(child, argv, env, P("out.txt"), P("err.txt"));
    EXPECT_EQ(WaitExit(child, 120s), c.status) << ReadFileText(P("err.txt"));
    EXPECT_TRUE(Contains(ReadFileText(P("err.txt")), c.message)) << ReadFileText(P("err.txt"));
    EXPECT_EQ(fs::exists(P("out.raw")), c.played);
    // Standard output holds the trace alone; the song's name goes with the messages.
    if (c.options[1] == "-") {
      EXPECT_EQ(ReadFileText(P("out.txt")).rfind("# frame shown_us", 0), 0u);
    }
  }
  EXPECT_TRUE(ReadBytes(P("clicks.wav")) == song);
  EXPECT_EQ(ReadFileText(P("old.txt")), "an older trace");
  EXPECT_FALSE(fs::exists(P("new.txt")));
}

// Ctrl+C and SIGTERM end the player as they end other programs (128 + the signal), after it has closed its trace
// with the closing summary.
TEST_F(PlayerTest, ASignalEndsThePlayerAfterItsCleanup) {
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    fs::remove(P("trace.txt"));
    std::vector<std::string> env = kHeadlessSdl;
    env.push_back("SDL_AUDIODRIVER=disk");
    env.push_back("SDL_DISKAUDIOFILE=" + P("out.raw"));
    Child child;
    Spawn(child,
          {TAVELMIR_CLI_BINARY, "play", P("clicks.wav"), "--plugin-dir", plugin.string(), "--trace", P("trace.txt")},
          env, P("out.txt"), P("err.txt"));
    ASSERT_TRUE(WaitUntil([&] { return ReadTrace(P("trace.txt")).frames.size() >= 3; }, 60s));
    kill(child.pid, signal);
    EXPECT_EQ(WaitExit(child, 60s), 128 + signal) << ReadFileText(P("err.txt"));
    EXPECT_TRUE(Contains(ReadFileText(P("err.txt")), signal == SIGINT ? "interrupted by SIGINT" : "SIGTERM"));
    EXPECT_TRUE(Contains(Notes(ReadTrace(P("trace.txt"))), "end: ")) << Notes(ReadTrace(P("trace.txt")));
  }
}

}  // namespace
