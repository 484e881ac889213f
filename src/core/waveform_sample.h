// The host's signed 8-bit waveform sample from PCM: one conversion for every audio source, the command line's
// decoded files, its live and played sound, and the web page's.
#pragma once
#include <cstdint>

// One normalised sample (full scale -1 .. 1) as the host's signed 8-bit value: the top 8 bits of the integer
// sample, so a 16-bit sample s becomes s >> 8; out-of-range float samples are clipped, NaN is silence.
std::int8_t SampleToSigned8(double sample);

// A 16-bit sample's top 8 bits, as the host hands them to the plug-in: the same value SampleToSigned8 gives for
// sample / 32768.
constexpr std::int8_t Pcm16ToSigned8(std::int16_t sample) { return static_cast<std::int8_t>(sample >> 8); }
