#!/usr/bin/env bash
# The Debian packages of the command line for each supported release, each built in a clean chroot of that
# release (its own compilers, libraries and dpkg-buildflags) and proven in a second clean chroot, where it is
# installed as a user would (`apt install ./tavelmir_*.deb`) and smoke-tested.
#   scripts/release_packages.sh [RELEASE...]     (default: bookworm trixie; as root)
#   RELEASE_PACKAGES_STAGE=obs scripts/release_packages.sh bookworm
#     installs obs-studio and dist/'s obs-tavelmir package (made on this Debian 12 machine) in a clean system and
#     starts OBS there with the source in a scene.
# The packages land in dist/ as tavelmir_VERSION+debN_amd64.deb. The chroots are cached under build/chroots
# (a pristine debootstrap per release, and a builder with the build's packages); the source is copied afresh
# into the builder every run, and the tester is a new copy of the pristine chroot every run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
releases=("$@")
((${#releases[@]})) || releases=(bookworm trixie)
[ "$(id -u)" -eq 0 ] || { echo "release_packages.sh: run as root (debootstrap and chroot)" >&2; exit 1; }
command -v debootstrap >/dev/null || {
  apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends debootstrap >/dev/null
}

# The Debian mirror this machine's apt uses, so the chroots come from where the machine's own packages do.
apt_uri() {  # apt_uri PATTERN: the first source URI whose path matches PATTERN
  {
    sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2>/dev/null | tr ' ' '\n'
    sed -n 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]\+\).*/\2/p' \
      /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null
  } | grep -E "$1" | head -1
}
mirror=$(apt_uri '/debian/?$') || true
mirror=${mirror:-http://deb.debian.org/debian}
security=$(apt_uri '/debian-security/?$') || true
security=${security:-${mirror%/debian*}/debian-security}

version=$(sed -n 's/^project(tavelmir VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
cache=$root/build/chroots
mkdir -p "$cache" "$root/dist"

mounted=()
unmount_all() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
  mounted=()
}
trap unmount_all EXIT
# in_chroot DIR COMMAND...: runs COMMAND in DIR with /proc, /dev/pts and name resolution, a plain environment.
in_chroot() {
  local dir=$1 && shift
  if ! mountpoint -q "$dir/proc"; then mount -t proc proc "$dir/proc" && mounted+=("$dir/proc"); fi
  if ! mountpoint -q "$dir/dev/pts"; then mount -t devpts devpts "$dir/dev/pts" && mounted+=("$dir/dev/pts"); fi
  cp /etc/resolv.conf "$dir/etc/resolv.conf" 2>/dev/null || true
  env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive \
    chroot "$dir" "$@"
}
release_chroot() {  # release_chroot DIR: leaves DIR's mounts
  unmount_all
}

# remove_tree DIR: deletes a chroot, never through a file system still mounted inside it.
remove_tree() {
  local dir=$1 mount
  [ -e "$dir" ] || return 0
  dir=$(realpath "$dir")
  while read -r mount; do umount -l "$mount" 2>/dev/null || true; done < <(
    awk -v d="$dir/" 'index($2 "/", d) == 1 {print $2}' /proc/mounts | sort -r)
  if awk -v d="$dir/" 'index($2 "/", d) == 1' /proc/mounts | grep -q .; then
    echo "release_packages.sh: $dir still has mounts; not removing it" >&2
    return 1
  fi
  rm -rf "$dir"
}

release_number() {
  case $1 in
  bookworm) echo 12 ;; trixie) echo 13 ;; forky) echo 14 ;;
  *) echo "release_packages.sh: unknown release $1" >&2; return 1 ;;
  esac
}

# The pristine minimal system of a release, made once.
pristine() {
  local rel=$1 dir=$cache/$1/pristine
  if [ ! -e "$dir/.complete" ]; then
    remove_tree "$dir" && mkdir -p "$dir"
    echo "== $rel: debootstrap from $mirror"
    debootstrap --variant=minbase "$rel" "$dir" "$mirror" >"$cache/$rel/debootstrap.log" 2>&1 ||
      { tail -20 "$cache/$rel/debootstrap.log"; return 1; }
    cat >"$dir/etc/apt/sources.list" <<EOF
deb $mirror $rel main
deb $mirror $rel-updates main
deb $security $rel-security main
EOF
    in_chroot "$dir" apt-get -q update >/dev/null
    in_chroot "$dir" apt-get -q -y upgrade >/dev/null
    in_chroot "$dir" apt-get clean
    release_chroot "$dir"
    touch "$dir/.complete"
  fi
}

# fresh_copy REL NAME: a new copy of the pristine system.
fresh_copy() {
  local dir=$cache/$1/$2
  remove_tree "$dir"
  cp -a "$cache/$1/pristine" "$dir"
  rm -f "$dir/.complete"
}

# The builder: the pristine system with what scripts/setup.sh --cli-only installs, redone when that list changes.
builder() {
  local rel=$1 dir=$cache/$1/builder stamp
  stamp=$(sed -n '/^CLI_PACKAGES=(/,/^)/p' scripts/setup.sh | sha256sum | cut -c1-16)
  if [ "$(cat "$dir/.complete" 2>/dev/null)" != "$stamp" ]; then
    echo "== $rel: the builder (scripts/setup.sh --cli-only)"
    fresh_copy "$rel" builder
    mkdir -p "$dir/src/scripts"
    cp scripts/setup.sh "$dir/src/scripts/"
    in_chroot "$dir" bash /src/scripts/setup.sh --cli-only >"$cache/$rel/builder.log" 2>&1 ||
      { tail -30 "$cache/$rel/builder.log"; return 1; }
    in_chroot "$dir" apt-get clean
    release_chroot "$dir"
    echo "$stamp" >"$dir/.complete"
  fi
}

# Builds the package from the work tree's files (tracked and new, not ignored) in the builder.
build_package() {
  local rel=$1 number dir=$cache/$1/builder deb
  number=$(release_number "$rel")
  echo "== $rel: building the package"
  rm -rf "$dir/src" && mkdir -p "$dir/src"
  git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - --ignore-failed-read 2>/dev/null |
    tar -xf - -C "$dir/src"
  in_chroot "$dir" bash -eu -o pipefail -c '
    cd /src
    cmake --preset cli -DBUILD_TESTING=OFF -DTAVELMIR_PACKAGE_RELEASE=deb'"$number"' >/dev/null
    cmake --build --preset cli -j2
    cd build/cli && cpack -G DEB >/dev/null
    lintian --fail-on error --tag-display-limit 0 --display-info package/tavelmir_*.deb | tee lintian.log
    if grep -q "hardening" lintian.log; then echo "lintian reports missing hardening" >&2; exit 1; fi
  ' >"$cache/$rel/build.log" 2>&1 || { tail -40 "$cache/$rel/build.log"; return 1; }
  deb=tavelmir_${version}+deb${number}_amd64.deb
  cp "$dir/src/build/cli/package/$deb" "$root/dist/$deb.part"
  mv "$root/dist/$deb.part" "$root/dist/$deb"
  release_chroot "$dir"
}

# Installs the package into a new copy of the pristine system as a user would and tries it there.
test_package() {
  local rel=$1 number dir=$cache/$1/tester deb status=0
  number=$(release_number "$rel")
  deb=tavelmir_${version}+deb${number}_amd64.deb
  echo "== $rel: installing $deb in a clean system"
  fresh_copy "$rel" tester
  cp "$root/dist/$deb" "$dir/tmp/"
  # What a user does first, as that user: the version, a render of 50 frames, the manual, the completion.
  cat >"$dir/tmp/smoke.sh" <<'SMOKE'
set -eu
cd ~
tavelmir --version
ffmpeg -v error -f lavfi -i sine=frequency=220:duration=1 -ac 2 song.wav
tavelmir render song.wav -o song.mp4 --size 320x240 --frames 50
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 song.mp4)
[ "$frames" = 50 ] || { echo "song.mp4 has $frames frames, not 50" >&2; exit 1; }
echo "rendered $frames frames"
man -w tavelmir
source /usr/share/bash-completion/bash_completion
source /usr/share/bash-completion/completions/tavelmir
COMP_WORDS=(tavelmir render --palette em); COMP_CWORD=3; COMP_LINE="tavelmir render --palette em"
COMP_POINT=${#COMP_LINE}
_tavelmir
[ "${COMPREPLY[*]}" = ember ] || { echo "completion gives '${COMPREPLY[*]}'" >&2; exit 1; }
echo "completion loads"
SMOKE
  # The manual and the shell's completion are part of a desktop system, not of debootstrap's minimal one.
  in_chroot "$dir" bash -euc '
    apt-get -q update >/dev/null
    apt-get -q -y install --no-install-recommends man-db bash-completion >/dev/null
    apt-get -q -y install ./tmp/'"$deb"' >/tmp/install.log || { cat /tmp/install.log; exit 1; }
    dpkg-query -W -f="Depends: \${Depends}\nRecommends: \${Recommends}\n" tavelmir
    for page in ffmpeg ffplay ffprobe pipewire-pulse pulseaudio; do
      man -w "$page" >/dev/null 2>&1 && echo "SEE ALSO $page(1): there" || echo "SEE ALSO $page(1): not installed"
    done
    useradd -m listener
    chmod 755 /tmp/smoke.sh
    su listener -s /bin/bash -c "bash /tmp/smoke.sh"
    apt-get -q -y purge tavelmir >/dev/null
    if [ -e /usr/share/tavelmir ] || [ -e /usr/bin/tavelmir ]; then echo "purge left files" >&2; exit 1; fi
    echo "purged cleanly"
  ' 2>&1 | tee "$cache/$rel/test.log" || status=$?
  release_chroot "$dir"
  remove_tree "$dir"
  return "$status"
}

# Installs OBS Studio as a user would and then the OBS source's package (dist/, from preset obs on this machine),
# checks that the module lies where OBS's own plug-ins do, and starts OBS under Xvfb with Mesa's software OpenGL
# and a scene holding the source: OBS's log must list the module and the source must be made, not refused.
test_obs_package() {
  local rel=$1 dir=$cache/$1/obs-tester deb=obs-tavelmir_${version}_amd64.deb status=0
  [ -s "$root/dist/$deb" ] || { echo "no dist/$deb (scripts/main.sh makes it)" >&2; return 1; }
  echo "== $rel: installing obs-studio and $deb in a clean system"
  fresh_copy "$rel" obs-tester
  cp "$root/dist/$deb" "$dir/tmp/"
  cat >"$dir/tmp/obs-smoke.sh" <<'SMOKE'
set -eu
config=~/.config/obs-studio
mkdir -p "$config/basic/profiles/Check" "$config/basic/scenes"
printf '[General]\nFirstRun=true\nLastVersion=486539266\nEnableAutoUpdates=false\n[Basic]\nProfile=Check\nProfileDir=Check\nSceneCollection=Check\nSceneCollectionFile=Check\n' >"$config/global.ini"
printf '[General]\nName=Check\n[Video]\nBaseCX=1280\nBaseCY=720\nOutputCX=1280\nOutputCY=720\nFPSCommon=30\n' \
  >"$config/basic/profiles/Check/basic.ini"
cat >"$config/basic/scenes/Check.json" <<'JSON'
{"name": "Check", "current_scene": "Scene", "current_program_scene": "Scene", "scene_order": [{"name": "Scene"}],
 "sources": [
  {"id": "scene", "versioned_id": "scene", "name": "Scene", "settings": {"id_counter": 1, "items": [
    {"name": "Ombrelo Tunnel", "id": 1, "visible": true, "pos": {"x": 0, "y": 0}, "scale": {"x": 1, "y": 1}}]}},
  {"id": "ombrelo_tunnel_source", "versioned_id": "ombrelo_tunnel_source", "name": "Ombrelo Tunnel",
   "settings": {"size": "canvas"}}]}
JSON
export LIBGL_ALWAYS_SOFTWARE=1
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  obs --disable-shutdown-check --collection Check --profile Check >"$HOME/obs.out" 2>&1 &
  sleep 20
  kill %1; wait' || true
log=$(ls -t "$config"/logs/*.txt 2>/dev/null | head -1)
[ -n "$log" ] || { cat ~/obs.out; echo "OBS wrote no log" >&2; exit 1; }
echo "OBS log: $log"
grep -E "OBS [0-9]|Loading module: obs-tavelmir|obs-tavelmir|Ombrelo|ombrelo|Renderer|Loaded Modules" "$log" | head -20
sed -n '/Loaded Modules:/,/^[^ ]*: *$/p' "$log" | grep -q "obs-tavelmir.so" || { cat "$log"; echo "OBS did not load obs-tavelmir.so" >&2; exit 1; }
grep -q "registered source" "$log" || { cat "$log"; echo "the module registered no source" >&2; exit 1; }
# The scene's sources as OBS loaded them: ours made, not refused as unknown.
grep -q "source: 'Ombrelo Tunnel' (ombrelo_tunnel_source)" "$log" || { cat "$log"; echo "OBS made no Ombrelo Tunnel" >&2; exit 1; }
if grep -q "Source ID 'ombrelo_tunnel_source' not found" "$log"; then echo "OBS does not know the source" >&2; exit 1; fi
echo "OBS loaded the module and made the source"
SMOKE
  in_chroot "$dir" bash -euc '
    apt-get -q update >/dev/null
    apt-get -q -y install obs-studio >/tmp/install.log || { tail -30 /tmp/install.log; exit 1; }
    apt-get -q -y install --no-install-recommends xvfb xauth >>/tmp/install.log || { tail -30 /tmp/install.log; exit 1; }
    apt-get -q -y install ./tmp/'"$deb"' >>/tmp/install.log || { tail -30 /tmp/install.log; exit 1; }
    dpkg-query -W -f="\${Package} \${Version}\n" obs-studio
    dpkg-query -W -f="\${Package} \${Version}: Depends: \${Depends}\n" obs-tavelmir
    # Where OBS looks: the folder of its own modules, and its data folders beside ours.
    plugins=$(dirname "$(dpkg -L obs-studio | grep -m1 "/obs-plugins/obs-ffmpeg.so\$")")
    [ -f "$plugins/obs-tavelmir.so" ] || { echo "no obs-tavelmir.so in $plugins" >&2; exit 1; }
    [ -f /usr/share/obs/obs-plugins/obs-tavelmir/locale/en-US.ini ] && [ -d /usr/share/obs/obs-plugins/obs-ffmpeg ] ||
      { echo "the locale is not where OBS keeps its modules'\'' data" >&2; exit 1; }
    echo "module in $plugins, beside OBS'\''s own"
    useradd -m streamer
    chmod 755 /tmp/obs-smoke.sh
    su streamer -s /bin/bash -c "bash /tmp/obs-smoke.sh"
    apt-get -q -y purge obs-tavelmir >/dev/null
    if [ -e "$plugins/obs-tavelmir.so" ] || [ -e /usr/share/obs/obs-plugins/obs-tavelmir ]; then
      echo "purge left files" >&2; exit 1
    fi
    echo "purged cleanly"
  ' 2>&1 | tee "$cache/$rel/obs-test.log" || status=$?
  release_chroot "$dir"
  remove_tree "$dir"
  return "$status"
}

stage=${RELEASE_PACKAGES_STAGE:-all}
for rel in "${releases[@]}"; do
  release_number "$rel" >/dev/null
  mkdir -p "$cache/$rel"
  pristine "$rel"
  [ "$stage" = pristine ] && continue
  if [ "$stage" = obs ]; then
    test_obs_package "$rel"
    continue
  fi
  builder "$rel"
  [ "$stage" = builder ] && continue
  build_package "$rel"
  test_package "$rel"
done
