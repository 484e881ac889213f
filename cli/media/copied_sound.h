// Whether the sound of an audio file can be copied as it is into a container, asked of FFmpeg's own muxers.
#pragma once
#include <string>

// "" when the file's sound can be copied into a file of FFmpeg's format `muxer` ("mp4", "matroska", ...), or
// when the file cannot be read (the decoder names that itself); otherwise a usage message naming the file, its
// codec and what to do instead.
std::string CopiedSoundProblem(const std::string& path, const char* muxer, const char* containerName);
