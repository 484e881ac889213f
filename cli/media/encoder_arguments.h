// The ffmpeg command line that turns raw frames (and raw sound) into an output of each kind.
#pragma once
#include <string>
#include <vector>

#include "frame_image.h"
#include "output_encoding.h"

// The sound that goes along: `channels` 0 for none. Float samples at `rate`, fed through a second pipe.
struct AudioFeed {
  int rate = 0;
  int channels = 0;
};

// The ffmpeg command line (without the program name) that reads raw frames of the geometry at the output's rate from
// its standard input (and float samples from descriptor 3, or the sound of the input file to copy) and writes `target`,
// which is already a "file:" name or "pipe:1".
std::vector<std::string> FfmpegArguments(OutputKind kind, const std::string& target, const OutputGeometry& geometry,
                                         const AudioFeed& audio, const EncoderChoice& encoder);
