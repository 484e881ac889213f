// Normalised and 16-bit audio samples to the host's signed 8-bit waveform values.
#include "core/waveform_sample.h"

#include <cmath>

std::int8_t SampleToSigned8(double sample) {
  // libsndfile maps integer formats onto -1 .. 1 by dividing by 2^(bits-1), so floor(x * 128) is exactly the
  // integer sample shifted right arithmetically to 8 bits.
  if (sample != sample) return 0;  // NaN: silence
  double scaled = std::floor(sample * 128.0);
  if (scaled < -128.0) scaled = -128.0;
  if (scaled > 127.0) scaled = 127.0;
  return static_cast<std::int8_t>(scaled);
}
