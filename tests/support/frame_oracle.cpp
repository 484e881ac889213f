// Plain, literal transcriptions of the per-frame algorithms (wave field, landscape, tunnel, palette blend).
#include "support/frame_oracle.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include "numeric/exact_math.h"
#include "core/table_placement.h"

namespace {

template <typename T>
std::vector<T> CopyOf(const T* block, std::size_t count) {
  if (!block) return std::vector<T>(count);
  return std::vector<T>(block, block + count);
}

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// trunc toward zero, pinned to the int range for gains that only a hand-edited file produces.
int TruncToInt(double v) {
  double t = std::trunc(v);
  if (t > 2147483647.0) t = 2147483647.0;
  if (t < -2147483648.0) t = -2147483648.0;
  return static_cast<int>(t);
}

std::uint16_t CellValue(const OracleFrame& f, double p) {
  int index = static_cast<int>(std::trunc(p));
  if (index < 0 || index > 319) std::abort();  // the geometry promises 0..319
  int e = f.lineProfile[index];
  int h = 2 * std::abs(e - 128);
  double product = static_cast<double>(f.waveGain) * h;
  int value = product > 255 ? 255 : TruncToInt(product);
  std::uint32_t shifted = static_cast<std::uint32_t>(value) << (static_cast<std::uint32_t>(f.waveShift) % 32u);
  return static_cast<std::uint16_t>(shifted % 65536u);
}

void Write(std::vector<std::uint16_t>& field, int row, int column, std::uint16_t value) {
  int address = row * 256 + column;
  address = ((address % 65536) + 65536) % 65536;
  field[address] = value;
}

void Walk(OracleFrame& f, double x, float y, float ux, float uy, std::vector<std::uint16_t>& field) {
  float xe = static_cast<float>(x + 320.0 * static_cast<double>(ux));
  float ye = static_cast<float>(static_cast<double>(y) + 320.0 * static_cast<double>(uy));
  float dxExtent = static_cast<float>(static_cast<double>(xe) - x);
  float dyExtent = static_cast<float>(static_cast<double>(ye) - static_cast<double>(y));
  if (std::fabs(static_cast<double>(uy)) <= std::fabs(static_cast<double>(ux))) {
    float slope = static_cast<float>(static_cast<double>(uy) / static_cast<double>(ux));
    float step = static_cast<float>(320.0 / static_cast<double>(dxExtent));
    double beginX, beginY, p, count;
    if (ux >= 0) {
      beginX = x;
      beginY = y;
      p = 0;
      count = dxExtent;
    } else {
      beginX = xe;
      beginY = ye;
      p = 319;
      count = -static_cast<double>(dxExtent);
    }
    int column = static_cast<int>(std::trunc(beginX));
    double ordinate = beginY;
    while (count > 0) {
      Write(field, static_cast<int>(std::trunc(ordinate)), column, CellValue(f, p));
      column += 1;
      ordinate += slope;
      p += step;
      count -= 1;
    }
  } else {
    float slope = static_cast<float>(static_cast<double>(ux) / static_cast<double>(uy));
    float step = static_cast<float>(320.0 / static_cast<double>(dyExtent));
    double beginX, beginY, p, count;
    if (uy < 0) {
      beginX = xe;
      beginY = ye;
      p = 319;
      count = -static_cast<double>(dyExtent);
    } else {
      beginX = x;
      beginY = y;
      p = 0;
      count = dyExtent;
    }
    int row = static_cast<int>(std::trunc(beginY));
    double abscissa = beginX;
    while (count > 0) {
      Write(field, row, static_cast<int>(std::trunc(abscissa)), CellValue(f, p));
      row += 1;
      abscissa += slope;
      p += step;
      count -= 1;
    }
  }
}

}  // namespace

OracleFrame OracleFromState() {
  OracleFrame f;
  const TableSet& t = g_stage.Tables;
  f.waveBuffer[0] = CopyOf(t.WaveBuffer[0], 65536);
  f.waveBuffer[1] = CopyOf(t.WaveBuffer[1], 65536);
  f.heightMap = CopyOf(t.HeightMap, 65536);
  f.perspectiveTable = CopyOf(t.PerspectiveTable, 512);
  f.conversionTable = CopyOf(t.ConversionTable, 65536);
  f.textureMap = CopyOf(t.TextureMap, 131072);
  f.fadeTable = CopyOf(t.FadeTable, 65536);
  f.landscapeImage = CopyOf(t.LandscapeImage, 65536);
  f.width = g_stage.FrameWidth;
  f.height = g_stage.FrameHeight;
  f.pitch = g_stage.FramePitch;
  f.tunnelTable = CopyOf(t.TunnelTable, static_cast<std::size_t>(f.width) * f.height);
  f.pixels = CopyOf(g_stage.FramePixels, static_cast<std::size_t>(f.height) * f.pitch);
  f.waveParity = g_stage.Counters.WaveParity;
  f.frameCounter = g_stage.Counters.FrameCounter;
  f.textureScroll = g_stage.Counters.TextureScroll;
  f.waveGain = g_stage.Params.WaveGain;
  f.waveShift = g_stage.Params.WaveShift;
  f.waveAttenuationRate = g_stage.Settings.WaveAttenuationRate;
  return f;
}

void OracleBuildProfile(OracleFrame& f, const unsigned char* samples) {
  int w[576];
  for (int i = 0; i < 576; ++i) w[i] = static_cast<signed char>(samples[i]) + 128;

  int v = w[1];
  for (int i = 0; i <= 257; ++i) {
    f.sampleTrace[i] = static_cast<std::uint16_t>(v);
    int t = w[286 * i / 257];
    v = v + Clamp(t - v, -4, 4);
  }

  int body[256];
  int sum = 0;
  for (int k = 0; k <= 255; ++k) {
    body[k] = (f.sampleTrace[k] + f.sampleTrace[k + 2]) / 2;
    sum += body[k];
  }
  int mean = sum / 256;
  for (int k = 0; k <= 255; ++k) body[k] = (body[k] + 128 - mean + 65536) % 65536;

  for (int k = 0; k <= 255; ++k) f.lineProfile[32 + k] = static_cast<std::uint16_t>(body[k]);
  std::int32_t b0 = f.lineProfile[32];
  std::int32_t b1 = f.lineProfile[287];
  for (int k = 0; k <= 31; ++k) {
    f.lineProfile[k] = static_cast<std::uint16_t>(128 + ((b0 - 128) * k) / 32);
    f.lineProfile[288 + k] = static_cast<std::uint16_t>(128 + ((b1 - 128) * (31 - k)) / 32);
  }
}

void OracleInject(OracleFrame& f, const WaveBlock& module, std::vector<std::uint16_t>& previous) {
  // The factors are 2 pi / 1000, 500, 150, 250 and 400, with pi taken as 3.14159265357879.
  double F = static_cast<double>(f.frameCounter);
  double A1 = F * 0.00628318530715758;
  float ux = static_cast<float>(ExactCos(A1));
  float uy = static_cast<float>(ExactSin(A1));
  float A2 = static_cast<float>(F * 0.01256637061431516);
  float A3 = static_cast<float>(F * 0.0418879020477172);
  float A4 = static_cast<float>(F * 0.02513274122863032);
  double A5 = F * 0.01570796326789395;
  double X0 = 128 + 32 * (ExactSin(A2) + ExactSin(A3));
  double Y0 = 128 + 32 * (ExactSin(A4) + ExactSin(A5));

  OracleBuildProfile(f, module.waveformData[0]);
  double x = X0 - 128 * static_cast<double>(ux);
  float y0 = static_cast<float>(Y0 - 128 * static_cast<double>(uy));
  Walk(f, x, y0, ux, uy, previous);

  OracleBuildProfile(f, module.waveformData[1]);
  double x1 = X0 - 128 * static_cast<double>(ux) - 128 * static_cast<double>(uy) + 512;
  float y1 = static_cast<float>(static_cast<double>(y0) + 128 * static_cast<double>(ux) + 512);
  Walk(f, x1, y1, ux, uy, previous);
}

void OracleRipple(OracleFrame& f, const std::vector<std::uint16_t>& P, std::vector<std::uint16_t>& Q) {
  int d = static_cast<int>(
      (static_cast<std::uint32_t>(f.waveShift) + static_cast<std::uint32_t>(f.waveAttenuationRate)) % 32u);
  for (int i = 256; i <= 65279; ++i) {
    std::int32_t v = (P[i - 256] + P[i - 1] + P[i + 1] + P[i + 256]) / 2 - Q[i];
    if (v < 0) v = 0;
    Q[i] = static_cast<std::uint16_t>((v - (v >> d)) % 65536);
  }
}

void OracleHeightMap(OracleFrame& f, const std::vector<std::uint16_t>& Q) {
  int shift = static_cast<int>((static_cast<std::uint32_t>(f.waveShift) + 2u) % 32u);
  for (int r = 1; r <= 254; ++r) {
    for (int c = 0; c <= 255; ++c) {
      int i = r * 256 + c;
      std::uint32_t sum = Q[i - 256] + Q[i - 1] + Q[i + 1] + Q[i + 256];
      f.heightMap[c * 256 + r] = static_cast<std::uint8_t>((sum >> shift) % 256);
    }
  }
  for (int r : {0, 255})
    for (int c = 0; c <= 255; ++c) f.heightMap[c * 256 + r] = static_cast<std::uint8_t>(Q[r * 256 + c] % 256);
}

void OracleAdvanceWaveField(OracleFrame& f, const WaveBlock& module) {
  f.waveParity = f.waveParity ^ 1;
  std::vector<std::uint16_t>& current = f.waveParity == 1 ? f.waveBuffer[0] : f.waveBuffer[1];
  std::vector<std::uint16_t>& previous = f.waveParity == 1 ? f.waveBuffer[1] : f.waveBuffer[0];

  OracleInject(f, module, previous);
  for (int b = 0; b < 2; ++b)
    for (int c = 0; c <= 255; ++c) {
      f.waveBuffer[b][0 * 256 + c] = 0;
      f.waveBuffer[b][255 * 256 + c] = 0;
    }
  OracleRipple(f, previous, current);
  OracleHeightMap(f, current);
}

int OracleStepWaveField(OracleFrame& f, const WaveBlock& module) {
  OracleAdvanceWaveField(f, module);
  OracleRenderLandscape(f, f.textureScroll);
  OracleMapTunnel(f);
  f.frameCounter += 1;
  f.textureScroll = (f.textureScroll + 258) % 65536;
  return 0;
}

void OracleRenderLandscape(OracleFrame& f, std::uint32_t o) {
  for (int c = 0; c <= 255; ++c) {
    int top = 0;
    for (int s = 0; s <= 255; ++s) {
      int h = f.heightMap[c * 256 + s];
      int base = f.perspectiveTable[2 * s];
      int scale = f.perspectiveTable[2 * s + 1];
      int y = (base + f.conversionTable[scale * 256 + h]) % 256;
      if (y > top) {
        int t = f.textureMap[o + c * 256 + s];
        std::uint8_t colour = f.fadeTable[t * 256 + h];
        for (int r = top; r <= y - 1; ++r) f.landscapeImage[c * 256 + r] = colour;
        top = y;
      }
    }
    for (int r = top; r <= 255; ++r) f.landscapeImage[c * 256 + r] = 0;
  }
}

void OracleMapTunnel(OracleFrame& f) {
  for (int y = 0; y < f.height; ++y) {
    for (int x = 0; x < f.width; ++x) {
      std::uint16_t e = f.tunnelTable[y * f.width + x];
      f.pixels[y * f.pitch + x] = f.landscapeImage[e];
    }
  }
}

void OracleAnimatePalette(OraclePalette& p) {
  int N = p.count;
  double product = static_cast<double>(N) * static_cast<double>(p.phase);
  long long whole = static_cast<long long>(std::trunc(product));
  int a = static_cast<int>(whole % N);
  int b = (a + 1) % N;
  float t = static_cast<float>(product);
  double f = std::fmod(static_cast<double>(t), 1.0);
  for (int k = 0; k <= 255; ++k) {
    for (int channel = 0; channel < 3; ++channel) {
      int A = p.set[a * 1024 + k * 4 + channel];
      int B = p.set[b * 1024 + k * 4 + channel];
      int value = static_cast<int>(std::trunc(A + f * (B - A)));
      if (channel == 0) p.display[k].peRed = static_cast<std::uint8_t>(value);
      if (channel == 1) p.display[k].peGreen = static_cast<std::uint8_t>(value);
      if (channel == 2) p.display[k].peBlue = static_cast<std::uint8_t>(value);
    }
  }
  p.phase = static_cast<float>(static_cast<double>(p.phase) + static_cast<double>(p.step));
}

void AllocateFrameTables(int width, int height, int pitch) {
  TableSet& t = g_stage.Tables;
  auto block = [](std::size_t bytes) {
    void* p = std::malloc(bytes);
    if (!p) std::abort();
    std::memset(p, 0xCD, bytes);
    return p;
  };
  t.LandscapeImage = static_cast<std::uint8_t*>(block(65536));
  // The frame buffers where BuildTables puts them.
  t.WaveBuffer[0] =
      static_cast<std::uint16_t*>(AllocatePlacedBlock(block, 131072, t.LandscapeImage, kWaveBufferPhase[0]));
  t.WaveBuffer[1] =
      static_cast<std::uint16_t*>(AllocatePlacedBlock(block, 131072, t.LandscapeImage, kWaveBufferPhase[1]));
  t.HeightMap = static_cast<std::uint8_t*>(AllocatePlacedBlock(block, 65536, t.LandscapeImage, kHeightMapPhase));
  t.PerspectiveTable = static_cast<std::uint8_t*>(block(512));
  t.ConversionTable = static_cast<std::uint8_t*>(block(65536));
  t.TextureMap = static_cast<std::uint8_t*>(block(131072));
  t.FadeTable = static_cast<std::uint8_t*>(block(65536));
  t.TunnelTable = static_cast<std::uint16_t*>(block(static_cast<std::size_t>(width) * height * 2));
  g_stage.FrameWidth = width;
  g_stage.FrameHeight = height;
  g_stage.FramePitch = pitch;
  g_stage.FramePixels = static_cast<std::uint8_t*>(block(static_cast<std::size_t>(height) * pitch));
}

void ReleaseFrameTables() {
  TableSet& t = g_stage.Tables;
  ReleasePlacedBlock(t.WaveBuffer[0]);
  ReleasePlacedBlock(t.WaveBuffer[1]);
  ReleasePlacedBlock(t.HeightMap);
  std::free(t.PerspectiveTable);
  std::free(t.ConversionTable);
  std::free(t.TextureMap);
  std::free(t.FadeTable);
  std::free(t.LandscapeImage);
  std::free(t.TunnelTable);
  std::free(g_stage.FramePixels);
  t = TableSet{};
  g_stage.FramePixels = nullptr;
}

void FillRandomTables(std::uint32_t seed) {
  std::mt19937 random(seed);
  auto fill = [&](void* block, std::size_t bytes) {
    auto* p = static_cast<std::uint8_t*>(block);
    for (std::size_t i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(random());
  };
  TableSet& t = g_stage.Tables;
  fill(t.WaveBuffer[0], 131072);
  fill(t.WaveBuffer[1], 131072);
  fill(t.HeightMap, 65536);
  fill(t.PerspectiveTable, 512);
  // The renderer forms the products itself rather than reading them, so the table always holds them.
  FillLiteralConversionTable(t.ConversionTable);
  fill(t.TextureMap, 65536);
  std::memcpy(t.TextureMap + 65536, t.TextureMap, 65536);
  fill(t.FadeTable, 65536);
  fill(t.LandscapeImage, 65536);
  for (int i = 0; i < g_stage.FrameWidth * g_stage.FrameHeight; ++i)
    t.TunnelTable[i] = static_cast<std::uint16_t>(random());
}

void FillLiteralPerspectiveTable(std::uint8_t* table) {
  const float baseNumerator = -(1048576 * 0.0041666669f);
  const float baseOffset = 4096 * -1.0625f;
  const float scaleNumerator = static_cast<float>(-(409600 * static_cast<double>(0.0066666668f)));
  const float scaleOffset = static_cast<float>(2560 * static_cast<double>(-1.06f));
  for (int s = 0; s <= 255; ++s) {
    double v = baseNumerator / ((static_cast<double>(baseNumerator) - s) - baseOffset);
    if (v > 255) v = 255;
    double w = scaleNumerator / ((static_cast<double>(scaleNumerator) - s) - scaleOffset);
    if (w > 255) w = 255;
    table[2 * s] = static_cast<std::uint8_t>(255 - static_cast<int>(std::trunc(v)));
    table[2 * s + 1] = static_cast<std::uint8_t>(std::trunc(w * 0.75));
  }
}

void FillLiteralConversionTable(std::uint8_t* table) {
  for (int a = 0; a <= 255; ++a)
    for (int b = 0; b <= 255; ++b) table[a * 256 + b] = static_cast<std::uint8_t>(a * b / 255);
}

void FillLiteralTunnelTable(std::uint16_t* table, int width, int height) {
  int cx = width / 2, cy = height / 2;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int dx = x - cx, dy = y - cy;
      int d = static_cast<int>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
      int n = static_cast<int>(std::trunc(ExactAtan2(dy, dx) * 40.74366543166791));
      if (dy > 0) n += 1;
      table[y * width + x] = static_cast<std::uint16_t>((n & 255) * 256 + (255 - d % 256));
    }
  }
}
