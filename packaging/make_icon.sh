#!/usr/bin/env bash
# Makes packaging/tavelmir.ico, the icon of the installer, the uninstaller and the Add/Remove Programs entry,
# from a rendered frame (docs/still.png): a square around the tunnel's mouth at 48, 32 and 16 pixels. The
# icon is kept in the repository, so a build needs no image tools; run this again after changing the frame.
# Usage: packaging/make_icon.sh [FRAME.png] [OUT.ico]   (ImageMagick's convert)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
frame=${1:-$here/../docs/still.png}
out=${2:-$here/tavelmir.ico}
convert "$frame" -gravity center -crop 300x300+0+0 +repage -filter Lanczos \
  -define icon:auto-resize=48,32,16 -strip "$out"
