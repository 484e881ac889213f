// The texture picker's messages: fixed wording around a path, formatted into TextBuffer without overflowing it.
#pragma once

// Writes before + path + after into TextBuffer. A path too long for the buffer keeps its end (the file name)
// behind "...", so the message keeps its fixed wording and never overflows.
void FormatPathMessage(const char* before, const char* path, const char* after);
