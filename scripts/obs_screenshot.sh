#!/usr/bin/env bash
# OBS Studio itself with the source in a scene, under Xvfb with Mesa's software OpenGL: the module of build/obs is
# put where OBS looks for a user's plug-ins (in a home of its own), the scene plays the demo song through a media
# source the tunnel listens to, and the screen is saved as a PNG. Not part of the tests: it shows a person what OBS
# shows.   usage: scripts/obs_screenshot.sh OUT.png [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "$1") seconds=${2:-12}
[ -f build/obs/obs/obs-tavelmir.so ] || { echo "build the obs preset first (cmake --build --preset obs)" >&2; exit 1; }
home=$(mktemp -d) && trap 'rm -rf "$home"' EXIT
python3 data/demo_song.py "$home/demo-song.wav" >/dev/null
config=$home/.config/obs-studio
plugin=$config/plugins/obs-tavelmir
mkdir -p "$plugin/bin/64bit" "$config/basic/profiles/Tavelmir" "$config/basic/scenes"
cp build/obs/obs/obs-tavelmir.so "$plugin/bin/64bit/"
cp -r build/obs/obs/module-data "$plugin/data"
cat >"$config/global.ini" <<INI
[General]
FirstRun=true
LastVersion=486539266
EnableAutoUpdates=false
[Basic]
Profile=Tavelmir
ProfileDir=Tavelmir
SceneCollection=Tavelmir
SceneCollectionFile=Tavelmir
INI
cat >"$config/basic/profiles/Tavelmir/basic.ini" <<INI
[General]
Name=Tavelmir
[Video]
BaseCX=1280
BaseCY=720
OutputCX=1280
OutputCY=720
FPSCommon=30
INI
cat >"$config/basic/scenes/Tavelmir.json" <<JSON
{
  "name": "Tavelmir", "current_scene": "Scene", "current_program_scene": "Scene",
  "scene_order": [{"name": "Scene"}],
  "sources": [
    {"id": "scene", "versioned_id": "scene", "name": "Scene", "settings": {"id_counter": 2, "items": [
      {"name": "Song", "id": 1, "visible": true, "pos": {"x": 0, "y": 0}, "scale": {"x": 1, "y": 1}},
      {"name": "Ombrelo Tunnel", "id": 2, "visible": true, "pos": {"x": 0, "y": 0}, "scale": {"x": 1, "y": 1}}]}},
    {"id": "ffmpeg_source", "versioned_id": "ffmpeg_source", "name": "Song",
     "settings": {"local_file": "$home/demo-song.wav", "looping": true}},
    {"id": "ombrelo_tunnel_source", "versioned_id": "ombrelo_tunnel_source", "name": "Ombrelo Tunnel",
     "settings": {"audio_source": "Song", "size": "canvas", "PaletteAnimationSpeed": 20}}
  ]
}
JSON
export HOME=$home LIBGL_ALWAYS_SOFTWARE=1
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  obs --disable-shutdown-check --collection Tavelmir --profile Tavelmir >"$HOME/obs.log" 2>&1 &
  sleep 5
  # No window manager: the main window is made to fill the screen by hand.
  for w in $(xdotool search --onlyvisible --name "OBS" 2>/dev/null); do xdotool windowmove $w 0 0 windowsize $w 1280 800; done
  sleep '"$seconds"'
  import -window root "'"$out"'"
  kill %1; wait' || true
grep -iE "tavelmir|error" "$home/obs.log" | head -20 || true
[ -s "$out" ] && echo "wrote $out"
