// The texture picker's messages: fixed wording around a path, formatted without overflowing their buffer.
#pragma once
#include <cstddef>

constexpr std::size_t kPathMessageBytes = 256;

// Writes before + path + after into `out`. A path too long for the buffer keeps its end (the file name) behind
// "...", so the message keeps its fixed wording and never overflows.
void FormatPathMessage(const char* before, const char* path, const char* after, char (&out)[kPathMessageBytes]);
