// The fade table: the nearest-colour search over the reference palette, fade.dat and its loading.
#include "tables/fade_table.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "effect/exact_math.h"
#include "host/effect_state.h"
#include "host/plugin_folder.h"
#include "tables/palette_files.h"

namespace {

constexpr char kFadeFileName[] = "TavelDat\\fade.dat";
constexpr std::int32_t kFadeTableBytes = 65536;
constexpr float kOneOver255 = static_cast<float>(1.0 / 255);  // 0.003921568859368563

// Nearest-colour search over the distinct reference colours, sorted along the axis on which they spread most.
// Candidates are visited nearest-first along that axis, and the walk stops once the axis distance alone exceeds
// the best squared distance found; ties are settled by the lower palette index, as a scan over 0..255 that
// keeps only strictly smaller distances would settle them.
struct NearestColour {
  int count = 0;
  int axis = 0;                 // 0 red, 1 green, 2 blue
  int key[256], u[256], v[256];  // the sorted axis and the two others
  int index[256];               // lowest palette index of that colour
  int firstAtOrAbove[256];      // first sorted position whose key is >= the value
  // The last query and its answer, reused as the answer of an identical query and as the starting bound.
  int lastQuery = -1, lastPosition = 0;
};

int Component(const PALETTEENTRY& e, int axis) { return axis == 0 ? e.peRed : axis == 1 ? e.peGreen : e.peBlue; }

void PrepareNearestColour(const PALETTEENTRY reference[256], NearestColour& n) {
  int lowest[3] = {255, 255, 255}, highest[3] = {0, 0, 0};
  for (int j = 0; j < 256; ++j)
    for (int a = 0; a < 3; ++a) {
      lowest[a] = std::min(lowest[a], Component(reference[j], a));
      highest[a] = std::max(highest[a], Component(reference[j], a));
    }
  n.axis = 0;
  for (int a = 1; a < 3; ++a)
    if (highest[a] - lowest[a] > highest[n.axis] - lowest[n.axis]) n.axis = a;
  const int ua = (n.axis + 1) % 3, va = (n.axis + 2) % 3;

  // Sort by (axis, other, other, index); equal colours then sit together with their lowest index first, and
  // only that one can ever win.
  int order[256];
  for (int j = 0; j < 256; ++j) order[j] = j;
  auto sortKey = [&](int j) {
    return (Component(reference[j], n.axis) << 16) | (Component(reference[j], ua) << 8) |
           Component(reference[j], va);
  };
  std::sort(order, order + 256, [&](int a, int b) {
    int ka = sortKey(a), kb = sortKey(b);
    return ka != kb ? ka < kb : a < b;
  });
  n.count = 0;
  for (int i = 0; i < 256; ++i) {
    int j = order[i];
    if (n.count > 0 && sortKey(order[i - 1]) == sortKey(j)) continue;
    n.key[n.count] = Component(reference[j], n.axis);
    n.u[n.count] = Component(reference[j], ua);
    n.v[n.count] = Component(reference[j], va);
    n.index[n.count] = j;
    ++n.count;
  }
  int position = 0;
  for (int value = 0; value < 256; ++value) {
    while (position < n.count && n.key[position] < value) ++position;
    n.firstAtOrAbove[value] = position;
  }
  n.lastQuery = -1;
  n.lastPosition = 0;
}

std::uint8_t FindNearestColour(NearestColour& n, int r, int g, int b) {
  const int query = (r << 16) | (g << 8) | b;
  if (query == n.lastQuery) return static_cast<std::uint8_t>(n.index[n.lastPosition]);
  const int q[3] = {r, g, b};
  const int qk = q[n.axis], qu = q[(n.axis + 1) % 3], qv = q[(n.axis + 2) % 3];
  auto distance = [&](int p) {
    const int dk = n.key[p] - qk, du = n.u[p] - qu, dv = n.v[p] - qv;
    return dk * dk + du * du + dv * dv;
  };
  // The previous answer is usually close, which bounds the walk from the start.
  int bestPosition = n.lastPosition;
  int best = distance(bestPosition);
  int lo = n.firstAtOrAbove[qk] - 1, hi = lo + 1;
  for (;;) {
    const int below = lo >= 0 ? qk - n.key[lo] : INT_MAX;
    const int above = hi < n.count ? n.key[hi] - qk : INT_MAX;
    int p, gap;
    if (below <= above) {
      if (below == INT_MAX) break;
      p = lo--;
      gap = below;
    } else {
      p = hi++;
      gap = above;
    }
    if (gap * gap > best) break;  // every remaining candidate is at least this far away
    const int d = distance(p);
    if (d < best || (d == best && n.index[p] < n.index[bestPosition])) {
      best = d;
      bestPosition = p;
    }
  }
  n.lastQuery = query;
  n.lastPosition = bestPosition;
  return static_cast<std::uint8_t>(n.index[bestPosition]);
}

}  // namespace

double FadeFactor(const EffectParams& params, int step) {
  const double x = step * static_cast<double>(kOneOver255);
  return ExactPow(x, params.FadeExponent) * params.FadeGain + params.FadeBias;
}

std::uint8_t ScaledColourByte(double value) {
  if (value != value) return 0;
  if (value >= 2147483647.0) return 0xFF;  // low byte of INT32_MAX
  if (value <= -2147483648.0) return 0x00;  // low byte of INT32_MIN
  return static_cast<std::uint8_t>(static_cast<std::int32_t>(value));
}

void FillFadeTable(const PALETTEENTRY reference[256], const EffectParams& params, std::uint8_t* out,
                   HWND progressBar) {
  // The factor depends on the shade step only: 256 powers instead of 65536.
  double factor[256];
  for (int s = 0; s < 256; ++s) factor[s] = FadeFactor(params, s);
  NearestColour nearest;
  PrepareNearestColour(reference, nearest);
  for (int c = 0; c < 256; ++c) {
    if (((c + 1) & 8) != 0 && progressBar != nullptr)
      SendNotifyMessageA(progressBar, PBM_SETPOS, static_cast<WPARAM>(c), 0);
    const double red = reference[c].peRed, green = reference[c].peGreen, blue = reference[c].peBlue;
    for (int s = 0; s < 256; ++s) {
      const int r = ScaledColourByte(factor[s] * red);
      const int g = ScaledColourByte(factor[s] * green);
      const int b = ScaledColourByte(factor[s] * blue);
      out[c * 256 + s] = FindNearestColour(nearest, r, g, b);
    }
  }
  if (progressBar != nullptr) SendNotifyMessageA(progressBar, PBM_SETPOS, 0, 0);
}

int BuildFadeTable(HWND progressBar) {
  PALETTEENTRY reference[256];
  if (LoadReferencePalette(reference) != 0) return 1;
  auto* work = static_cast<std::uint8_t*>(std::malloc(kFadeTableBytes));
  if (work == nullptr) return 1;
  FillFadeTable(reference, g_state.Params, work, progressBar);
  std::int32_t written = 0;
  if (PlacePluginFileName(kFadeFileName)) written = WriteWholeFile(g_state.PluginPath, work, kFadeTableBytes);
  std::free(work);
  return written == kFadeTableBytes ? 0 : 1;
}

int LoadFadeTable(std::uint8_t* table) {
  if (!PlacePluginFileName(kFadeFileName)) return 1;
  if (FileSize(g_state.PluginPath) != kFadeTableBytes) return 1;
  return ReadWholeFile(g_state.PluginPath, table, kFadeTableBytes) == kFadeTableBytes ? 0 : 1;
}
