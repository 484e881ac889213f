// The ripple simulation: injection geometry and values, borders, damping, height map and counters.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>

#include "support/stage_record.h"
#include "support/frame_oracle.h"
#include "core/table_placement.h"

namespace {

constexpr std::uint16_t kPoison = 0xBEEF;

class WaveFieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStageRecord();
    AllocateFrameTables();
    FillRandomTables(7);
    for (int b = 0; b < 2; ++b)
      for (int i = 0; i < 65536; ++i) g_stage.Tables.WaveBuffer[b][i] = kPoison;
    g_stage.Params.WaveGain = 2.4f;
    g_stage.Params.WaveShift = 4;
    g_stage.Settings.WaveAttenuationRate = 5;
    std::memset(module_.waveformData, 0, sizeof module_.waveformData);  // silence: every sample 0
  }
  void TearDown() override {
    ReleaseFrameTables();
    ResetStageRecord();
  }

  // Sample i of a channel given as its unsigned value 0..255 (the signed sample plus 128).
  template <typename F>
  void SetChannel(int channel, F unsignedSample) {
    for (int i = 0; i < 576; ++i)
      module_.waveformData[channel][i] = static_cast<unsigned char>(unsignedSample(i) ^ 0x80);
  }
  // After the first step from parity 0, buffer #1 is the one the walks wrote into.
  std::uint16_t* Previous() { return g_stage.Tables.WaveBuffer[g_stage.Counters.WaveParity == 1 ? 1 : 0]; }
  std::uint16_t* Current() { return g_stage.Tables.WaveBuffer[g_stage.Counters.WaveParity == 1 ? 0 : 1]; }
  // Cells of rows 1..254 of the previous buffer that the walks replaced (the poison is gone).
  std::set<int> WrittenCells() {
    std::set<int> cells;
    for (int i = 256; i < 65280; ++i)
      if (Previous()[i] != kPoison) cells.insert(i);
    return cells;
  }

  WaveBlock module_{};
};

// The cell a profile entry gives, written out from the rule: capped at 255, truncated (saturating at the int
// range), shifted modulo 32, low 16 bits kept.
std::uint16_t ExpectedCell(std::uint16_t entry, float gain, int shift) {
  const int h = 2 * std::abs(entry - 128);
  const double product = static_cast<double>(gain) * h;
  double value = product > 255 ? 255 : std::trunc(product);
  if (value < -2147483648.0) value = -2147483648.0;
  const auto bits = static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
  return static_cast<std::uint16_t>(bits << (static_cast<std::uint32_t>(shift) & 31u));
}

std::set<int> Range(int first, int last) {
  std::set<int> cells;
  for (int i = first; i <= last; ++i) cells.insert(i);
  return cells;
}

TEST_F(WaveFieldTest, FirstFrameLaysBothRidgesAlongRows) {
  SetChannel(1, [](int i) { return (i / 24) % 2 ? 230 : 20; });
  ASSERT_EQ(StepStageFrame(module_.waveformData), 0);

  std::set<int> expected = Range(32768, 33087);    // channel 0: row 128, then columns 0..63 of row 129
  const std::set<int> channel1 = Range(512, 831);  // channel 1: row 2, then columns 0..63 of row 3
  expected.insert(channel1.begin(), channel1.end());
  EXPECT_EQ(WrittenCells(), expected);
  for (int k = 0; k < 320; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(Previous()[32768 + k], 0);                                                  // silence writes zeros
    EXPECT_EQ(Previous()[512 + k], ExpectedCell(g_stage.Trace.LineProfile[k], 2.4f, 4));  // entry k -> k-th cell
  }
}

TEST_F(WaveFieldTest, PlacementRoundsToSinglePrecisionWhereStated) {
  // Frames where keeping a value in double precision would move a written cell; each entry names a cell that
  // the single-precision placement writes and (where there is one) the cell a widened placement would write.
  struct Case {
    const char* what;
    std::uint32_t frame;
    int written, untouched;
  } cases[] = {
      {"channel 0 start ordinate", 400, 45033, 45289},
      {"channel 1 start ordinate, rounded once", 978, 63641, 63385},
      {"channel 1 start ordinate on a whole row", 1000, 483, 549},
      {"end point and extent: 321 cells", 1000, 548, -1},
      {"slope", 901, 62386, 62130},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.what << " at frame " << c.frame);
    TearDown();
    SetUp();
    g_stage.Counters.FrameCounter = c.frame;
    ASSERT_EQ(StepStageFrame(module_.waveformData), 0);
    EXPECT_EQ(Previous()[c.written], 0);
    if (c.untouched >= 0) {
      EXPECT_EQ(Previous()[c.untouched], kPoison);
    }
  }
}

TEST_F(WaveFieldTest, SilenceGivesAFlatProfile) {
  g_stage.Counters.FrameCounter = 4321;
  ASSERT_EQ(StepStageFrame(module_.waveformData), 0);
  for (int i = 0; i < 258; ++i) ASSERT_EQ(g_stage.Trace.SampleTrace[i], 128) << i;
  for (int k = 0; k < 320; ++k) ASSERT_EQ(g_stage.Trace.LineProfile[k], 128) << k;
  const std::set<int> written = WrittenCells();
  EXPECT_GE(written.size(), 2u * 227 - 10);  // two grooves, minus what border rows swallowed
  for (int cell : written) ASSERT_EQ(Previous()[cell], 0) << cell;
}

TEST_F(WaveFieldTest, TraceStartsFromSampleOneAndMovesAtMostFour) {
  SetChannel(1, [](int i) { return i == 1 ? 200 : 0; });
  ASSERT_EQ(StepStageFrame(module_.waveformData), 0);
  EXPECT_EQ(g_stage.Trace.SampleTrace[0], 200);
  EXPECT_EQ(g_stage.Trace.SampleTrace[1], 196);  // toward sample 0
  EXPECT_EQ(g_stage.Trace.SampleTrace[2], 200);  // toward sample 1
  EXPECT_EQ(g_stage.Trace.SampleTrace[3], 196);  // samples 2.. are 0
  EXPECT_EQ(g_stage.Trace.SampleTrace[52], 0);
}

TEST_F(WaveFieldTest, SquareWaveRampsAndCapsAt255BeforeTheShift) {
  SetChannel(1, [](int i) { return (i / 64) % 2 ? 255 : 0; });
  g_stage.Params.WaveGain = 4.0f;
  g_stage.Params.WaveShift = 3;
  ASSERT_EQ(StepStageFrame(module_.waveformData), 0);
  int steepSteps = 0;
  for (int i = 0; i + 1 < 258; ++i) {
    const int step = std::abs(g_stage.Trace.SampleTrace[i + 1] - g_stage.Trace.SampleTrace[i]);
    ASSERT_LE(step, 4) << i;
    steepSteps += step == 4;
  }
  EXPECT_GE(steepSteps, 190);  // of 257: the trace is ramping almost everywhere
  std::uint16_t highest = 0;
  for (int k = 0; k < 320; ++k) highest = std::max(highest, Previous()[512 + k]);
  EXPECT_EQ(highest, 255 << 3);
}

TEST_F(WaveFieldTest, BodyFarBelowTheMeanWrapsToFullHeight) {
  SetChannel(1, [](int i) { return i >= 100 && i < 200 ? 0 : 255; });
  g_stage.Params.WaveGain = 1 * 0.01568627450980392f;  // amplitude 1
  g_stage.Params.WaveShift = 0;
  ASSERT_EQ(StepStageFrame(module_.waveformData), 0);
  int wrapped = 0;
  for (int k = 0; k < 320; ++k) {
    if (g_stage.Trace.LineProfile[k] < 65409) continue;
    ++wrapped;
    EXPECT_EQ(Previous()[512 + k], 255) << k;
  }
  EXPECT_GT(wrapped, 10);
}

TEST_F(WaveFieldTest, CellValuesFollowGainAndShiftForAnySettings) {
  struct Case {
    const char* name;
    float gain;
    int shift;
  } cases[] = {
      {"defaults", 2.4f, 4},
      {"loudest", 4.0f, 8},
      {"silent gain", 0.0f, 4},
      {"negative gain", -1.0f, 0},
      {"negative shift is taken mod 32", 2.4f, -31},
      {"shift beyond 32", 0.5f, 37},
      {"huge gain caps at 255", 3.0e7f, 2},
      {"huge negative gain saturates", -3.0e7f, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    SetChannel(1, [](int i) { return i >= 100 && i < 200 ? 0 : (i * 37) % 256; });
    g_stage.Params.WaveGain = c.gain;
    g_stage.Params.WaveShift = c.shift;
    ASSERT_EQ(StepStageFrame(module_.waveformData), 0);
    for (int k = 0; k < 320; ++k)
      ASSERT_EQ(Previous()[512 + k], ExpectedCell(g_stage.Trace.LineProfile[k], c.gain, c.shift)) << k;
  }
}

TEST_F(WaveFieldTest, BorderRowsAreClearedInBothBuffers) {
  FillRandomTables(11);
  SetChannel(0, [](int i) { return (i * 13) % 256; });
  ASSERT_EQ(StepStageFrame(module_.waveformData), 0);
  for (int b = 0; b < 2; ++b)
    for (int c = 0; c < 256; ++c) {
      ASSERT_EQ(g_stage.Tables.WaveBuffer[b][c], 0) << b << " " << c;
      ASSERT_EQ(g_stage.Tables.WaveBuffer[b][65280 + c], 0) << b << " " << c;
    }
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(g_stage.Tables.HeightMap[c * 256 + 0], 0) << c;
    EXPECT_EQ(g_stage.Tables.HeightMap[c * 256 + 255], 0) << c;
  }
}

TEST_F(WaveFieldTest, ZeroDampingShiftFlattensEverything) {
  FillRandomTables(12);
  g_stage.Params.WaveShift = 0;
  g_stage.Settings.WaveAttenuationRate = 0;
  SetChannel(0, [](int i) { return (i * 13) % 256; });
  ASSERT_EQ(StepStageFrame(module_.waveformData), 0);
  for (int i = 256; i < 65280; ++i) ASSERT_EQ(Current()[i], 0) << i;
  for (int i = 0; i < 65536; ++i) ASSERT_EQ(g_stage.Tables.HeightMap[i], 0) << i;
}

TEST_F(WaveFieldTest, DampingShiftWrapsModulo32) {
  // 20 + 12 = 32 acts as 0: everything flattens, as with d = 0.
  FillRandomTables(13);
  g_stage.Params.WaveShift = 20;
  g_stage.Settings.WaveAttenuationRate = 12;
  ASSERT_EQ(StepStageFrame(module_.waveformData), 0);
  for (int i = 256; i < 65280; ++i) ASSERT_EQ(Current()[i], 0) << i;
}

TEST_F(WaveFieldTest, CountersAdvanceOnceAFrame) {
  g_stage.Counters.FrameCounter = 0xFFFFFFFFu;
  g_stage.Counters.TextureScroll = 65535;
  ASSERT_EQ(StepStageFrame(module_.waveformData), 0);
  EXPECT_EQ(g_stage.Counters.WaveParity, 1);
  EXPECT_EQ(g_stage.Counters.FrameCounter, 0u);
  EXPECT_EQ(g_stage.Counters.TextureScroll, 257u);
  ASSERT_EQ(StepStageFrame(module_.waveformData), 0);
  EXPECT_EQ(g_stage.Counters.WaveParity, 0);
}

TEST_F(WaveFieldTest, TextureScrollAfter254And255Frames) {
  for (int frame = 1; frame <= 255; ++frame) {
    ASSERT_EQ(StepStageFrame(module_.waveformData), 0);
    if (frame == 254) {
      EXPECT_EQ(g_stage.Counters.TextureScroll, 65532u);
    }
  }
  EXPECT_EQ(g_stage.Counters.TextureScroll, 254u);
  EXPECT_EQ(g_stage.Counters.FrameCounter, 255u);
}

TEST_F(WaveFieldTest, MissingBuffersFailTheFrame) {
  ReleasePlacedBlock(g_stage.Tables.HeightMap);
  g_stage.Tables.HeightMap = nullptr;
  EXPECT_EQ(StepStageFrame(module_.waveformData), 1);
  EXPECT_EQ(g_stage.Counters.FrameCounter, 0u);
}

}  // namespace
