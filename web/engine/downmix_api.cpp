// Surround songs on the web page: the command line's downmix (the engine's StereoDownmix) and its sample
// conversion over double samples, so that a 5.1 file draws the same frames in the page as in `tavelmir render`.
#include <cstddef>
#include <cstdint>

#include "core/channel_downmix.h"
#include "core/waveform_sample.h"

#define TAVELMIR_EXPORT(name) extern "C" __attribute__((export_name(name)))

// `frames` frames of `channels` interleaved samples (their speakers: `mask` in WAV's channel-mask order, 0 for the
// layout FFmpeg assumes for the count) mixed to `frames` interleaved left/right pairs in double, as the command line
// mixes them before the conversion. 0 = mixed; 1 = a count the mix does not take.
TAVELMIR_EXPORT("tv_mix_to_stereo")
int tv_mix_to_stereo(const float* interleaved, int channels, int frames, std::uint32_t mask, double* stereo) {
  if (channels < 1 || channels > kDownmixMaximumChannels || frames < 0) return 1;
  const StereoDownmix mix = StereoDownmix::ForMask(channels, mask);
  for (int f = 0; f < frames; ++f) {
    const std::size_t at = static_cast<std::size_t>(f);
    mix.MixFrame(interleaved + at * static_cast<std::size_t>(channels), stereo[2 * at], stereo[2 * at + 1]);
  }
  return 0;
}

// `count` double samples as the host's signed 8-bit values, through the hosts' one conversion.
TAVELMIR_EXPORT("tv_signed8_from_doubles")
void tv_signed8_from_doubles(const double* samples, int count, std::int8_t* out) {
  for (int i = 0; i < count; ++i) out[i] = SampleToSigned8(samples[i]);
}
