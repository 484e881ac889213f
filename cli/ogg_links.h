// A look at an Ogg file's pages, without decoding: libsndfile reads only the first link of a chained file.
#pragma once
#include <cstdio>

// True when the file holds a second link (a stream that begins after another one's pages: a chained file) or pages
// out of step (damage). Reads only page headers; leaves the file at its start.
bool OggHasLinksOrDamage(std::FILE* file);
