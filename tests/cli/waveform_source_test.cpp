// Audio to waveform blocks: sample conversion, frame timing, channels, formats, the last partial frame, streams.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/stat.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "audio_decoder.h"
#include "cli_test_support.h"
#include "frame_sinks.h"
#include "waveform_source.h"

namespace {

std::int8_t At(const unsigned char* block, int channel, int i) {
  return static_cast<std::int8_t>(block[channel * 576 + i]);
}

TEST(SampleConversion, KeepsTheTopEightBitsOfIntegerSamples) {
  struct Case {
    double sample;
    int expected;
  } cases[] = {{0.0, 0},
               {255 / 32768.0, 0},
               {256 / 32768.0, 1},
               {-1 / 32768.0, -1},
               {-256 / 32768.0, -1},
               {-257 / 32768.0, -2},
               {32767 / 32768.0, 127},
               {-1.0, -128},
               {0.5, 64},
               {-0.5, -64},
               {1.0, 127},
               {1.7, 127},
               {-3.0, -128},
               {NAN, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sample);
    EXPECT_EQ(SampleToSigned8(c.sample), c.expected);
  }
  // The player's 16-bit sound and a decoded file's samples give the same waveform.
  for (int s = -32768; s <= 32767; ++s)
    ASSERT_EQ(Pcm16ToSigned8(static_cast<std::int16_t>(s)), SampleToSigned8(s / 32768.0)) << s;
}

TEST(FrameTiming, CountsEveryFrameThatStartsInsideTheAudio) {
  EXPECT_EQ(AudioFrameCount(44100, 44100), 50);
  EXPECT_EQ(AudioFrameCount(44101, 44100), 51);
  EXPECT_EQ(AudioFrameCount(882, 44100), 1);
  EXPECT_EQ(AudioFrameCount(883, 44100), 2);
  EXPECT_EQ(AudioFrameCount(1, 8000), 1);
  EXPECT_EQ(AudioFrameCount(0, 44100), 0);
  // Lengths straight from a header, however absurd, never overflow the arithmetic.
  EXPECT_EQ(AudioFrameCount(INT64_MAX, 1000), INT64_MAX / 1000 * 50 + 41);
  EXPECT_GT(AudioFrameCount(INT64_MAX - 1, 768000), 0);
}

TEST(FrameTiming, FrameStartsAtFloorOfFrameTimesRateOverFifty) {
  EXPECT_EQ(FrameStartSample(1, 44100, 0), 882);
  EXPECT_EQ(FrameStartSample(3, 22050, 0), 1323);
  EXPECT_EQ(FrameStartSample(1, 11025, 0), 220);
  EXPECT_EQ(FrameStartSample(2, 11025, 0), 441);
  EXPECT_EQ(FrameStartSample(7, 48000, 0), 6720);
  EXPECT_EQ(FrameStartSample(0, 44100, 441), -441);
  EXPECT_EQ(OffsetSamples(10, 44100), 441);
  EXPECT_EQ(OffsetSamples(-10, 44100), -441);
  EXPECT_EQ(OffsetSamples(0.01, 44100), 0);
}

class AudioFileTest : public ::testing::Test {
 protected:
  TempFolder folder;
};

TEST_F(AudioFileTest, SixteenBitStereoFeedsEachChannelFromTheFrameStart) {
  std::vector<double> samples;
  for (int i = 0; i < 2000; ++i) {
    samples.push_back(((i % 200) - 100) * 256 + (i % 256));  // left: i % 200 - 100 after the shift
    samples.push_back(-((i % 100) * 256));                   // right: -(i % 100)
  }
  WriteAudio(folder.path / "a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, samples);
  AudioClip clip;
  std::string error;
  ASSERT_TRUE(LoadAudioClip((folder.path / "a.wav").string(), clip, error)) << error;
  EXPECT_EQ(clip.rate, 44100);
  EXPECT_EQ(clip.length, 2000);
  unsigned char block[1152];
  std::memset(block, 0x55, sizeof block);
  FillWaveformBlock(clip, 1, 0, block);
  for (int i = 0; i < 576; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(At(block, 0, i), (882 + i) % 200 - 100);
    ASSERT_EQ(At(block, 1, i), -((882 + i) % 100));
  }
}

TEST_F(AudioFileTest, TheLastPartialFrameEndsInSilence) {
  std::vector<double> samples(1000, 16384);  // mono, 1000 samples: frames 0 and 1
  WriteAudio(folder.path / "m.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, samples);
  AudioClip clip;
  std::string error;
  ASSERT_TRUE(LoadAudioClip((folder.path / "m.wav").string(), clip, error)) << error;
  ASSERT_EQ(AudioFrameCount(clip.length, clip.rate), 2);
  unsigned char block[1152];
  std::memset(block, 0x55, sizeof block);
  FillWaveformBlock(clip, 1, 0, block);  // samples 882 .. 1457: 118 inside, the rest past the end
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(At(block, c, 0), 64);
    EXPECT_EQ(At(block, c, 117), 64);
    EXPECT_EQ(At(block, c, 118), 0);
    EXPECT_EQ(At(block, c, 575), 0);
  }
}

TEST_F(AudioFileTest, MonoFeedsBothChannels) {
  std::vector<double> samples;
  for (int i = 0; i < 600; ++i) samples.push_back(((i % 50) - 25) * 256);
  WriteAudio(folder.path / "m.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1, samples);
  AudioClip clip;
  std::string error;
  ASSERT_TRUE(LoadAudioClip((folder.path / "m.flac").string(), clip, error)) << error;
  unsigned char block[1152];
  FillWaveformBlock(clip, 0, 0, block);
  for (int i = 0; i < 576; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(At(block, 0, i), i % 50 - 25);
    ASSERT_EQ(At(block, 1, i), i % 50 - 25);
  }
}

TEST_F(AudioFileTest, FloatSamplesAreScaledAndClipped) {
  const std::vector<double> samples = {0.5, -0.5, 1.5, -2.0, 0.25, 0.0};  // stereo, 3 frames
  WriteAudio(folder.path / "f.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, samples);
  AudioClip clip;
  std::string error;
  ASSERT_TRUE(LoadAudioClip((folder.path / "f.wav").string(), clip, error)) << error;
  ASSERT_EQ(clip.length, 3);
  unsigned char block[1152];
  FillWaveformBlock(clip, 0, 0, block);
  EXPECT_EQ(At(block, 0, 0), 64);
  EXPECT_EQ(At(block, 1, 0), -64);
  EXPECT_EQ(At(block, 0, 1), 127);
  EXPECT_EQ(At(block, 1, 1), -128);
  EXPECT_EQ(At(block, 0, 2), 32);
  EXPECT_EQ(At(block, 0, 3), 0);
}

TEST_F(AudioFileTest, UnsignedEightBitSamplesBecomeSigned) {
  const std::vector<double> samples = {64, -128, 0, 127};  // stored as 192, 0, 128, 255
  WriteAudio(folder.path / "u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 11025, 1, samples);
  AudioClip clip;
  std::string error;
  ASSERT_TRUE(LoadAudioClip((folder.path / "u8.wav").string(), clip, error)) << error;
  unsigned char block[1152];
  FillWaveformBlock(clip, 0, 0, block);
  EXPECT_EQ(At(block, 0, 0), 64);
  EXPECT_EQ(At(block, 0, 1), -128);
  EXPECT_EQ(At(block, 0, 2), 0);
  EXPECT_EQ(At(block, 0, 3), 127);
}

TEST_F(AudioFileTest, APositiveOffsetShowsEarlierSoundInTheSameFrame) {
  std::vector<double> samples;
  for (int i = 0; i < 4000; ++i) samples.push_back(((i % 101) - 50) * 256);
  WriteAudio(folder.path / "o.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, samples);
  AudioClip clip;
  std::string error;
  ASSERT_TRUE(LoadAudioClip((folder.path / "o.wav").string(), clip, error)) << error;
  unsigned char block[1152];
  FillWaveformBlock(clip, 0, OffsetSamples(10, 44100), block);  // starts 441 samples before the audio
  EXPECT_EQ(At(block, 0, 440), 0);
  EXPECT_EQ(At(block, 0, 441), -50);
  EXPECT_EQ(At(block, 0, 442), -49);
  FillWaveformBlock(clip, 2, OffsetSamples(-10, 44100), block);  // starts at 1764 + 441
  EXPECT_EQ(At(block, 0, 0), (2205 % 101) - 50);
}

TEST_F(AudioFileTest, UnreadableAudioIsRefusedWithItsName) {
  WriteBytes(folder.path / "notes.txt", {'h', 'e', 'l', 'l', 'o'});
  const std::string cases[] = {(folder.path / "notes.txt").string(), (folder.path / "missing.wav").string(),
                               folder.path.string()};
  for (const std::string& path : cases) {
    SCOPED_TRACE(path);
    AudioClip clip;
    std::string error;
    EXPECT_FALSE(LoadAudioClip(path, clip, error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
  }
}

// A test song: stereo 16-bit, changing tones with a little noise, at `rate`.
std::vector<double> SongSamples(int rate, int seconds) {
  std::vector<double> samples;
  unsigned noise = 1;
  for (int i = 0; i < rate * seconds; ++i) {
    noise = noise * 1103515245u + 12345u;
    const double t = static_cast<double>(i) / rate;
    samples.push_back(std::floor(20000 * std::sin(t * (300 + 200 * std::sin(t)))) + (noise >> 28));
    samples.push_back(std::floor(15000 * std::sin(t * 97.0)) - (noise >> 29));
  }
  return samples;
}

// Every block of the stream, in order, until it reports the end.
std::vector<std::vector<unsigned char>> StreamBlocks(const std::string& path, double offsetMs, std::string& error) {
  WaveformStream stream;
  std::vector<std::vector<unsigned char>> blocks;
  if (!OpenWaveformStream(path, offsetMs, stream, error)) return blocks;
  for (std::int64_t n = 0;; ++n) {
    std::vector<unsigned char> block(1152);
    const int r = NextWaveformBlock(stream, n, block.data(), error);
    if (r <= 0) break;
    blocks.push_back(block);
  }
  CloseWaveformStream(stream);
  return blocks;
}

TEST_F(AudioFileTest, AStreamCutsTheSameBlocksAsTheWholeClip) {
  WriteAudio(folder.path / "s.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, SongSamples(44100, 2));
  const std::string path = (folder.path / "s.flac").string();
  AudioClip clip;
  std::string error;
  ASSERT_TRUE(LoadAudioClip(path, clip, error)) << error;
  for (double offsetMs : {0.0, 120.0, -75.5}) {
    SCOPED_TRACE(offsetMs);
    const auto blocks = StreamBlocks(path, offsetMs, error);
    ASSERT_EQ(static_cast<std::int64_t>(blocks.size()), AudioFrameCount(clip.length, clip.rate)) << error;
    unsigned char expected[1152];
    for (std::size_t n = 0; n < blocks.size(); ++n) {
      FillWaveformBlock(clip, static_cast<std::int64_t>(n), OffsetSamples(offsetMs, clip.rate), expected);
      ASSERT_EQ(std::memcmp(blocks[n].data(), expected, 1152), 0) << "frame " << n;
    }
  }
}

// The file as libsndfile alone reads it.
AudioClip ClipThroughLibsndfile(const fs::path& path) {
  AudioClip clip;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return clip;
  sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
  std::vector<double> frame(static_cast<std::size_t>(info.channels));
  while (sf_readf_double(file, frame.data(), 1) == 1) {
    clip.channel[0].push_back(SampleToSigned8(frame[0]));
    clip.channel[1].push_back(SampleToSigned8(frame[info.channels > 1 ? 1 : 0]));
  }
  sf_close(file);
  clip.rate = info.samplerate;
  clip.length = static_cast<std::int64_t>(clip.channel[0].size());
  return clip;
}

// The file fed through a named pipe, which only FFmpeg reads, as standard input would be.
AudioClip ClipThroughAPipe(const fs::path& file, std::string& error) {
  const fs::path fifo = file.string() + ".fifo";
  AudioClip clip;
  if (::mkfifo(fifo.c_str(), 0600) != 0) return clip;
  const std::vector<std::uint8_t> bytes = ReadBytes(file);
  std::thread writer([&] {
    std::ofstream out(fifo, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  });
  LoadAudioClip(fifo.string(), clip, error);
  writer.join();
  return clip;
}

// Files the first reader stops short in: read whole, as through a pipe, with a warning where damage was skipped.
TEST_F(AudioFileTest, ChainedDamagedAndUnderstatedFilesAreReadWhole) {
  if (FindProgramOnPath("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is not installed";
  const auto make = [&](const std::string& name, const char* codec, int seconds, int pitch) {
    const std::string command = "ffmpeg -v error -f lavfi -i sine=f=" + std::to_string(pitch) +
                                ":d=" + std::to_string(seconds) + ":r=22050 -c:a " + codec + " '" +
                                (folder.path / name).string() + "'";
    return std::system(command.c_str()) == 0 ? ReadBytes(folder.path / name) : std::vector<std::uint8_t>{};
  };
  const auto damage = [](std::vector<std::uint8_t> bytes, std::size_t length) {
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + length && i < bytes.size(); ++i) bytes[i] ^= 0x5A;
    return bytes;
  };
  std::vector<std::uint8_t> chained = make("a.ogg", "libvorbis", 4, 300), second = make("b.ogg", "libvorbis", 3, 500);
  chained.insert(chained.end(), second.begin(), second.end());
  const std::vector<std::uint8_t> flac = make("w.flac", "flac", 6, 300), mp3 = make("m.mp3", "libmp3lame", 6, 300);
  ASSERT_FALSE(chained.empty() || flac.empty() || mp3.empty());
  std::vector<std::uint8_t> understated = flac;  // STREAMINFO's 36-bit sample count says 2 s of the 6
  understated[21] = static_cast<std::uint8_t>(flac[21] & 0xF0);
  understated[22] = understated[23] = 0;
  understated[24] = 0xAC;  // 44100
  understated[25] = 0x44;
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    double seconds;  // of sound at least
    bool damaged;
  } cases[] = {{"chained.ogg", chained, 6.9, false},
               {"understated.flac", understated, 5.9, false},
               {"damaged.flac", damage(flac, 3000), 4.5, true},
               {"damaged.mp3", damage(mp3, 4000), 4.0, true},
               {"damaged.ogg", damage(make("v.ogg", "libvorbis", 6, 300), 200), 4.5, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = folder.path / c.name;
    WriteBytes(path, c.bytes);
    AudioDecoder decoder;
    std::string error;
    ASSERT_TRUE(OpenAudioDecoder(path.string(), decoder, error)) << error;
    std::vector<double> chunk(4096 * static_cast<std::size_t>(decoder.channels));
    std::int64_t length = 0;
    for (std::int64_t got; (got = ReadAudioFrames(decoder, chunk.data(), 4096, error)) > 0;) length += got;
    const std::vector<std::string> warnings = decoder.warnings;
    CloseAudioDecoder(decoder);
    EXPECT_GE(length, static_cast<std::int64_t>(c.seconds * 22050)) << error;
    EXPECT_NEAR(static_cast<double>(length), static_cast<double>(ClipThroughAPipe(path, error).length), 1152);
    ASSERT_EQ(warnings.size(), c.damaged ? 1u : 0u);
    if (c.damaged) {
      EXPECT_TRUE(warnings[0].find(c.name) != std::string::npos && warnings[0].find(" at 0:0") != std::string::npos)
          << warnings[0];
    }
  }
}

// A pipe goes to FFmpeg alone; its samples must be the very values libsndfile reads from the same bytes.
TEST_F(AudioFileTest, FfmpegThroughAPipeDecodesWavAndFlacToTheSameSamples) {
  struct Case {
    const char* name;
    int format;
  } cases[] = {{"p16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
               {"p24.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
               {"pu8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8},
               {"pf.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<double> samples = SongSamples(22050, 1);
    const bool floats = (c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT;
    const bool eightBit = (c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_U8;
    const bool wide = (c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_24;
    for (double& v : samples) v = floats ? v / 20000.0 : eightBit ? std::floor(v / 256) : wide ? v * 256 + 77 : v;
    WriteAudio(folder.path / c.name, c.format, 22050, 2, samples);
    const fs::path fifo = folder.path / (std::string(c.name) + ".fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::uint8_t> bytes = ReadBytes(folder.path / c.name);
    std::thread writer([&] {
      std::ofstream out(fifo, std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    });
    AudioClip fromFile, fromPipe;
    std::string error;
    ASSERT_TRUE(LoadAudioClip((folder.path / c.name).string(), fromFile, error)) << error;
    // FLAC files go to FFmpeg too, which must give libsndfile's values.
    const AudioClip bySndfile = ClipThroughLibsndfile(folder.path / c.name);
    EXPECT_EQ(fromFile.channel[0], bySndfile.channel[0]);
    EXPECT_EQ(fromFile.channel[1], bySndfile.channel[1]);
    const bool piped = LoadAudioClip(fifo.string(), fromPipe, error);
    writer.join();
    ASSERT_TRUE(piped) << error;
    EXPECT_EQ(fromPipe.rate, 22050);
    EXPECT_EQ(fromPipe.length, fromFile.length);
    EXPECT_EQ(fromPipe.channel[0], fromFile.channel[0]);
    EXPECT_EQ(fromPipe.channel[1], fromFile.channel[1]);
  }
}

// Film dialogue sits in the centre of a 5.1 file: both sides carry it, at FFmpeg's downmix weight
// (0.5 * 0.7071 / 2.4142 = 0.146, 18 after the shift), through libsndfile as through FFmpeg.
TEST_F(AudioFileTest, SurroundIsMixedDownSoTheCentreIsHeardOnBothSides) {
  std::vector<double> samples;
  for (int i = 0; i < 2000; ++i)
    for (int c = 0; c < 6; ++c) samples.push_back(c == 2 ? 16384 : c == 3 ? -30000 : 0);
  WriteAudio(folder.path / "s.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 6, samples);
  AudioClip fromFile;
  std::string error;
  ASSERT_TRUE(LoadAudioClip((folder.path / "s.wav").string(), fromFile, error)) << error;
  ASSERT_EQ(fromFile.length, 2000);
  unsigned char block[1152];
  FillWaveformBlock(fromFile, 0, 0, block);
  EXPECT_EQ(At(block, 0, 0), 18);
  EXPECT_EQ(At(block, 1, 575), 18);
  AudioDecoder decoder;
  ASSERT_TRUE(OpenAudioDecoder((folder.path / "s.wav").string(), decoder, error)) << error;
  EXPECT_EQ(decoder.channels, 2);
  EXPECT_EQ(decoder.sourceChannels, 6);
  CloseAudioDecoder(decoder);
  const AudioClip fromPipe = ClipThroughAPipe(folder.path / "s.wav", error);
  EXPECT_EQ(fromPipe.channel[0], fromFile.channel[0]) << error;
  EXPECT_EQ(fromPipe.channel[1], fromFile.channel[1]);
}

TEST_F(AudioFileTest, FormatsOnlyFfmpegReadsAndHeadersThatLie) {
  // AAC in an MP4 container, written by the ffmpeg program.
  const fs::path m4a = folder.path / "tone.m4a";
  const std::string make = "ffmpeg -v error -f lavfi -i sine=f=440:d=1:r=48000 -c:a aac '" + m4a.string() + "'";
  ASSERT_EQ(std::system(make.c_str()), 0);
  AudioClip clip;
  std::string error;
  ASSERT_TRUE(LoadAudioClip(m4a.string(), clip, error)) << error;
  EXPECT_EQ(clip.rate, 48000);
  EXPECT_NEAR(static_cast<double>(clip.length), 48000, 2048);

  // A WAV header claiming 2 GB of data over 1000 samples: read as what is there, nothing reserved for the claim.
  WriteAudio(folder.path / "l.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, std::vector<double>(1000, 256));
  std::vector<std::uint8_t> bytes = ReadBytes(folder.path / "l.wav");
  for (int k = 0; k < 4; ++k) bytes[40 + k] = k == 3 ? 0x7f : 0xff;
  WriteBytes(folder.path / "l.wav", bytes);
  ASSERT_TRUE(LoadAudioClip((folder.path / "l.wav").string(), clip, error)) << error;
  EXPECT_EQ(clip.length, 1000);

  // Refused before any sample is used: a rate no encoder takes, and bytes nobody decodes.
  WriteAudio(folder.path / "slow.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 1, std::vector<double>(10, 0));
  EXPECT_FALSE(LoadAudioClip((folder.path / "slow.wav").string(), clip, error));
  EXPECT_NE(error.find("1 Hz"), std::string::npos) << error;
  WriteBytes(folder.path / "noise.m4a", std::vector<std::uint8_t>(5000, 0x5a));
  EXPECT_FALSE(LoadAudioClip((folder.path / "noise.m4a").string(), clip, error));
  EXPECT_NE(error.find("noise.m4a"), std::string::npos) << error;
}

TEST_F(AudioFileTest, WaveformFilesMustHoldWholeBlocks) {
  WriteBytes(folder.path / "three", std::vector<std::uint8_t>(3 * 1152, 1));
  WriteBytes(folder.path / "ragged", std::vector<std::uint8_t>(1153, 1));
  WriteBytes(folder.path / "empty", {});
  WaveformFile source;
  std::string error;
  ASSERT_TRUE(OpenWaveformFile((folder.path / "three").string(), source, error)) << error;
  EXPECT_EQ(source.blocks, 3);
  unsigned char block[1152];
  for (int expected : {1, 1, 1, 0}) EXPECT_EQ(ReadWaveformBlock(source, block), expected);
  CloseWaveformFile(source);
  EXPECT_FALSE(OpenWaveformFile((folder.path / "ragged").string(), source, error));
  EXPECT_NE(error.find("1153 bytes"), std::string::npos) << error;
  EXPECT_FALSE(OpenWaveformFile((folder.path / "empty").string(), source, error));
  EXPECT_FALSE(OpenWaveformFile((folder.path / "none").string(), source, error));
}

}  // namespace
