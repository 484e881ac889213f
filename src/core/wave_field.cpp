// The ripple simulation: lays both waveform channels into the field, advances it and builds the height map.
#include "core/wave_field.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/stack_alignment.h"
#include "numeric/exact_math.h"

namespace {

constexpr int kSide = 256;
constexpr int kCells = kSide * kSide;
[[maybe_unused]] constexpr int kFirstInterior = kSide;  // row 1, column 0 (only the portable loop)
constexpr int kEndInterior = kCells - kSide;            // row 255, column 0
constexpr int kTraceLength = kSampleTraceLength;
constexpr int kBodyLength = 256;
constexpr int kProfileLength = kLineProfileLength;
constexpr int kFadeLength = 32;

// 2 pi / period, with pi taken as 3.14159265357879 (the constants the geometry was tuned with).
constexpr double kTurnPer1000 = 0.00628318530715758;
constexpr double kTurnPer500 = 0.01256637061431516;
constexpr double kTurnPer150 = 0.0418879020477172;
constexpr double kTurnPer250 = 0.02513274122863032;
constexpr double kTurnPer400 = 0.01570796326789395;

// Trace entry i follows sample floor(286 * i / 257): the trace stretches samples 0..286 over 258 entries.
constexpr std::array<std::uint16_t, kTraceLength> kTraceSource = [] {
  std::array<std::uint16_t, kTraceLength> source{};
  for (int i = 0; i < kTraceLength; ++i) source[i] = static_cast<std::uint16_t>(286 * i / 257);
  return source;
}();

// Real to int, rounding toward zero, defined for every input: NaN gives 0 and values beyond the int range
// saturate. Only a hand-edited plugin.ini can push a gain product this far.
int TruncSaturated(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);
}

struct Geometry {
  float ux, uy;   // direction of the ridges
  double x0, y0;  // reference point around the field's centre
};

Geometry FrameGeometry(std::uint32_t frameCounter) {
  const double f = static_cast<double>(frameCounter);
  const double a1 = f * kTurnPer1000;
  const float a2 = static_cast<float>(f * kTurnPer500);
  const float a3 = static_cast<float>(f * kTurnPer150);
  const float a4 = static_cast<float>(f * kTurnPer250);
  const double a5 = f * kTurnPer400;
  Geometry g;
  g.ux = static_cast<float>(ExactCos(a1));
  g.uy = static_cast<float>(ExactSin(a1));
  g.x0 = 128.0 + 32.0 * (ExactSin(a2) + ExactSin(a3));
  g.y0 = 128.0 + 32.0 * (ExactSin(a4) + ExactSin(a5));
  return g;
}

// SampleTrace and LineProfile for one channel's 576 signed samples.
void BuildLineProfile(const unsigned char* samples, FrameTrace& out) {
  std::uint16_t* trace = out.SampleTrace;
  int v = samples[1] ^ 0x80;
  for (int i = 0; i < kTraceLength; ++i) {
    trace[i] = static_cast<std::uint16_t>(v);
    int delta = (samples[kTraceSource[i]] ^ 0x80) - v;
    if (delta > 4) delta = 4;
    if (delta < -4) delta = -4;
    v += delta;
  }

  std::uint16_t* profile = out.LineProfile;
  int sum = 0;
  for (int k = 0; k < kBodyLength; ++k) {
    const int body = (trace[k] + trace[k + 2]) / 2;
    profile[kFadeLength + k] = static_cast<std::uint16_t>(body);
    sum += body;
  }
  // A body value far below the mean wraps to a large unsigned cell value; that is the field's banding.
  const int lift = 128 - sum / 256;
  for (int k = 0; k < kBodyLength; ++k)
    profile[kFadeLength + k] = static_cast<std::uint16_t>(profile[kFadeLength + k] + lift);

  const int b0 = profile[kFadeLength];
  const int b1 = profile[kFadeLength + kBodyLength - 1];
  for (int k = 0; k < kFadeLength; ++k) {
    profile[k] = static_cast<std::uint16_t>(128 + (b0 - 128) * k / 32);
    profile[kFadeLength + kBodyLength + k] = static_cast<std::uint16_t>(128 + (b1 - 128) * (31 - k) / 32);
  }
}

// The 16-bit cell written for each profile entry.
void CellValues(const FrameParams& params, const FrameTrace& trace, std::uint16_t (&cells)[kProfileLength]) {
  const double gain = params.WaveGain;
  const unsigned shift = static_cast<unsigned>(params.WaveShift) & 31u;
  for (int k = 0; k < kProfileLength; ++k) {
    const int e = trace.LineProfile[k];
    const int h = 2 * (e < 128 ? 128 - e : e - 128);
    const double product = gain * h;  // exact: 24-bit gain times 17-bit height
    const int value = product > 255.0 ? 255 : TruncSaturated(product);
    cells[k] = static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) << shift);
  }
}

// trunc(p) stays within 0..319 for every direction the geometry produces; the clamp only guards the array.
inline int ProfileEntry(double p) {
  int k = static_cast<int>(p);
  if (k < 0) k = 0;
  if (k > kProfileLength - 1) k = kProfileLength - 1;
  return k;
}

// One ridge from (x, y) along (ux, uy), 320 profile entries long, written into `field`.
void WalkLine(double x, float y, float ux, float uy, const std::uint16_t (&cells)[kProfileLength],
              std::uint16_t* field) {
  const float xe = static_cast<float>(x + 320.0 * ux);
  const float ye = static_cast<float>(y + 320.0 * uy);
  const float dx = static_cast<float>(xe - x);
  const float dy = static_cast<float>(static_cast<double>(ye) - y);

  if (std::fabs(uy) <= std::fabs(ux)) {
    const float slope = static_cast<float>(static_cast<double>(uy) / ux);
    const float step = static_cast<float>(320.0 / dx);
    int column;
    double ordinate, p, count;
    if (ux >= 0) {
      column = static_cast<int>(x);
      ordinate = y;
      p = 0;
      count = dx;
    } else {
      column = static_cast<int>(xe);
      ordinate = ye;
      p = 319;
      count = -static_cast<double>(dx);
    }
    while (count > 0) {
      const int row = static_cast<int>(ordinate);
      field[static_cast<std::uint16_t>(row * kSide + column)] = cells[ProfileEntry(p)];
      ++column;
      ordinate += slope;
      p += step;
      count -= 1;
    }
  } else {
    const float slope = static_cast<float>(static_cast<double>(ux) / uy);
    const float step = static_cast<float>(320.0 / dy);
    int row;
    double abscissa, p, count;
    if (uy < 0) {
      row = static_cast<int>(ye);
      abscissa = xe;
      p = 319;
      count = -static_cast<double>(dy);
    } else {
      row = static_cast<int>(y);
      abscissa = x;
      p = 0;
      count = dy;
    }
    while (count > 0) {
      const int column = static_cast<int>(abscissa);
      field[static_cast<std::uint16_t>(row * kSide + column)] = cells[ProfileEntry(p)];
      ++row;
      abscissa += slope;
      p += step;
      count -= 1;
    }
  }
}

void InjectChannels(const FrameInputs& in, std::uint32_t frameCounter, FrameTrace& trace, std::uint16_t* previous) {
  const Geometry g = FrameGeometry(frameCounter);
  std::uint16_t cells[kProfileLength];

  BuildLineProfile(in.Waveform[0], trace);
  CellValues(in.Params, trace, cells);
  const double x0 = g.x0 - 128.0 * g.ux;
  const float y0 = static_cast<float>(g.y0 - 128.0 * g.uy);
  WalkLine(x0, y0, g.ux, g.uy, cells, previous);

  // Parallel to channel 0, 128 cells across and 512 further on both axes.
  BuildLineProfile(in.Waveform[1], trace);
  CellValues(in.Params, trace, cells);
  const double x1 = g.x0 - 128.0 * g.ux - 128.0 * g.uy + 512.0;
  const float y1 = static_cast<float>(static_cast<double>(y0) + 128.0 * g.ux + 512.0);
  WalkLine(x1, y1, g.ux, g.uy, cells, previous);
}

void ClearBorderRows(std::uint16_t* field) {
  std::memset(field, 0, kSide * sizeof(std::uint16_t));
  std::memset(field + kEndInterior, 0, kSide * sizeof(std::uint16_t));
}

#if TAVELMIR_SSE2

inline __m128i Load8(const std::uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Low 16 bits of each 32-bit lane, packed: sign-extend the low half so the saturating pack keeps it as is.
inline __m128i PackLow16(__m128i lo, __m128i hi) {
  lo = _mm_srai_epi32(_mm_slli_epi32(lo, 16), 16);
  hi = _mm_srai_epi32(_mm_slli_epi32(hi, 16), 16);
  return _mm_packs_epi32(lo, hi);
}

// The four neighbours' sums of eight cells, as two vectors of four 32-bit lanes.
inline void NeighbourSums(const std::uint16_t* at, __m128i& lo, __m128i& hi) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i up = Load8(at - kSide), left = Load8(at - 1), right = Load8(at + 1), down = Load8(at + kSide);
  lo = _mm_add_epi32(_mm_add_epi32(_mm_unpacklo_epi16(up, zero), _mm_unpacklo_epi16(left, zero)),
                     _mm_add_epi32(_mm_unpacklo_epi16(right, zero), _mm_unpacklo_epi16(down, zero)));
  hi = _mm_add_epi32(_mm_add_epi32(_mm_unpackhi_epi16(up, zero), _mm_unpackhi_epi16(left, zero)),
                     _mm_add_epi32(_mm_unpackhi_epi16(right, zero), _mm_unpackhi_epi16(down, zero)));
}

// Cells below 2^14 in every lane: four of them still add up within 16 bits.
constexpr int kNarrowBits = 0xC000;

// OR of the cells [begin, end) (a multiple of 32 long).
inline int OrOfCells(const std::uint16_t* cells, int begin, int end) {
  __m128i bits = _mm_setzero_si128();
  for (int i = begin; i < end; i += 32)
    bits = _mm_or_si128(_mm_or_si128(bits, _mm_or_si128(Load8(cells + i), Load8(cells + i + 8))),
                        _mm_or_si128(Load8(cells + i + 16), Load8(cells + i + 24)));
  bits = _mm_or_si128(bits, _mm_srli_si128(bits, 8));
  bits = _mm_or_si128(bits, _mm_srli_si128(bits, 4));
  bits = _mm_or_si128(bits, _mm_srli_si128(bits, 2));
  return _mm_cvtsi128_si32(bits) & 0xFFFF;
}

// New values of eight cells in 16-bit lanes, for cells whose neighbours are all below 2^14.
inline __m128i NarrowRipple(const std::uint16_t* at, const std::uint16_t* old, __m128i damping) {
  const __m128i sum =
      _mm_add_epi16(_mm_add_epi16(Load8(at - kSide), Load8(at - 1)), _mm_add_epi16(Load8(at + 1), Load8(at + kSide)));
  const __m128i v = _mm_subs_epu16(_mm_srli_epi16(sum, 1), Load8(old));
  return _mm_sub_epi16(v, _mm_srl_epi16(v, damping));
}

// Ripple update of field rows [firstRow, endRow); returns the OR of the new cells. While every cell it reads
// is below 2^14 (the usual case: injected heights are at most 255 << WaveShift), the update runs in 16-bit
// lanes: the four neighbours cannot overflow, the saturating subtraction is the cut at 0, and the new value
// stays below 2^15, so every shift of 15 or more gives 0 in either width. Otherwise it widens to 32 bits.
int AdvanceRippleRows(const std::uint16_t* previous, std::uint16_t* current, unsigned damping, int firstRow,
                      int endRow) {
  const __m128i count = _mm_cvtsi32_si128(static_cast<int>(damping));
  __m128i written = _mm_setzero_si128();
  if ((OrOfCells(previous, (firstRow - 1) * kSide, (endRow + 1) * kSide) & kNarrowBits) == 0) {
    for (int i = firstRow * kSide; i < endRow * kSide; i += 16) {
      const __m128i v0 = NarrowRipple(previous + i, current + i, count);
      const __m128i v1 = NarrowRipple(previous + i + 8, current + i + 8, count);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(current + i), v0);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(current + i + 8), v1);
      written = _mm_or_si128(written, _mm_or_si128(v0, v1));
    }
  } else {
    const __m128i zero = _mm_setzero_si128();
    for (int i = firstRow * kSide; i < endRow * kSide; i += 8) {
      __m128i lo, hi;
      NeighbourSums(previous + i, lo, hi);
      const __m128i old = Load8(current + i);
      lo = _mm_sub_epi32(_mm_srli_epi32(lo, 1), _mm_unpacklo_epi16(old, zero));
      hi = _mm_sub_epi32(_mm_srli_epi32(hi, 1), _mm_unpackhi_epi16(old, zero));
      lo = _mm_andnot_si128(_mm_cmplt_epi32(lo, zero), lo);
      hi = _mm_andnot_si128(_mm_cmplt_epi32(hi, zero), hi);
      lo = _mm_sub_epi32(lo, _mm_srl_epi32(lo, count));
      hi = _mm_sub_epi32(hi, _mm_srl_epi32(hi, count));
      const __m128i v = PackLow16(lo, hi);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(current + i), v);
      written = _mm_or_si128(written, v);
    }
  }
  written = _mm_or_si128(written, _mm_srli_si128(written, 8));
  written = _mm_or_si128(written, _mm_srli_si128(written, 4));
  written = _mm_or_si128(written, _mm_srli_si128(written, 2));
  return _mm_cvtsi128_si32(written) & 0xFFFF;
}

// Height bytes of eight cells of the new field, as 16-bit lanes of 0..255, when four cells add up within 16 bits.
inline __m128i NarrowHeights(const std::uint16_t* at, __m128i shift) {
  const __m128i sum =
      _mm_add_epi16(_mm_add_epi16(Load8(at - kSide), Load8(at - 1)), _mm_add_epi16(Load8(at + 1), Load8(at + kSide)));
  return _mm_and_si128(_mm_srl_epi16(sum, shift), _mm_set1_epi16(0xFF));
}

// The same for any cells, in 32-bit sums.
inline __m128i WideHeights(const std::uint16_t* at, __m128i shift) {
  __m128i lo, hi;
  NeighbourSums(at, lo, hi);
  lo = _mm_and_si128(_mm_srl_epi32(lo, shift), _mm_set1_epi32(0xFF));
  hi = _mm_and_si128(_mm_srl_epi32(hi, shift), _mm_set1_epi32(0xFF));
  return _mm_packs_epi32(lo, hi);  // lanes are 0..255: no saturation
}

// Writes the transpose of a 16 x 16 byte block: rows[r * 256 + c] goes to out[c * 256 + r].
inline void StoreTransposed16(const std::uint8_t* rows, std::uint8_t* out) {
  __m128i r[16];
#pragma GCC unroll 16
  for (int k = 0; k < 16; ++k) r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows + k * kSide));
  __m128i a[16], b[16];
#pragma GCC unroll 16
  for (int k = 0; k < 8; ++k) {
    a[2 * k] = _mm_unpacklo_epi8(r[2 * k], r[2 * k + 1]);
    a[2 * k + 1] = _mm_unpackhi_epi8(r[2 * k], r[2 * k + 1]);
  }
#pragma GCC unroll 16
  for (int k = 0; k < 4; ++k) {
    b[4 * k + 0] = _mm_unpacklo_epi16(a[4 * k + 0], a[4 * k + 2]);
    b[4 * k + 1] = _mm_unpackhi_epi16(a[4 * k + 0], a[4 * k + 2]);
    b[4 * k + 2] = _mm_unpacklo_epi16(a[4 * k + 1], a[4 * k + 3]);
    b[4 * k + 3] = _mm_unpackhi_epi16(a[4 * k + 1], a[4 * k + 3]);
  }
#pragma GCC unroll 16
  for (int k = 0; k < 2; ++k) {
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) {
      a[8 * k + 2 * j] = _mm_unpacklo_epi32(b[8 * k + j], b[8 * k + 4 + j]);
      a[8 * k + 2 * j + 1] = _mm_unpackhi_epi32(b[8 * k + j], b[8 * k + 4 + j]);
    }
  }
  // a[8k + m] now holds columns 2m, 2m+1 (8 bytes each) of rows 8k .. 8k+7... interleaved as described below.
#pragma GCC unroll 8
  for (int m = 0; m < 8; ++m) {
    const __m128i lo = _mm_unpacklo_epi64(a[m], a[8 + m]);
    const __m128i hi = _mm_unpackhi_epi64(a[m], a[8 + m]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (2 * m) * kSide), lo);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (2 * m + 1) * kSide), hi);
  }
}

// The ripple update and the height map in one sweep of 16-row bands, so that each band of the new field is
// still in the first-level cache when its height bytes are formed. A height row needs the new field rows on
// both sides, so the ripple runs one row ahead. Height bytes of a band are formed in row order, then
// transposed into the height map.
TAVELMIR_ALIGN_STACK void AdvanceRippleAndHeights(const std::uint16_t* previous, std::uint16_t* current,
                                                  std::uint8_t* heightMap, unsigned damping, unsigned shift) {
  alignas(16) std::uint8_t rows[16 * kSide];
  const __m128i count = _mm_cvtsi32_si128(static_cast<int>(shift));
  int rippled = 1;      // rows 1 .. rippled-1 hold the new state
  int newCellBits = 0;  // OR of all of them; rows 0 and 255 are 0
  for (int first = 0; first < kSide; first += 16) {
    const int needed = first + 17 < kSide ? first + 17 : kSide - 1;
    newCellBits |= AdvanceRippleRows(previous, current, damping, rippled, needed);
    rippled = needed;
    const bool narrow = (newCellBits & kNarrowBits) == 0;  // four neighbours add up within 16 bits
    for (int r = first; r < first + 16; ++r) {
      std::uint8_t* out = rows + (r - first) * kSide;
      const std::uint16_t* in = current + r * kSide;
      if (r == 0 || r == kSide - 1) {
        for (int c = 0; c < kSide; ++c) out[c] = static_cast<std::uint8_t>(in[c]);
        continue;
      }
      if (narrow) {
        for (int c = 0; c < kSide; c += 16)
          _mm_store_si128(reinterpret_cast<__m128i*>(out + c),
                          _mm_packus_epi16(NarrowHeights(in + c, count), NarrowHeights(in + c + 8, count)));
      } else {
        for (int c = 0; c < kSide; c += 16)
          _mm_store_si128(reinterpret_cast<__m128i*>(out + c),
                          _mm_packus_epi16(WideHeights(in + c, count), WideHeights(in + c + 8, count)));
      }
    }
    for (int c = 0; c < kSide; c += 16) StoreTransposed16(rows + c, heightMap + c * kSide + first);
  }
}

#else

void AdvanceRippleAndHeights(const std::uint16_t* previous, std::uint16_t* current, std::uint8_t* heightMap,
                             unsigned damping, unsigned shift) {
  for (int i = kFirstInterior; i < kEndInterior; ++i) {
    std::int32_t v =
        ((previous[i - kSide] + previous[i - 1] + previous[i + 1] + previous[i + kSide]) >> 1) - current[i];
    if (v < 0) v = 0;
    current[i] = static_cast<std::uint16_t>(v - (v >> damping));
  }
  for (int c = 0; c < kSide; ++c) {
    heightMap[c * kSide] = static_cast<std::uint8_t>(current[c]);
    heightMap[c * kSide + kSide - 1] = static_cast<std::uint8_t>(current[kEndInterior + c]);
  }
  for (int i = kFirstInterior; i < kEndInterior; ++i) {
    const std::uint32_t sum = current[i - kSide] + current[i - 1] + current[i + 1] + current[i + kSide];
    heightMap[(i & 0xFF) * kSide + (i >> 8)] = static_cast<std::uint8_t>(sum >> shift);
  }
}

#endif

}  // namespace

void AdvanceWaveField(const FrameInputs& in, FrameCounters& counters, FrameTrace& trace) {
  const TableSet& t = *in.Tables;
  counters.WaveParity ^= 1;
  std::uint16_t* current = t.WaveBuffer[counters.WaveParity == 1 ? 0 : 1];
  std::uint16_t* previous = t.WaveBuffer[counters.WaveParity == 1 ? 1 : 0];

  InjectChannels(in, counters.FrameCounter, trace, previous);
  ClearBorderRows(t.WaveBuffer[0]);
  ClearBorderRows(t.WaveBuffer[1]);

  // Shift counts are used modulo 32 (as the processor does); settings outside their ranges stay defined.
  const std::uint32_t waveShift = static_cast<std::uint32_t>(in.Params.WaveShift);
  const std::uint32_t attenuation = static_cast<std::uint32_t>(in.Params.WaveAttenuationRate);
  AdvanceRippleAndHeights(previous, current, t.HeightMap, (waveShift + attenuation) & 31u, (waveShift + 2u) & 31u);
}
