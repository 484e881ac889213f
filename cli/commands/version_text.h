// What `tavelmir --version` says: the program's version, where its data set is, and the libraries it runs with.
#pragma once
#include <string>

// "tavelmir 1.0.1", then one line each for the data set's folder and the versions of FFmpeg's libraries,
// libsndfile, SDL and libpulse as loaded now (which may be newer than those it was built with).
std::string VersionText();
