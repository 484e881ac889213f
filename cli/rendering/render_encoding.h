// From render's options to the encoding of its output: quality, scaling, codecs, copied sound and tags.
#pragma once
#include <cstdint>
#include <string>

#include "output_encoding.h"
#include "render_command.h"

// Fills `encoder` for an output of `kind` that starts at `startUs` and lasts `durationUs` (< 0: to the end).
// Empty, or the usage message when the options do not fit together or the output.
std::string ChooseEncoding(const RenderOptions& options, OutputKind kind, std::int64_t startUs, std::int64_t durationUs,
                           EncoderChoice& encoder);
