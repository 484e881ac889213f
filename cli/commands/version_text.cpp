// `tavelmir --version`: the versions that matter in a bug report are the libraries found at run time.
#include "version_text.h"

#include <SDL2/SDL_version.h>
#include <pulse/version.h>
#include <sndfile.h>

#include <filesystem>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include "look_options.h"

namespace {

std::string LibavVersion(const char* name, unsigned version) {
  return std::string(name) + " " + std::to_string(AV_VERSION_MAJOR(version)) + "." +
         std::to_string(AV_VERSION_MINOR(version)) + "." + std::to_string(AV_VERSION_MICRO(version));
}

}  // namespace

std::string VersionText() {
  std::string text = std::string("tavelmir ") + TAVELMIR_VERSION + "\n";
  const std::string data = DefaultDataFolder();
  std::error_code ec;
  text += "data set: " + data + (std::filesystem::is_directory(data + "/TavelDat", ec) ? "" : " (missing)") + "\n";
  text += "FFmpeg: " + LibavVersion("libavformat", avformat_version()) + ", " +
          LibavVersion("libavcodec", avcodec_version()) + ", " + LibavVersion("libavutil", avutil_version()) + "\n";
  // "libsndfile-1.2.0"
  text += std::string("libsndfile: ") + sf_version_string() + "\n";
  SDL_version sdl;
  SDL_GetVersion(&sdl);
  text +=
      "SDL: " + std::to_string(sdl.major) + "." + std::to_string(sdl.minor) + "." + std::to_string(sdl.patch) + "\n";
  text += std::string("libpulse: ") + pa_get_library_version();
  return text;
}
