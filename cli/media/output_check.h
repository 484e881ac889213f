// What an encoder wrote, checked before it is put under its final name: on the disk, and readable as what it
// should be. An encoder's exit status alone proves nothing: a failed write of its last bytes can go unreported.
#pragma once
#include <cstdint>
#include <string>

#include "output_encoding.h"

// `written`: the temporary file (for PNG frames, the folder) that will replace `name`; `frames`: how many frames
// went into it. Its bytes are flushed to the disk, and it must open as its kind with a picture, a video of a
// container that counts its frames holding them all, a folder one PNG a frame. False, with a message naming
// `name` and the reason.
bool CheckWrittenOutput(OutputKind kind, const std::string& written, std::int64_t frames, const std::string& name,
                        std::string& error);

// Flushes what was written to the file or folder `path` to the disk. 0, or the errno of the failure.
int SyncToDisk(const std::string& path);
