// The fade table: the nearest-colour search over the reference palette.
#include "core/fade_table.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "numeric/exact_math.h"

namespace {

constexpr float kOneOver255 = static_cast<float>(1.0 / 255);  // 0.003921568859368563

// Nearest-colour search. The colour cube is cut into 16 x 16 x 16 cells; for each cell that a query falls into,
// the distinct reference colours that can be nearest to any point of the cell are listed once, in index order:
// those whose smallest distance to the cell does not exceed the smallest largest-distance of any colour. Every
// other colour is farther from every point of the cell than that colour, so it can neither win nor tie. A scan of
// the list in index order keeping strictly smaller distances therefore gives exactly the literal search's answer
// (the lowest index among the nearest), and equal colours are listed once, under their lowest index.
constexpr int kCellShift = 4;
constexpr int kCellSize = 1 << kCellShift;
constexpr int kCellsPerAxis = 256 / kCellSize;
constexpr int kCells = kCellsPerAxis * kCellsPerAxis * kCellsPerAxis;
constexpr std::uint16_t kNotListed = 0xFFFF;

struct NearestColour {
  int count = 0;  // distinct colours, in order of their lowest index
  int red[256], green[256], blue[256], index[256];
  std::uint8_t* lists = nullptr;  // kCells * 256 positions; null: scan every distinct colour
  std::uint16_t listLength[kCells];
  int lastQuery = -1, lastAnswer = 0;  // identical consecutive queries are answered at once
};

void PrepareNearestColour(const std::uint8_t reference[1024], NearestColour& n) {
  n.count = 0;
  for (int j = 0; j < 256; ++j) {
    const int red = reference[4 * j], green = reference[4 * j + 1], blue = reference[4 * j + 2];
    bool seen = false;
    for (int p = 0; p < n.count && !seen; ++p) seen = n.red[p] == red && n.green[p] == green && n.blue[p] == blue;
    if (seen) continue;
    n.red[n.count] = red;
    n.green[n.count] = green;
    n.blue[n.count] = blue;
    n.index[n.count] = j;
    ++n.count;
  }
  for (std::uint16_t& length : n.listLength) length = kNotListed;
  n.lastQuery = -1;
}

// Squared distances from a colour component to the nearest and the farthest point of [lo, lo + kCellSize - 1].
int NearGap(int value, int lo) {
  const int d = value < lo ? lo - value : value > lo + kCellSize - 1 ? value - (lo + kCellSize - 1) : 0;
  return d * d;
}
int FarGap(int value, int lo) {
  const int d = std::max(value - lo, lo + kCellSize - 1 - value);
  return d * d;
}

void ListCell(NearestColour& n, int cell) {
  const int lr = (cell / (kCellsPerAxis * kCellsPerAxis)) * kCellSize;
  const int lg = (cell / kCellsPerAxis % kCellsPerAxis) * kCellSize;
  const int lb = (cell % kCellsPerAxis) * kCellSize;
  int bound = INT_MAX;
  for (int p = 0; p < n.count; ++p)
    bound = std::min(bound, FarGap(n.red[p], lr) + FarGap(n.green[p], lg) + FarGap(n.blue[p], lb));
  std::uint8_t* list = n.lists + cell * 256;
  int length = 0;
  for (int p = 0; p < n.count; ++p)
    if (NearGap(n.red[p], lr) + NearGap(n.green[p], lg) + NearGap(n.blue[p], lb) <= bound)
      list[length++] = static_cast<std::uint8_t>(p);
  n.listLength[cell] = static_cast<std::uint16_t>(length);
}

std::uint8_t FindNearestColour(NearestColour& n, int r, int g, int b) {
  const int query = (r << 16) | (g << 8) | b;
  if (query == n.lastQuery) return static_cast<std::uint8_t>(n.lastAnswer);
  int best = INT_MAX, bestPosition = 0;
  auto consider = [&](int p) {
    const int dr = n.red[p] - r, dg = n.green[p] - g, db = n.blue[p] - b;
    const int d = dr * dr + dg * dg + db * db;
    if (d < best) {
      best = d;
      bestPosition = p;
    }
  };
  if (n.lists != nullptr) {
    const int cell = ((r >> kCellShift) * kCellsPerAxis + (g >> kCellShift)) * kCellsPerAxis + (b >> kCellShift);
    if (n.listLength[cell] == kNotListed) ListCell(n, cell);
    const std::uint8_t* list = n.lists + cell * 256;
    for (int i = 0, length = n.listLength[cell]; i < length; ++i) consider(list[i]);
  } else {
    for (int p = 0; p < n.count; ++p) consider(p);
  }
  n.lastQuery = query;
  n.lastAnswer = n.index[bestPosition];
  return static_cast<std::uint8_t>(n.lastAnswer);
}

}  // namespace

double FadeFactor(const EffectParams& params, int step) {
  const double x = step * static_cast<double>(kOneOver255);
  return ExactPow(x, params.FadeExponent) * params.FadeGain + params.FadeBias;
}

std::uint8_t ScaledColourByte(double value) {
  if (value != value) return 0;
  if (value >= 2147483647.0) return 0xFF;   // low byte of INT32_MAX
  if (value <= -2147483648.0) return 0x00;  // low byte of INT32_MIN
  return static_cast<std::uint8_t>(static_cast<std::int32_t>(value));
}

void FillFadeTable(const std::uint8_t reference[1024], const EffectParams& params, std::uint8_t* out,
                   const FadeProgress& progress) {
  // The factor depends on the shade step only: 256 powers instead of 65536.
  double factor[256];
  for (int s = 0; s < 256; ++s) factor[s] = FadeFactor(params, s);
  NearestColour nearest;
  PrepareNearestColour(reference, nearest);
  // The cell lists only speed the search up; without their memory every distinct colour is scanned.
  nearest.lists = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(kCells) * 256));
  for (int c = 0; c < 256; ++c) {
    if (progress.Report != nullptr) progress.Report(progress.Context, c);
    const double red = reference[4 * c], green = reference[4 * c + 1], blue = reference[4 * c + 2];
    for (int s = 0; s < 256; ++s) {
      const int r = ScaledColourByte(factor[s] * red);
      const int g = ScaledColourByte(factor[s] * green);
      const int b = ScaledColourByte(factor[s] * blue);
      out[c * 256 + s] = FindNearestColour(nearest, r, g, b);
    }
  }
  std::free(nearest.lists);
  if (progress.Report != nullptr) progress.Report(progress.Context, 256);
}

bool SameFadeSettings(const EffectSettings& a, const EffectSettings& b) {
  return a.FadeOffset == b.FadeOffset && a.FadeAmplitude == b.FadeAmplitude && a.FadePower == b.FadePower;
}
