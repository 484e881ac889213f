// What kind of output a name asks for, and what a kind takes: decided once, before anything is opened.
#pragma once
#include <string>

#include "output_encoding.h"

// The kind of output that the path of -o asks for: by its ending (.mp4, .mkv, .mov, .webm, .gif, .png for one
// still, any case), "-" or "/dev/stdout" for Matroska on standard output, or a folder of PNGs for an existing
// folder or a path ending in '/'. An existing device or named pipe without one of these endings gets Matroska.
OutputKind OutputKindForPath(const std::string& path);
// For messages: what -o takes.
extern const char kOutputKindsText[];
// Frames travel as YUV 4:2:0 to the video encoders, as palette indices to the GIF writer and as RGB to PNGs.
bool OutputTakesYuv(OutputKind kind);
