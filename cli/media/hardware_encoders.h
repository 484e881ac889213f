// The hardware video encoders of FFmpeg (NVENC, VA-API, Quick Sync): which one a render uses, found by a tiny real
// encode (a listed encoder proves nothing without its device and driver), and the arguments each takes.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "output_encoding.h"

// Runs ffmpeg with these arguments (without the program name). True when it exited 0; `reason` gets the first line
// it said otherwise. Injected by the tests.
using EncodeProbe = std::function<bool(const std::vector<std::string>& arguments, std::string& reason)>;

// The probe of a real machine: ffmpeg, given at most a few seconds (a driver can hang).
bool RunEncodeProbe(const std::vector<std::string>& arguments, std::string& reason);

// True when a device node the API needs is on this machine (/dev/nvidiactl, /dev/dri/renderD*): without one, `auto`
// spends no probe on it.
bool HardwareDeviceNodePresent(HardwareEncoder api);

// "--encoder"'s values, and the names people know the APIs by.
bool ParseHardwareEncoder(const std::string& text, HardwareEncoder& api, bool& automatic);
const char* HardwareEncoderTitle(HardwareEncoder api);  // "NVENC", "VA-API", "Quick Sync", "software"

// FFmpeg's encoder of the codec a choice names through `api` ("h264_vaapi"), or nullptr when FFmpeg has none here.
const char* HardwareEncoderName(HardwareEncoder api, OutputKind kind, const EncoderChoice& encoder);

// The ffmpeg arguments of a one-frame test encode through `api`, the same encoder settings as a render's.
std::vector<std::string> ProbeArguments(HardwareEncoder api, OutputKind kind, const EncoderChoice& encoder);

struct EncoderDecision {
  HardwareEncoder api = HardwareEncoder::None;
  std::string note;   // the one line that tells which encoder is used; empty when nothing was probed
  std::string error;  // an encoder asked for by name that cannot work here, with the reason
};

// `--encoder auto` tries NVENC, VA-API and Quick Sync in turn, each once, and takes the first that encodes; without
// one, or for an output that could not be rendered again should the encoder fail (`restartable` false), or when
// software's own settings (--crf, --preset, --tune) were given, it is software. A named API is probed and used, or
// is an error. `devicePresent` keeps `auto` from probing an API whose device is not there.
EncoderDecision DecideEncoder(const std::string& request, OutputKind kind, const EncoderChoice& encoder,
                              bool restartable, const EncodeProbe& probe,
                              const std::function<bool(HardwareEncoder)>& devicePresent);

// Arguments that open the device, before the inputs (VA-API's frames are uploaded to it by a filter).
void AppendHardwareDevice(HardwareEncoder api, std::vector<std::string>& arguments);
// The video encoder and its quality for a choice through `api` (not None), from -c:v on.
void AppendHardwareVideoEncoding(HardwareEncoder api, OutputKind kind, const EncoderChoice& encoder,
                                 const OutputGeometry& geometry, std::vector<std::string>& arguments);
