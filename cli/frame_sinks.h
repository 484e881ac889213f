// Where rendered frames go: the raw --dump file, or ffmpeg writing a video, an animated GIF or numbered PNGs.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "frame_image.h"

enum class OutputKind { Dump, Mp4, Mkv, Webm, Gif, PngDirectory, Unsupported };

// The kind of output that the path of -o asks for: by its ending (.mp4, .mkv, .webm, .gif, any case), or a
// folder of PNGs for an existing folder, a path ending in '/' or a name without an extension.
OutputKind OutputKindForPath(const std::string& path);

// The full path of a program found on PATH, or empty.
std::string FindProgramOnPath(const std::string& name);

// The ffmpeg command line (without the program name) that reads raw rgb24 frames of the geometry at 50 per second
// from its standard input and writes `path`; `audioPath`, when not empty, is muxed in for the video kinds.
std::vector<std::string> FfmpegArguments(OutputKind kind, const std::string& path, const OutputGeometry& geometry,
                                         const std::string& audioPath);

struct FrameSink {
  OutputKind kind = OutputKind::Unsupported;
  std::string path;
  OutputGeometry geometry;
  std::FILE* dump = nullptr;
  pid_t ffmpeg = -1;
  int pipe = -1;
  std::vector<std::uint8_t> rgb;
  std::int64_t frames = 0;
};

// Checks that the output can be written (and that ffmpeg exists when it is needed) and opens it.
bool OpenFrameSink(FrameSink& sink, OutputKind kind, const std::string& path, const OutputGeometry& geometry,
                   const std::string& audioPath, std::string& error);
// `indices`: 64000 palette indices, row-major; `palette`: 768 bytes of red, green, blue.
bool WriteFrameToSink(FrameSink& sink, const std::uint8_t* indices, const std::uint8_t* palette, std::string& error);
// Finishes the output; for ffmpeg waits for it and reports its failure.
bool CloseFrameSink(FrameSink& sink, std::string& error);
