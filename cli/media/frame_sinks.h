// Where rendered frames go: the raw --dump file, or ffmpeg writing a video, a stream, an animated GIF or PNGs.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "frame_image.h"
#include "frame_resampler.h"
#include "output_encoding.h"

// The kind of output that the path of -o asks for: by its ending (.mp4, .mkv, .mov, .webm, .gif, .png for one
// still, any case), "-" for Matroska on standard output, or a folder of PNGs for an existing folder or a path
// ending in '/'. An existing device or named pipe without one of these endings gets Matroska (`-o /dev/null`).
OutputKind OutputKindForPath(const std::string& path);
// For messages: what -o takes.
extern const char kOutputKindsText[];
// Frames travel as YUV 4:2:0 to the video encoders, as palette indices to the GIF writer and as RGB to PNGs.
bool OutputTakesYuv(OutputKind kind);

// The full path of a program found on PATH, or empty.
std::string FindProgramOnPath(const std::string& name);

// The sound that goes along: `channels` 0 for none. Float samples at `rate`, fed through a second pipe.
struct AudioFeed {
  int rate = 0;
  int channels = 0;
};

// The ffmpeg command line (without the program name) that reads raw frames of the geometry at 50 per second (a
// GIF's at its own rate) from its standard input (and float samples from descriptor 3, or the sound of the input
// file to copy) and writes `target`, which is already a "file:" name or "pipe:1".
std::vector<std::string> FfmpegArguments(OutputKind kind, const std::string& target, const OutputGeometry& geometry,
                                         const AudioFeed& audio, const EncoderChoice& encoder);

struct FrameSink {
  OutputKind kind = OutputKind::Unsupported;
  std::string path;       // the final name
  std::string temporary;  // where the output is written until it is complete (file or folder)
  bool replace = false;   // -y: a file that appears under the final name meanwhile is replaced
  FrameScaler scaler;

  // Sharp or smooth enlargement (nearest: `scaler`, as for the indices of a GIF); a GIF takes every frameStep-th
  // of the frames `received`.
  Scaling scaling = Scaling::Sharp;
  FrameResampler resampler;
  int frameStep = 1;
  std::int64_t received = 0;
  std::FILE* dump = nullptr;
  pid_t ffmpeg = -1;
  int videoPipe = -1, audioPipe = -1;
  AudioFeed audio;
  std::vector<std::uint8_t> pixels;
  std::vector<std::uint8_t> audioQueue;  // float samples not yet taken by ffmpeg, from byte audioQueueAt on
  std::size_t audioQueueAt = 0;
  std::int64_t frames = 0;
  // Asked for more sound whenever none is queued while a frame is written, so that ffmpeg never waits for sound
  // while we wait for it to take the frame: 1 = some was queued, 0 = none to give now, -1 = failed (`soundError`).
  std::function<int()> feedSound;
  std::string soundError;
  bool soundEnded = false;  // all the sound is queued: the pipe closes once ffmpeg has taken it
};

// Checks that the output can be written (and that ffmpeg exists when it is needed), makes the temporary file or
// folder beside the final name and starts the writer. Nothing is made under the final name.
bool OpenFrameSink(FrameSink& sink, OutputKind kind, const std::string& path, const OutputGeometry& geometry,
                   const AudioFeed& audio, const EncoderChoice& encoder, bool replace, std::string& error);
// `indices`: 64000 palette indices, row-major; `palette`: 768 bytes of red, green, blue.
bool WriteFrameToSink(FrameSink& sink, const std::uint8_t* indices, const std::uint8_t* palette, std::string& error);
// A picture already at the output's size, rows packed: width x height pixels of red, green, blue, and for outputs
// that take YUV (OutputTakesYuv) one unused byte more. --dump writes it as it is.
bool WritePictureToSink(FrameSink& sink, const std::uint8_t* rgb, int bytesPerPixel, std::string& error);
// Sample frames (interleaved, `channels` each, full scale -1 .. 1) for the sound; the first AudioFeed::channels
// are taken, NaN becomes silence and values beyond full scale are clipped.
bool WriteAudioToSink(FrameSink& sink, const double* interleaved, std::int64_t frames, int channels,
                      std::string& error);
// Finishes the output: waits for ffmpeg, then puts the complete output under its final name.
bool CloseFrameSink(FrameSink& sink, std::string& error);
// Stops the writer and removes the temporary output; the final name is left as it was.
void AbandonFrameSink(FrameSink& sink);
