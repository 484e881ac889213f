#!/usr/bin/env bash
# The main job: installs what is missing, builds the native host with its data set and the plug-in, then renders
# the demo video and the README's still from music that the project synthesizes itself.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

# The native build first: the plug-in build takes its data set (with the computed fade table) from it, and the
# page's tests compare their frames with its tavelmir.
for preset in native plugin web; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

# The Debian packages of the command line for Debian 12 and 13, each built in a clean system of its release and
# installed and tried in another (the systems are kept in build/chroots for the next run).
bash scripts/release_packages.sh bookworm trixie
version=$(sed -n 's/^project(tavelmir VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# The OBS Studio source's package, from its own build (preset obs).
mkdir -p dist
cmake --preset obs >/dev/null
cmake --build --preset obs
obs_deb=obs-tavelmir_${version}_amd64.deb
(cd build/obs && cpack -G DEB >/dev/null)
cp "build/obs/package/$obs_deb" "dist/$obs_deb"
# Installed beside obs-studio in a clean Debian 12 system, where OBS must start with the source in a scene.
RELEASE_PACKAGES_STAGE=obs bash scripts/release_packages.sh bookworm

tavelmir=build/native/tavelmir
mkdir -p out

# The web page as one zip for any static server; written beside and renamed, so no half zip keeps the name.
version=$(sed -n 's/^project(tavelmir VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
mkdir -p dist build/web-zip
rm -f "dist/tavelmir-web-$version.zip.part" "build/web-zip/tavelmir-web-$version"
ln -s ../web "build/web-zip/tavelmir-web-$version"
(cd build/web-zip && zip -qr -X "../../dist/tavelmir-web-$version.zip.part" "tavelmir-web-$version")
mv "dist/tavelmir-web-$version.zip.part" "dist/tavelmir-web-$version.zip"

# A 24-second piece made from sine, saw and noise voices; the same bytes every time.
if [ ! -s out/demo-song.wav ] || [ data/demo_song.py -nt out/demo-song.wav ]; then
  echo "synthesizing out/demo-song.wav"
  python3 data/demo_song.py out/demo-song.wav.part
  mv out/demo-song.wav.part out/demo-song.wav
fi

# The demo runs on a copy of the default data set whose palettes cycle (one round through all eight in ~13 s).
rm -rf out/demo-plugin
cp -r build/native/data/plugin out/demo-plugin
"$tavelmir" config --plugin-dir out/demo-plugin PaletteAnimationSpeed=20 >/dev/null

# The plug-in's own picture, twice the size in the 4:3 shape (render's default would draw the tunnel at 640 x 480).
"$tavelmir" render out/demo-song.wav --plugin-dir out/demo-plugin -o out/demo.mp4 --scale 2 --aspect43 --look classic -y

# The still: frame 430 (8.6 s, drums and bass playing, the sunset palette), at twice the size in the 4:3 shape.
rm -rf out/still-frames
"$tavelmir" render out/demo-song.wav --plugin-dir out/demo-plugin -o out/still-frames/ --frames 431 --scale 2 \
  --aspect43 --look classic >/dev/null
mv out/still-frames/frame_000430.png out/still.png
rm -rf out/still-frames
# The README shows the still from docs/; the render is deterministic, so a rerun leaves the committed file as it is.
mkdir -p docs
cp out/still.png docs/still.png

echo
echo "plug-in:        build/plugin/vis_tavelmir.dll"
echo "data set:       build/native/data/plugin/TavelDat"
echo "command line:   $tavelmir --help"
echo "demo video:     out/demo.mp4"
echo "README still:   out/still.png (and docs/still.png)"
echo "Linux packages:  dist/tavelmir_${version}+deb12_amd64.deb (Debian 12), dist/tavelmir_${version}+deb13_amd64.deb (Debian 13)"
echo "OBS source:      dist/$obs_deb (sudo apt install ./dist/$obs_deb, then in OBS: Sources, +, Ombrelo Tunnel)"
echo "web page:       build/web (python3 -m http.server -d build/web), dist/tavelmir-web-$version.zip"
echo "Windows package: dist/tavelmir-$version-setup.exe, dist/tavelmir-$version-plugin.zip"
