// The usage lines and examples of each `tavelmir` command's help page.
#include <cstring>

#include "help_formatter.h"

namespace {

const HelpPage kPages[] = {
    {"tavelmir",
     "tavelmir COMMAND [OPTIONS]\n"
     "tavelmir help COMMAND",
     "tavelmir render song.mp3 -o song.mp4\n"
     "tavelmir play ~/Music/album/*.flac\n"
     "tavelmir live"},
    {"render",
     "tavelmir render AUDIO -o OUT [OPTIONS]\n"
     "tavelmir render AUDIO --dump FILE [OPTIONS]\n"
     "tavelmir render --waveform FILE (-o OUT | --dump FILE) [OPTIONS]",
     "tavelmir render song.flac -o song.mp4 --size 1920x1080\n"
     "tavelmir render song.mp3 -o clip.mp4 -ss 1:05 -to 1:35 --palette ember\n"
     "tavelmir render song.ogg -o frames/ --frames 250\n"
     "tavelmir render song.flac -o - | ffplay -"},
    {"play", "tavelmir play AUDIO... [OPTIONS]",
     "tavelmir play song.flac\n"
     "tavelmir play *.mp3 --fullscreen --palette aurora\n"
     "tavelmir play album/*.ogg --set RadioIndex=1"},
    {"live",
     "tavelmir live [--source NAME] [OPTIONS]\n"
     "tavelmir live --list-sources",
     "tavelmir live\n"
     "tavelmir live --fullscreen --monitor 1\n"
     "tavelmir live --source alsa_input.usb-mic.analog-stereo"},
    {"palettes", "tavelmir palettes [--palettes DIR] [--plugin-dir DIR]",
     "tavelmir palettes\n"
     "tavelmir palettes --palettes ~/my-palettes"},
    {"config", "tavelmir config [KEY=VALUE...] [--plugin-dir DIR]",
     "tavelmir config\n"
     "tavelmir config RadioIndex=1 PaletteAnimationSpeed=20\n"
     "tavelmir config --plugin-dir ~/winamp/Plugins DisplayMode=2"},
    {"fade", "tavelmir fade --plugin-dir DIR", "tavelmir fade --plugin-dir ~/winamp/Plugins"},
    {"help", "tavelmir help [COMMAND]", "tavelmir help render"},
};

}  // namespace

const HelpPage* FindHelpPage(const std::string& command) {
  for (const HelpPage& page : kPages)
    if (command == page.command) return &page;
  return nullptr;
}
