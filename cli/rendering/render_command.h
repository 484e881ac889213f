// `tavelmir render`: its options, as parsed, and the command.
#pragma once
#include <cstdint>
#include <string>

#include "command_streams.h"
#include "look_options.h"

struct RenderOptions {
  std::string audioPath;        // AUDIO ("-" for standard input), or empty with a waveform file
  std::string waveformPath;     // --waveform
  std::string outputPath;       // -o ("-" for Matroska on standard output)
  std::string dumpPath;         // --dump
  LookOptions look;             // --plugin-dir, --set, --palettes
  std::int64_t maxFrames = 0;   // --frames; 0 = all
  std::string offsetMs;         // --offset-ms, as written
  std::string start, duration;  // --start/-ss, --duration/-t, as written
  std::string end;              // --to/-to, as written: the time in the song where the part ends
  std::string size;             // --size WxH; empty = the default or --scale
  std::string fit;              // --fit; empty = contain
  std::string aspect;           // --aspect; empty = 4:3
  int scale = 0;                // --scale (the picture filling the frame); 0 = not given
  bool aspect43 = false;        // --aspect43, with --scale
  int crf = -1;                 // --crf; -1 = the codec's default
  std::string preset;           // --preset
  std::string quality;          // --quality; empty = the default
  std::string tune;             // --tune
  std::string scaling;          // --scaling; empty = sharp, and the classic picture when --look is not given
  std::string videoCodec;       // --video-codec
  std::string encoder;          // --encoder: auto (or empty), software, nvenc, vaapi, qsv
  std::string audioCodec;       // --audio-codec
  std::string audioBitrate;     // --audio-bitrate
  std::string fps;              // --fps, as written; empty = not given
  bool replace = false;         // -y
  bool keep = false;            // -n
  std::string picture;          // --look (picture_look.h); empty = the default for the output
};

// Output size when none is asked for: a 4:3 picture people can watch.
constexpr int kDefaultOutputWidth = 960;
constexpr int kDefaultOutputHeight = 720;
// A GIF's: the screen's own 320 x 200 frames. Doubled, a GIF is about two and a half times the bytes, for at most
// a sharper picture than the viewer's own enlargement gives; --scale 2 asks for that.
constexpr int kDefaultGifScale = 1;

// The process's exit status: 0 on success, 1 with a message on `err` when an input or output fails, 2 for a
// usage error.
int RunRender(const RenderOptions& options, CommandStreams& streams);
