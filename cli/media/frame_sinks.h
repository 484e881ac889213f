// Where rendered frames go: the raw --dump file, or ffmpeg writing a video, a stream, an animated GIF or PNGs. A
// sink owns what it writes: its destructor abandons an output that was not closed (the temporary removed, ffmpeg
// killed and reaped); CloseFrameSink commits it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "encoder_arguments.h"
#include "encoder_process.h"
#include "frame_image.h"
#include "core/frame_resampler.h"
#include "output_encoding.h"
#include "output_kind.h"
#include "rgb_to_yuv.h"
#include "temporary_output.h"

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using OwnedFile = std::unique_ptr<std::FILE, FileCloser>;

struct FrameSink {
  OutputKind kind = OutputKind::Unsupported;
  std::string path;      // the final name
  bool replace = false;  // -y: a file that appears under the final name meanwhile is replaced
  FrameScaler scaler;

  // Sharp or smooth enlargement (nearest: `scaler`, as for the indices of a GIF); a GIF or a video at less than 50
  // frames a second takes every frameStep-th of the frames `received`.
  Scaling scaling = Scaling::Sharp;
  FrameResampler resampler;
  int frameStep = 1;
  std::int64_t received = 0;
  AudioFeed audio;
  std::vector<std::uint8_t> pixels;
  std::vector<float> samples;  // the sound being handed on
  std::int64_t frames = 0;
  std::int64_t dumpBytes = 0;  // handed to --dump's file: what it must hold when closed

  // Declared in the order they are made, so that they go in the reverse one: the writer before its file.
  TemporaryOutput temporary;  // where the output is written until it is complete (file or folder)
  OwnedFile dump;             // --dump's file
  EncoderProcess encoder;     // ffmpeg, for every other kind
};

// Checks that the output can be written (and that ffmpeg exists when it is needed), makes the temporary file or
// folder beside the final name and starts the writer. Nothing is made under the final name.
bool OpenFrameSink(FrameSink& sink, OutputKind kind, const std::string& path, const OutputGeometry& geometry,
                   const AudioFeed& audio, const EncoderChoice& encoder, bool replace, std::string& error);
// `indices`: 64000 palette indices, row-major; `palette`: 768 bytes of red, green, blue.
bool WriteFrameToSink(FrameSink& sink, const std::uint8_t* indices, const std::uint8_t* palette, std::string& error);
// True when the next frame handed to the sink will not be kept (a lower frame rate): a picture need not be drawn.
bool SinkSkipsNextFrame(const FrameSink& sink);
// A picture already at the output's size, rows packed, width x height pixels laid out as `layout` says: RGB for
// outputs that take RGB (--dump writes it as it is), RGBX or YUVX for those that take YUV (OutputTakesYuv).
bool WritePictureToSink(FrameSink& sink, const std::uint8_t* pixels, PicturePixels layout, std::string& error);
// Sample frames (interleaved, `channels` each, full scale -1 .. 1) for the sound; the first AudioFeed::channels
// are taken, NaN becomes silence and values beyond full scale are clipped.
bool WriteAudioToSink(FrameSink& sink, const double* interleaved, std::int64_t frames, int channels,
                      std::string& error);
// Finishes the output: waits for ffmpeg, checks what was written (on the disk, whole and readable), then puts it
// under its final name. A failure anywhere leaves the final name as it was.
bool CloseFrameSink(FrameSink& sink, std::string& error);
// Stops the writer and removes the temporary output; the final name is left as it was.
void AbandonFrameSink(FrameSink& sink);
