#!/usr/bin/env bash
# Checks of the OBS module's Debian package, one per ctest test:
#   check_package.sh build|contents|lintian BUILD_DIR WORK_DIR
# `build` makes the package with CPack into WORK_DIR; the others examine that .deb.
set -euo pipefail
check=$1 build=$2 work=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt" | head -1)
deb=$work/obs-tavelmir_${version}_amd64.deb

case $check in
build)
  rm -rf "$work" && mkdir -p "$work"
  (cd "$build" && cpack -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
  mv "$work/cpack/obs-tavelmir_${version}_amd64.deb" "$deb"
  rm -rf "$work/cpack"
  ;;

contents)
  [ -s "$deb" ] || fail "no $deb"
  dpkg-deb -I "$deb"
  field() { dpkg-deb -f "$deb" "$1"; }
  [ "$(field Package)" = obs-tavelmir ] || fail "Package"
  [ "$(field Version)" = "$version" ] || fail "Version"
  depends=$(field Depends)
  [[ $depends == *"libobs0 (>= 29)"* ]] || fail "Depends lacks libobs0 (>= 29): $depends"
  # Each package once: two constraints on one package read as a mistake, and the looser one says nothing.
  dups=$(tr "," "\n" <<<"$depends" | awk "{print \$1}" | sort | uniq -d)
  [ -z "$dups" ] || fail "Depends names $dups more than once: $depends"
  listing=$(dpkg-deb -c "$deb")
  data=./usr/share/obs/obs-plugins/obs-tavelmir
  for path in ./usr/lib/x86_64-linux-gnu/obs-plugins/obs-tavelmir.so "$data/locale/en-US.ini" \
              "$data/TavelDat/fade.dat" "$data/TavelDat/refrence.pal" "$data/TavelDat/01-aurora.pal" \
              ./usr/share/doc/obs-tavelmir/copyright ./usr/share/doc/obs-tavelmir/changelog.gz; do
    grep -q " $path\$" <<<"$listing" || fail "$path is not in the package"
  done
  # Nothing of the command line's package, and only root's files.
  if grep -q '/usr/bin/' <<<"$listing"; then fail "the command line is in the module's package"; fi
  if grep -v ' root/root ' <<<"$listing" | grep -q .; then fail "files not owned by root"; fi
  # The module exports OBS's entry points and nothing of the engine.
  tmp=$(mktemp -d) && trap 'rm -rf "$tmp"' EXIT
  dpkg-deb -x "$deb" "$tmp"
  exports=$(nm -D --defined-only "$tmp/usr/lib/x86_64-linux-gnu/obs-plugins/obs-tavelmir.so" | awk '{print $3}' |
    grep -vxE '__bss_start|_edata|_end')
  grep -qx obs_module_load <<<"$exports" || fail "obs_module_load is not exported"
  if grep -v '^obs_module_' <<<"$exports" | grep -q .; then fail "exports beyond obs_module_*: $exports"; fi
  ;;

lintian)
  command -v lintian >/dev/null || fail "lintian is not installed (scripts/setup.sh installs it)"
  lintian --fail-on error,warning --tag-display-limit 0 "$deb"
  ;;
esac
