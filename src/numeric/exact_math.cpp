// Elementary functions from IEEE basic operations (+ - * / sqrt) and bit manipulation only.
#include "numeric/exact_math.h"

#include <bit>
#include <cstdint>
#include <limits>

// Every step below is a single IEEE double operation, so SSE2 on i686 and x86_64 round identically. The build
// forbids fused multiply-adds (-ffp-contract=off); the double-double helpers rely on that.

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::uint64_t Bits(double x) { return std::bit_cast<std::uint64_t>(x); }
double FromBits(std::uint64_t b) { return std::bit_cast<double>(b); }
std::uint32_t HighWord(double x) { return static_cast<std::uint32_t>(Bits(x) >> 32); }
double Abs(double x) { return FromBits(Bits(x) & 0x7FFFFFFFFFFFFFFFull); }

// 2^k for -1022 <= k <= 1023.
double Pow2(int k) { return FromBits(static_cast<std::uint64_t>(k + 1023) << 52); }

// x * 2^k with one rounding at most (only when the result is subnormal).
double Scale(double x, int k) {
  if (k > 1023) {
    x *= Pow2(1023);
    k -= 1023;
    if (k > 1023) {
      x *= Pow2(1023);
      k -= 1023;
      if (k > 1023) k = 1023;
    }
  } else if (k < -1022) {
    // Two steps: the first stays normal, so the final multiplication is the only rounding.
    x *= Pow2(-1022 + 108);
    k += 1022 - 108;
    if (k < -1022) {
      x *= Pow2(-1022 + 108);
      k += 1022 - 108;
      if (k < -1022) k = -1022;
    }
  }
  return x * Pow2(k);
}

// Nearest integer (ties to even) as a double, for |x| < 2^51.
double RoundToInteger(double x) {
  constexpr double kShifter = 6755399441055744.0;  // 1.5 * 2^52
  return (x + kShifter) - kShifter;
}

// Unbiased exponent of a finite non-zero x, and its significand with the implicit bit.
int Exponent(double x) { return static_cast<int>((Bits(x) >> 52) & 0x7FF) - 1023; }

bool IsInteger(double x) {
  int e = Exponent(x);
  if (e >= 52) return true;  // no fraction bits left (also true for infinity, which callers exclude)
  if (e < 0) return x == 0.0;
  std::uint64_t fractionMask = (1ull << (52 - e)) - 1;
  return (Bits(x) & fractionMask) == 0;
}
// For an integer x: is it odd?
bool IsOddInteger(double x) {
  int e = Exponent(x);
  if (e < 0 || e > 52) return false;  // 0, or a multiple of 2
  std::uint64_t significand = (Bits(x) & 0x000FFFFFFFFFFFFFull) | (1ull << 52);
  return ((significand >> (52 - e)) & 1) != 0;
}

// --- Double-double arithmetic (Dekker, Knuth) ------------------------------------------------------------------

struct DD {
  double hi, lo;
};

DD TwoSum(double a, double b) {
  double s = a + b;
  double bb = s - a;
  double err = (a - (s - bb)) + (b - bb);
  return {s, err};
}
DD FastTwoSum(double a, double b) {  // |a| >= |b|
  double s = a + b;
  return {s, b - (s - a)};
}
DD Split(double a) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1
  double t = kSplitter * a;
  double hi = t - (t - a);
  return {hi, a - hi};
}
DD TwoProd(double a, double b) {
  double p = a * b;
  DD as = Split(a), bs = Split(b);
  double err = ((as.hi * bs.hi - p) + as.hi * bs.lo + as.lo * bs.hi) + as.lo * bs.lo;
  return {p, err};
}
DD Add(DD a, DD b) {
  DD s = TwoSum(a.hi, b.hi);
  DD t = TwoSum(a.lo, b.lo);
  s.lo += t.hi;
  s = FastTwoSum(s.hi, s.lo);
  s.lo += t.lo;
  return FastTwoSum(s.hi, s.lo);
}
DD Mul(DD a, DD b) {
  DD p = TwoProd(a.hi, b.hi);
  p.lo += a.hi * b.lo + a.lo * b.hi;
  return FastTwoSum(p.hi, p.lo);
}
DD MulD(DD a, double b) {
  DD p = TwoProd(a.hi, b);
  p.lo += a.lo * b;
  return FastTwoSum(p.hi, p.lo);
}
DD Div(DD a, DD b) {
  double q1 = a.hi / b.hi;
  DD r = Add(a, MulD(b, -q1));
  double q2 = r.hi / b.hi;
  r = Add(r, MulD(b, -q2));
  double q3 = r.hi / b.hi;
  DD q = FastTwoSum(q1, q2);
  return Add(q, DD{q3, 0.0});
}

constexpr DD kLn2 = {0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56};
constexpr DD kPiOver2 = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};

// --- Sine and cosine --------------------------------------------------------------------------------------------

// Bits of 2/pi after the binary point, 32 to a word, most significant first.
constexpr std::uint32_t kTwoOverPi[40] = {
    0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599, 0x3C439041, 0xFE5163AB, 0xDEBBC561,
    0xB7246E3A, 0x424DD2E0, 0x06492EEA, 0x09D1921C, 0xFE1DEB1C, 0xB129A73E, 0xE88235F5, 0x2EBB4484,
    0xE99C7026, 0xB45F7E41, 0x3991D639, 0x835339F4, 0x9C845F8B, 0xBDF9283B, 0x1FF897FF, 0xDE05980F,
    0xEF2F118B, 0x5A0A6D1F, 0x6D367ECF, 0x27CB09B7, 0x4F463F66, 0x9E5FEA2D, 0x7527BAC7, 0xEBE5F17B,
    0x3D0739F7, 0x8A5292EA, 0x6BFB5FB1, 0x1F8D5D08, 0x56033046, 0xFC7B6BAB, 0xF0CFBC20, 0x9AF4361D};

// 32 bits of 2/pi starting at bit `first` (bit 1 is the first after the binary point).
std::uint32_t TwoOverPiBits(int first) {
  int index = (first - 1) >> 5, shift = (first - 1) & 31;
  std::uint64_t pair = static_cast<std::uint64_t>(kTwoOverPi[index]) << 32;
  if (index + 1 < 40) pair |= kTwoOverPi[index + 1];
  return static_cast<std::uint32_t>(pair >> (32 - shift));
}

// Bit `position` (0 = least significant) of a little-endian array of 32-bit words, as part of a 64-bit read.
std::uint64_t Bits64At(const std::uint32_t* words, int count, int position) {
  // 64 bits whose lowest is `position`; bits below 0 read as 0.
  std::uint64_t result = 0;
  for (int b = 0; b < 64; b += 32) {
    int p = position + b;
    std::uint32_t w = 0;
    if (p >= 0) {
      int index = p >> 5, shift = p & 31;
      std::uint64_t pair = 0;
      if (index < count) pair = words[index];
      if (index + 1 < count) pair |= static_cast<std::uint64_t>(words[index + 1]) << 32;
      w = static_cast<std::uint32_t>(pair >> shift);
    } else if (p > -32) {
      w = words[0] << (-p);
    }
    result |= static_cast<std::uint64_t>(w) << b;
  }
  return result;
}

// Reduces a finite x >= pi/4 to r = x - n * pi/2 with |r| <= pi/4 (as a double-double), returning n mod 4.
// Payne-Hanek: x * 2/pi is formed exactly enough from a 192-bit window of 2/pi's bits, whatever the size of x.
int ReduceHalfPi(double x, DD* r) {
  std::uint64_t b = Bits(x);
  int e = static_cast<int>(b >> 52) - 1075;                      // x = m * 2^e
  std::uint64_t m = (b & 0x000FFFFFFFFFFFFFull) | (1ull << 52);  // x >= pi/4 is normal
  // Bits of 2/pi above position e - 1 only add multiples of 4 to x * 2/pi.
  int first = e - 1 > 1 ? e - 1 : 1;
  std::uint32_t window[6];  // little-endian: window[5] holds bits first .. first + 31
  for (int k = 0; k < 6; ++k) window[5 - k] = TwoOverPiBits(first + 32 * k);
  std::uint32_t mw[2] = {static_cast<std::uint32_t>(m), static_cast<std::uint32_t>(m >> 32)};
  std::uint32_t product[8] = {};
  for (int i = 0; i < 2; ++i) {
    std::uint64_t carry = 0;
    for (int j = 0; j < 6; ++j) {
      std::uint64_t t = static_cast<std::uint64_t>(mw[i]) * window[j] + product[i + j] + carry;
      product[i + j] = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    product[i + 6] = static_cast<std::uint32_t>(carry);
  }
  // The window's value is 2^-(first + 191) times its integer, so x * 2/pi = product * 2^(e - first - 191).
  int point = first + 191 - e;  // number of fraction bits in `product`
  int n = static_cast<int>(Bits64At(product, 8, point) & 3);
  std::uint64_t f2 = Bits64At(product, 8, point - 64);
  std::uint64_t f1 = Bits64At(product, 8, point - 128);
  std::uint64_t f0 = Bits64At(product, 8, point - 192);
  bool negative = (f2 >> 63) != 0;
  if (negative) {  // fraction >= 1/2: take fraction - 1 and count one more quadrant
    n = (n + 1) & 3;
    f0 = ~f0;
    f1 = ~f1;
    f2 = ~f2;
    if (++f0 == 0 && ++f1 == 0) ++f2;
  }
  // Normalise the 192-bit magnitude so that its top bit is set.
  int shift = 0;
  while (f2 == 0 && shift < 192) {
    f2 = f1;
    f1 = f0;
    f0 = 0;
    shift += 64;
  }
  if (f2 == 0) {
    *r = {0.0, 0.0};
    return n;
  }
  int lz = std::countl_zero(f2);
  if (lz != 0) {
    f2 = (f2 << lz) | (f1 >> (64 - lz));
    f1 = (f1 << lz) | (f0 >> (64 - lz));
  }
  shift += lz;
  double hi = static_cast<double>(f2 >> 11);                           // 53 bits, exact
  double lo = static_cast<double>(((f2 & 0x7FF) << 42) | (f1 >> 22));  // next 53 bits, exact
  DD fraction = FastTwoSum(Scale(hi, -53 - shift), Scale(lo, -106 - shift));
  DD reduced = Mul(fraction, kPiOver2);
  if (negative) reduced = {-reduced.hi, -reduced.lo};
  *r = reduced;
  return n;
}

// sin(x + y) for |x + y| <= pi/4, |y| tiny beside x.
double KernelSin(double x, double y) {
  constexpr double S1 = -1.66666666666666324348e-01, S2 = 8.33333333332248946124e-03, S3 = -1.98412698298579493134e-04,
                   S4 = 2.75573137070700676789e-06, S5 = -2.50507602534068634195e-08, S6 = 1.58969099521155010221e-10;
  double z = x * x;
  double v = z * x;
  double r = S2 + z * (S3 + z * (S4 + z * (S5 + z * S6)));
  return x - ((z * (0.5 * y - v * r) - y) - v * S1);
}

// cos(x + y) for |x + y| <= pi/4.
double KernelCos(double x, double y) {
  constexpr double C1 = 4.16666666666666019037e-02, C2 = -1.38888888888741095749e-03, C3 = 2.48015872894767294178e-05,
                   C4 = -2.75573143513906633035e-07, C5 = 2.08757232129817482790e-09, C6 = -1.13596475577881948265e-11;
  double z = x * x;
  double r = z * (C1 + z * (C2 + z * (C3 + z * (C4 + z * (C5 + z * C6)))));
  double hz = 0.5 * z;
  double w = 1.0 - hz;
  return w + (((1.0 - w) - hz) + (z * r - x * y));
}

constexpr double kQuarterPi = 0x1.921fb54442d18p-1;

// --- Arc tangent ------------------------------------------------------------------------------------------------

// atan(x + xLo) for a small correction xLo (the rounding error of a quotient).
double Atan(double x, double xLo = 0.0) {
  constexpr double kAtanHi[4] = {4.63647609000806093515e-01, 7.85398163397448278999e-01, 9.82793723247329054082e-01,
                                 1.57079632679489655800e+00};
  constexpr double kAtanLo[4] = {2.26987774529616870924e-17, 3.06161699786838301793e-17, 1.39033110312309984516e-17,
                                 6.12323399573676603587e-17};
  constexpr double aT[11] = {3.33333333333329318027e-01,  -1.99999999998764832476e-01, 1.42857142725034663711e-01,
                             -1.11111104054623557880e-01, 9.09088713343650656196e-02,  -7.69187620504482999495e-02,
                             6.66107313738753120669e-02,  -5.83357013379057348645e-02, 4.97687799461593236017e-02,
                             -3.65315727442169155270e-02, 1.62858201153657823623e-02};
  std::uint32_t hx = HighWord(x);
  std::uint32_t ix = hx & 0x7FFFFFFF;
  bool negative = (hx >> 31) != 0;
  if (ix >= 0x44100000) {  // |x| >= 2^66
    if (x != x) return x + x;
    return negative ? -kAtanHi[3] - kAtanLo[3] : kAtanHi[3] + kAtanLo[3];
  }
  int id;
  if (ix < 0x3FDC0000) {            // |x| < 0.4375
    if (ix < 0x3E400000) return x;  // |x| < 2^-27
    id = -1;
  } else {
    x = Abs(x);
    if (ix < 0x3FF30000) {    // |x| < 1.1875
      if (ix < 0x3FE60000) {  // 7/16 <= |x| < 11/16
        id = 0;
        xLo *= 5.0 / ((2.0 + x) * (2.0 + x));  // derivative of the reduction
        x = (2.0 * x - 1.0) / (2.0 + x);
      } else {  // 11/16 <= |x| < 19/16
        id = 1;
        xLo *= 2.0 / ((x + 1.0) * (x + 1.0));
        x = (x - 1.0) / (x + 1.0);
      }
    } else if (ix < 0x40038000) {  // |x| < 2.4375
      id = 2;
      xLo *= 3.25 / ((1.0 + 1.5 * x) * (1.0 + 1.5 * x));
      x = (x - 1.5) / (1.0 + 1.5 * x);
    } else {  // 2.4375 <= |x| < 2^66
      id = 3;
      xLo /= x * x;
      x = -1.0 / x;
    }
  }
  double z = x * x;
  double w = z * z;
  double s1 = z * (aT[0] + w * (aT[2] + w * (aT[4] + w * (aT[6] + w * (aT[8] + w * aT[10])))));
  double s2 = w * (aT[1] + w * (aT[3] + w * (aT[5] + w * (aT[7] + w * aT[9]))));
  // atan(x + xLo) = atan(x) + xLo / (1 + x^2) to far below an ulp.
  double correction = xLo / (1.0 + z);
  if (id < 0) return x - (x * (s1 + s2) - correction);
  double result = kAtanHi[id] - ((x * (s1 + s2) - (kAtanLo[id] + correction)) - x);
  return negative ? -result : result;
}

// --- Exponential and logarithm in double-double, for the power function -----------------------------------------

// log(x) as a double-double with a relative error far below 2^-60, for finite x > 0.
DD LogDD(double x) {
  int k = 0;
  if (x < 0x1p-1022) {  // subnormal: make it normal first
    x *= 0x1p54;
    k -= 54;
  }
  std::uint64_t b = Bits(x);
  k += static_cast<int>(b >> 52) - 1023;
  double m = FromBits((b & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);  // [1, 2)
  if (m > 0x1.6a09e667f3bcdp+0) {                                            // keep m within [sqrt(1/2), sqrt(2))
    m *= 0.5;
    ++k;
  }
  // log(m) = 2 atanh(s), s = (m - 1) / (m + 1), |s| <= 0.1716.
  double f = m - 1.0;  // exact
  DD s = Div(DD{f, 0.0}, TwoSum(m, 1.0));
  DD t = Mul(s, s);
  DD twoS = {2.0 * s.hi, 2.0 * s.lo};
  DD cube = Mul(twoS, t);  // 2 s^3
  DD third = Div(cube, DD{3.0, 0.0});
  double u = t.hi;
  // 1/5 + u/7 + u^2/9 + ... + u^12/29, u <= 0.0295: the last term is below 2^-70 of the result.
  double tail = 1.0 / 29;
  for (int d = 27; d >= 5; d -= 2) tail = 1.0 / d + u * tail;
  double rest = cube.hi * u * tail;  // 2 s^5 (1/5 + s^2/7 + ...)
  DD logM = Add(twoS, Add(third, DD{rest, 0.0}));
  if (k == 0) return logM;
  double dk = static_cast<double>(k);
  DD kLn2Hi = TwoProd(dk, kLn2.hi);
  return Add(Add(kLn2Hi, DD{dk * kLn2.lo, 0.0}), logM);
}

// exp(z) for a double-double z, rounded once at the end (overflow to infinity, underflow to 0).
double ExpDD(DD z) {
  if (z.hi > 709.8) return kInf;
  if (z.hi < -745.2) return 0.0;
  double n = RoundToInteger(z.hi * 0x1.71547652b82fep+0);
  // r = z - n ln2, |r| <= ~0.35; n * ln2.hi is exact as a double-double.
  DD nLn2 = TwoProd(n, kLn2.hi);
  DD r = Add(z, DD{-nLn2.hi, -nLn2.lo});
  r = Add(r, DD{-n * kLn2.lo, 0.0});
  // exp(r) = 1 + r + r^2/2 + r^3/6 + r^4 (1/24 + r/120 + ...): the leading terms in double-double.
  DD r2 = Mul(r, r);
  DD r3 = Mul(r2, r);
  double x = r.hi;
  // 1/4! + x/5! + ... + x^11/15!, |x| <= 0.35.
  double tail = 1.0 / 1307674368000.0;
  double factorial = 1307674368000.0;  // 15!
  for (int d = 15; d > 4; --d) {
    factorial /= d;  // exact: 14!, 13!, ..., 4! are integers below 2^53
    tail = 1.0 / factorial + x * tail;
  }
  double r4 = r2.hi * r2.hi;
  DD sum = Add(DD{r4 * tail, 0.0}, Div(r3, DD{6.0, 0.0}));
  sum = Add(sum, DD{0.5 * r2.hi, 0.5 * r2.lo});
  sum = Add(sum, r);
  sum = Add(DD{1.0, 0.0}, sum);
  return Scale(sum.hi, static_cast<int>(n));
}

}  // namespace

double ExactSin(double x) {
  double a = Abs(x);
  if (!(a < kInf)) return x - x;  // NaN for infinities and NaN
  if (a <= kQuarterPi) {
    if (a < 0x1p-27) return x;
    return KernelSin(x, 0.0);
  }
  DD r;
  int n = ReduceHalfPi(a, &r);
  double s;
  switch (n) {
    case 0:
      s = KernelSin(r.hi, r.lo);
      break;
    case 1:
      s = KernelCos(r.hi, r.lo);
      break;
    case 2:
      s = -KernelSin(r.hi, r.lo);
      break;
    default:
      s = -KernelCos(r.hi, r.lo);
      break;
  }
  return x < 0 ? -s : s;
}

double ExactCos(double x) {
  double a = Abs(x);
  if (!(a < kInf)) return x - x;
  if (a <= kQuarterPi) {
    if (a < 0x1p-27) return 1.0;
    return KernelCos(a, 0.0);
  }
  DD r;
  int n = ReduceHalfPi(a, &r);
  switch (n) {
    case 0:
      return KernelCos(r.hi, r.lo);
    case 1:
      return -KernelSin(r.hi, r.lo);
    case 2:
      return -KernelCos(r.hi, r.lo);
    default:
      return KernelSin(r.hi, r.lo);
  }
}

double ExactAtan2(double y, double x) {
  constexpr double kPi = 0x1.921fb54442d18p+1, kPiLo = 0x1.1a62633145c07p-53;
  constexpr double kHalfPi = 0x1.921fb54442d18p+0;
  if (x != x || y != y) return x + y;
  if (x == 1.0) return Atan(y);
  bool yNeg = (HighWord(y) >> 31) != 0, xNeg = (HighWord(x) >> 31) != 0;
  if (y == 0.0) return xNeg ? (yNeg ? -kPi : kPi) : y;
  if (x == 0.0) return yNeg ? -kHalfPi : kHalfPi;
  double ax = Abs(x), ay = Abs(y);
  if (ax == kInf) {
    if (ay == kInf) {
      double q = xNeg ? 0x1.2d97c7f3321d2p+1 : kQuarterPi;  // 3pi/4 or pi/4
      return yNeg ? -q : q;
    }
    double q = xNeg ? kPi : 0.0;
    return yNeg ? -q : q;
  }
  if (ay == kInf) return yNeg ? -kHalfPi : kHalfPi;
  int k = static_cast<int>((HighWord(ay) >> 20) - (HighWord(ax) >> 20));
  double z;
  if (k > 60) {  // |y / x| > 2^60: the angle is +-pi/2 to the last bit, whatever the sign of x
    z = kHalfPi + 0.5 * kPiLo;
    return yNeg ? -z : z;
  }
  if (xNeg && k < -60) {
    z = 0.0;
  } else {
    // The quotient's rounding error, exact from the product's low part, goes into the arc tangent.
    // (Only where the splitting product can neither overflow nor lose bits to underflow.)
    double q = ay / ax;
    double qLo = 0.0;
    if (ax > 0x1p-900 && ax < 0x1p900 && q > 0x1p-900 && q < 0x1p900) {
      DD p = TwoProd(q, ax);
      qLo = ((ay - p.hi) - p.lo) / ax;
    }
    z = Atan(q, qLo);
  }
  if (!xNeg) return yNeg ? -z : z;
  double w = kPi - (z - kPiLo);
  return yNeg ? -w : w;
}

double ExactExp(double x) {
  constexpr double kLn2Hi = 6.93147180369123816490e-01, kLn2Lo = 1.90821492927058770002e-10;
  constexpr double kInvLn2 = 1.44269504088896338700e+00;
  constexpr double P1 = 1.66666666666666019037e-01, P2 = -2.77777777770155933842e-03, P3 = 6.61375632143793436117e-05,
                   P4 = -1.65339022054652515390e-06, P5 = 4.13813679705723846039e-08;
  if (x != x) return x + x;
  if (x > 7.09782712893383973096e+02) return kInf;
  if (x < -7.45133219101941108420e+02) return 0.0;
  std::uint32_t hx = HighWord(x) & 0x7FFFFFFF;
  double hi = 0, lo = 0;
  int k = 0;
  if (hx > 0x3FD62E42) {  // |x| > ln2 / 2
    double kd = RoundToInteger(x * kInvLn2);
    k = static_cast<int>(kd);
    hi = x - kd * kLn2Hi;  // exact: kLn2Hi has 32 significant bits
    lo = kd * kLn2Lo;
    x = hi - lo;
  } else if (hx < 0x3E300000) {  // |x| < 2^-28
    return 1.0 + x;
  }
  double t = x * x;
  double c = x - t * (P1 + t * (P2 + t * (P3 + t * (P4 + t * P5))));
  if (k == 0) return 1.0 - ((x * c) / (c - 2.0) - x);
  double y = 1.0 - ((lo - (x * c) / (2.0 - c)) - hi);
  return Scale(y, k);
}

double ExactLog(double x) {
  constexpr double kLn2Hi = 6.93147180369123816490e-01, kLn2Lo = 1.90821492927058770002e-10;
  constexpr double Lg1 = 6.666666666666735130e-01, Lg2 = 3.999999999940941908e-01, Lg3 = 2.857142874366239149e-01,
                   Lg4 = 2.222219843214978396e-01, Lg5 = 1.818357216161805012e-01, Lg6 = 1.531383769920937332e-01,
                   Lg7 = 1.479819860511658591e-01;
  if (x != x) return x + x;
  if (x == 0.0) return -kInf;
  if (x < 0.0) return kNaN;
  if (x == kInf) return x;
  int k = 0;
  if (x < 0x1p-1022) {
    x *= 0x1p54;
    k -= 54;
  }
  std::uint64_t b = Bits(x);
  std::int32_t hx = static_cast<std::int32_t>(b >> 32);
  k += (hx >> 20) - 1023;
  hx &= 0x000FFFFF;
  std::int32_t i = (hx + 0x95F64) & 0x100000;
  // m in [sqrt(2)/2, sqrt(2)): x or x/2 with the exponent moved into k.
  x = FromBits((static_cast<std::uint64_t>(static_cast<std::uint32_t>(hx | (i ^ 0x3FF00000))) << 32) |
               (b & 0xFFFFFFFFull));
  k += i >> 20;
  double f = x - 1.0;
  double dk = static_cast<double>(k);
  if ((0x000FFFFF & (2 + hx)) < 3) {  // |f| < 2^-20
    if (f == 0.0) return k == 0 ? 0.0 : dk * kLn2Hi + dk * kLn2Lo;
    double R = f * f * (0.5 - 0.33333333333333333 * f);
    return k == 0 ? f - R : dk * kLn2Hi - ((R - dk * kLn2Lo) - f);
  }
  double s = f / (2.0 + f);
  double z = s * s;
  std::int32_t j = 0x6B851 - hx;
  i = hx - 0x6147A;
  double w = z * z;
  double t1 = w * (Lg2 + w * (Lg4 + w * Lg6));
  double t2 = z * (Lg1 + w * (Lg3 + w * (Lg5 + w * Lg7)));
  i |= j;
  double R = t2 + t1;
  if (i > 0) {
    double hfsq = 0.5 * f * f;
    if (k == 0) return f - (hfsq - s * (hfsq + R));
    return dk * kLn2Hi - ((hfsq - (s * (hfsq + R) + dk * kLn2Lo)) - f);
  }
  if (k == 0) return f - s * (f - R);
  return dk * kLn2Hi - ((s * (f - R) - dk * kLn2Lo) - f);
}

double ExactPow(double x, double y) {
  if (y == 0.0) return 1.0;
  if (x == 1.0) return 1.0;
  if (x != x || y != y) return x + y;
  if (y == 1.0) return x;
  double ax = Abs(x), ay = Abs(y);
  bool xNeg = (HighWord(x) >> 31) != 0;
  if (ay == kInf) {
    if (ax == 1.0) return 1.0;  // (-1)^(+-inf)
    bool grows = (ax > 1.0) == (y > 0.0);
    return grows ? kInf : 0.0;
  }
  bool yInteger = IsInteger(y);
  bool oddY = yInteger && IsOddInteger(y);
  if (ax == 0.0 || ax == kInf) {
    // 0^y and inf^y: the magnitude is 0 or infinity, the sign is x's for odd integer y.
    bool huge = (ax == 0.0) == (y < 0.0);
    double magnitude = huge ? kInf : 0.0;
    return (xNeg && oddY) ? -magnitude : magnitude;
  }
  if (xNeg && !yInteger) return kNaN;
  DD l = LogDD(ax);
  double zHi = y * l.hi;
  double result;
  if (zHi > 709.8) {
    result = kInf;
  } else if (zHi < -745.2) {
    result = 0.0;
  } else {
    DD z = TwoProd(y, l.hi);
    z.lo += y * l.lo;
    result = ExpDD(FastTwoSum(z.hi, z.lo));
  }
  return (xNeg && oddY) ? -result : result;
}
