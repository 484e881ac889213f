// The song's own title, artist and album, for the metadata of a video made from it.
#pragma once
#include <string>
#include <utility>
#include <vector>

// The tags a video takes over from its song, as the container names them.
extern const char* const kCopiedAudioTags[3];  // "title", "artist", "album"

// (key, value) for each of kCopiedAudioTags the file holds, from the file's own tags or else its sound stream's.
// Each at most 1024 bytes. Empty for standard input ("-"), a pipe or any other file that is not a regular one, a file
// without tags, or one that cannot be read: the tags are not worth failing a render for, and the decoder reports
// unreadable files itself.
std::vector<std::pair<std::string, std::string>> ReadAudioTags(const std::string& path);
