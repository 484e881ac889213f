// The host's signed 8-bit sample: one conversion for every audio source, the command line's and the web page's.
#pragma once
#include <cstdint>

// One normalised sample (full scale -1 .. 1) as the host's signed 8-bit value: the top 8 bits of the integer
// sample, so a 16-bit sample s becomes s >> 8; out-of-range float samples are clipped.
std::int8_t SampleToSigned8(double sample);
