// Builds the table set at Init: tunnel, perspective and conversion tables, texture, fade table, frame buffers.
#include "core/table_builder.h"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "numeric/exact_math.h"
#include "core/table_placement.h"

namespace {

// A hair above 128 / pi, so that the axes and diagonals land just past a multiple of 32 and truncate onto it.
constexpr double kAngleScale = 40.74366543166791;
static_assert(std::bit_cast<std::uint64_t>(kAngleScale) == 0x40445F306DCA16F6ull);

// The perspective constants, formed in single precision as the effect always had them.
constexpr float kBaseNumerator = -(1048576.0f * static_cast<float>(1.0 / 240));
constexpr float kBaseOffset = 4096.0f * -1.0625f;
constexpr float kScaleNumerator = static_cast<float>(-(409600.0 * static_cast<float>(1.0 / 150)));
constexpr float kScaleOffset = static_cast<float>(2560.0 * static_cast<float>(-1.06));
static_assert(std::bit_cast<std::uint32_t>(kBaseNumerator) == 0xC5888889u);
static_assert(std::bit_cast<std::uint32_t>(kBaseOffset) == 0xC5880000u);
static_assert(std::bit_cast<std::uint32_t>(kScaleNumerator) == 0xC52AAAABu);
static_assert(std::bit_cast<std::uint32_t>(kScaleOffset) == 0xC5299999u);

constexpr std::size_t kPlaneBytes = 65536;
constexpr std::size_t kWaveBufferBytes = 131072;
constexpr std::size_t kTextureBytes = 2 * kPlaneBytes;
constexpr std::size_t kPerspectiveBytes = 512;
constexpr std::uint8_t kFlatTexture = 251;

// The blocks one build has allocated so far, so that a failed build can give them back.
struct BuildRecord {
  std::uint8_t** bytes[8];
  int byteCount = 0;
  std::uint16_t** words[3];
  int wordCount = 0;
  void Note(std::uint8_t*& block) { bytes[byteCount++] = &block; }
  void Note(std::uint16_t*& block) { words[wordCount++] = &block; }
  // The frame buffers, from AllocatePlacedBlock.
  std::uint8_t** placedBytes[1];
  int placedByteCount = 0;
  std::uint16_t** placedWords[2];
  int placedWordCount = 0;
  void NotePlaced(std::uint8_t*& block) { placedBytes[placedByteCount++] = &block; }
  void NotePlaced(std::uint16_t*& block) { placedWords[placedWordCount++] = &block; }
};

using Allocator = void* (*)(std::size_t);

template <typename T>
bool Allocate(Allocator allocate, T*& block, std::size_t bytes, BuildRecord& record) {
  block = static_cast<T*>(allocate(bytes));
  if (block == nullptr) return false;
  record.Note(block);
  return true;
}

// A frame buffer at its place relative to the LandscapeImage (table_placement.h).
template <typename T>
bool AllocatePlaced(Allocator allocate, T*& block, std::size_t bytes, const void* image, std::size_t phase,
                    BuildRecord& record) {
  block = static_cast<T*>(AllocatePlacedBlock(allocate, bytes, image, phase));
  if (block == nullptr) return false;
  record.NotePlaced(block);
  return true;
}

template <typename T>
void Release(T** slot) {
  std::free(*slot);
  *slot = nullptr;
}

template <typename T>
void ReleasePlaced(T** slot) {
  ReleasePlacedBlock(*slot);
  *slot = nullptr;
}

// A failed build would otherwise keep its blocks until the library is unloaded: Quit only releases a set that
// was completed.
void ReleaseBuild(BuildRecord& record) {
  for (int i = 0; i < record.byteCount; ++i) Release(record.bytes[i]);
  for (int i = 0; i < record.wordCount; ++i) Release(record.words[i]);
  for (int i = 0; i < record.placedByteCount; ++i) ReleasePlaced(record.placedBytes[i]);
  for (int i = 0; i < record.placedWordCount; ++i) ReleasePlaced(record.placedWords[i]);
  record.byteCount = record.wordCount = record.placedByteCount = record.placedWordCount = 0;
}

int Fail(BuildRecord& record, int code) {
  ReleaseBuild(record);
  return code;
}

}  // namespace

void FillTunnelTable(std::uint16_t* table, int width, int height) {
  const int cx = static_cast<int>(static_cast<std::uint32_t>(width) / 2);
  const int cy = static_cast<int>(static_cast<std::uint32_t>(height) / 2);
  for (int y = 0; y < height; ++y) {
    const int dy = y - cy;
    for (int x = 0; x < width; ++x) {
      const int dx = x - cx;
      const double squared = static_cast<double>(dx) * dx + static_cast<double>(dy) * dy;
      const auto distance = static_cast<std::uint32_t>(std::sqrt(squared));
      int step = static_cast<int>(ExactAtan2(dy, dx) * kAngleScale);
      if (dy > 0) ++step;
      const auto angle = static_cast<std::uint8_t>(step);
      table[y * width + x] = static_cast<std::uint16_t>((angle << 8) | (255 - (distance & 255)));
    }
  }
}

void FillPerspectiveTable(TableSet& t, std::uint8_t* table) {
  t.BaseNumerator = kBaseNumerator;
  t.BaseOffset = kBaseOffset;
  t.ScaleNumerator = kScaleNumerator;
  t.ScaleOffset = kScaleOffset;
  const double baseNumerator = t.BaseNumerator, baseOffset = t.BaseOffset;
  const double scaleNumerator = t.ScaleNumerator, scaleOffset = t.ScaleOffset;
  for (int s = 0; s < 256; ++s) {
    double v = baseNumerator / ((baseNumerator - s) - baseOffset);
    if (v > 255) v = 255;
    table[2 * s] = static_cast<std::uint8_t>(255 - static_cast<int>(v));
    double w = scaleNumerator / ((scaleNumerator - s) - scaleOffset);
    if (w > 255) w = 255;
    table[2 * s + 1] = static_cast<std::uint8_t>(static_cast<int>(w * 0.75));
  }
}

void FillConversionTable(std::uint8_t* table) {
  for (int a = 0; a < 256; ++a) {
    int sum = 0;
    for (int b = 0; b < 256; ++b, sum += a) table[a * 256 + b] = static_cast<std::uint8_t>(sum / 255);
  }
}

int BuildTableSet(TableSet& t, int width, int height, const TableSources& sources, Allocator allocate) {
  BuildRecord record;
  t.TunnelCentreX = static_cast<std::uint32_t>(width) / 2;
  t.TunnelCentreY = static_cast<std::uint32_t>(height) / 2;
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  const std::size_t tunnelBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 2;
  if (!Allocate(allocate, t.TunnelTable, tunnelBytes, record)) return Fail(record, 1);
  FillTunnelTable(t.TunnelTable, width, height);

  if (!Allocate(allocate, t.PerspectiveTable, kPerspectiveBytes, record)) return Fail(record, 2);
  FillPerspectiveTable(t, t.PerspectiveTable);

  if (!Allocate(allocate, t.ConversionTable, kPlaneBytes, record)) return Fail(record, 3);
  FillConversionTable(t.ConversionTable);

  if (!Allocate(allocate, t.TextureMap, kTextureBytes, record)) return Fail(record, 4);
  if (!Allocate(allocate, t.FadeTable, kPlaneBytes, record)) return Fail(record, 5);
  if (!Allocate(allocate, t.LandscapeImage, kPlaneBytes, record)) return Fail(record, 6);
  std::memset(t.LandscapeImage, 0, kPlaneBytes);  // overwritten every frame; cleared so nothing reads garbage

  if (sources.UseTexture) {
    if (sources.Texture == nullptr) return Fail(record, 7);
    std::memcpy(t.TextureMap, sources.Texture, kPlaneBytes);
  } else {
    std::memset(t.TextureMap, kFlatTexture, kPlaneBytes);
  }
  // The second copy lets the renderer's scrolling window run past the end without masking its index.
  std::memcpy(t.TextureMap + kPlaneBytes, t.TextureMap, kPlaneBytes);

  if (sources.FadeTable == nullptr) return Fail(record, 8);
  std::memcpy(t.FadeTable, sources.FadeTable, kPlaneBytes);

  if (!AllocatePlaced(allocate, t.WaveBuffer[0], kWaveBufferBytes, t.LandscapeImage, kWaveBufferPhase[0], record))
    return Fail(record, 9);
  if (!AllocatePlaced(allocate, t.WaveBuffer[1], kWaveBufferBytes, t.LandscapeImage, kWaveBufferPhase[1], record))
    return Fail(record, 10);
  if (!AllocatePlaced(allocate, t.HeightMap, kPlaneBytes, t.LandscapeImage, kHeightMapPhase, record))
    return Fail(record, 11);
  std::memset(t.HeightMap, 0, kPlaneBytes);

  std::memset(t.WaveBuffer[0], 0, kWaveBufferBytes);
  std::memset(t.WaveBuffer[1], 0, kWaveBufferBytes);
  return 0;
}

void FreeTableSet(TableSet& t) {
  ReleasePlaced(&t.WaveBuffer[0]);
  ReleasePlaced(&t.WaveBuffer[1]);
  Release(&t.LandscapeImage);
  Release(&t.FadeTable);
  Release(&t.TextureMap);
  Release(&t.ConversionTable);
  Release(&t.PerspectiveTable);
  Release(&t.TunnelTable);
  ReleasePlaced(&t.HeightMap);
}
