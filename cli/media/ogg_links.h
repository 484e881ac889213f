// A look at an Ogg file's pages, without decoding: libsndfile reads only the first link of a chained file and
// passes damaged pages over in silence.
#pragma once
#include <cstdio>

// True when the file holds a second link (a stream that begins after another one's pages: a chained file), pages
// out of step or a page whose checksum does not match (damage). Leaves the file at its start.
bool OggHasLinksOrDamage(std::FILE* file);
