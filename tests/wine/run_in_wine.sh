#!/usr/bin/env bash
# Runs one Windows test program under Wine, in a virtual desktop on a private Xvfb, and judges its verdict file.
#
# Usage:
#   run_in_wine.sh --prefix DIR [--verdict FILE] [--timeout SEC] [--desktop WxH] [--name NAME] [--keep-x]
#                  [--init-only] [-- PROGRAM.exe [ARGS...]]
#
#   --prefix DIR    WINEPREFIX to use. Created on first use (wineboot, then the registry settings below) and kept
#                   for later runs; the marker file DIR/.tavelmir-ready says it is complete and holds a digest of
#                   the settings it has (other settings are applied again). Runs on the same prefix
#                   are serialised with flock on DIR.lock, so concurrent ctest jobs are safe (they queue).
#   --verdict FILE  The program writes its log there; its last line must be exactly "PASS" (anything else, e.g.
#                   "FAIL: reason", or a missing file, fails). The file is removed before the run and printed after.
#                   Needed because `wine explorer /desktop=...` does not pass the exit code on. Without --verdict
#                   the program's own exit code is used (only meaningful outside a virtual desktop: --desktop none).
#   --timeout SEC   Upper bound for the program's run (default 120). A hang is killed and fails the test.
#   --desktop WxH   Size of the Wine virtual desktop (default 640x480), or "none" to run without one.
#   --name NAME     Name of the virtual desktop (default tavelmir).
#   --init-only     Only make sure the prefix exists (no program needed); for a CTest fixture.
#   Environment: WINEDEBUG defaults to -all; TAVELMIR_WINE_LOCK_TIMEOUT (default 900) bounds the wait for the lock.
#
# Registry settings of the prefix: Direct3D csmt off (DirectDraw then presents on the calling thread, so a screen
# capture right after a palette change sees it) and no crash dialog (a crash ends the run instead of waiting).
# At the end (also on a signal) the prefix's wineserver is killed and Xvfb stopped.
set -euo pipefail

prefix="" verdict="" timeout_s=120 desktop="640x480" name="tavelmir" init_only=0
while (($#)); do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --verdict) verdict=$2; shift 2 ;;
    --timeout) timeout_s=$2; shift 2 ;;
    --desktop) desktop=$2; shift 2 ;;
    --name) name=$2; shift 2 ;;
    --init-only) init_only=1; shift ;;
    --) shift; break ;;
    *) echo "run_in_wine.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
if [[ -z $prefix ]]; then echo "run_in_wine.sh: --prefix is required" >&2; exit 2; fi
if ((!init_only && $# == 0)); then echo "run_in_wine.sh: no program given" >&2; exit 2; fi

mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
export WINEPREFIX=$prefix
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono/Gecko download prompts, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# One run per prefix at a time: the prefix has one wineserver and one registry.
exec 9>"$prefix.lock"
if ! flock -w "${TAVELMIR_WINE_LOCK_TIMEOUT:-900}" 9; then
  echo "run_in_wine.sh: timed out waiting for $prefix.lock" >&2
  exit 1
fi

xvfb_pid=""
workdir=$(mktemp -d "${TMPDIR:-/tmp}/tavelmir-wine.XXXXXX")
cleanup() {
  timeout 20 wineserver -k >/dev/null 2>&1 || true
  if [[ -n $xvfb_pid ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# Xvfb picks a free display number itself and writes it to the fd once it accepts connections.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$workdir/display" >"$workdir/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s $workdir/display ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "run_in_wine.sh: Xvfb did not start:" >&2; cat "$workdir/xvfb.log" >&2; exit 1; }
  sleep 0.1
done
[[ -s $workdir/display ]] || { echo "run_in_wine.sh: Xvfb gave no display number" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$workdir/display")"

cat >"$workdir/settings.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Direct3D]
"csmt"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
EOF
# The marker holds a digest of these settings, so a prefix made with other settings gets them applied again.
settings_digest=$(sha256sum "$workdir/settings.reg" | cut -c1-16)
if [[ ! -f $prefix/.tavelmir-ready ]]; then
  echo "run_in_wine.sh: creating Wine prefix $prefix" >&2
  rm -rf "$prefix"
  start=$SECONDS
  timeout -k 10 300 wineboot -i >"$workdir/wineboot.log" 2>&1 || { cat "$workdir/wineboot.log" >&2; exit 1; }
  echo "run_in_wine.sh: prefix made in $((SECONDS - start)) s" >&2
fi
if [[ $(cat "$prefix/.tavelmir-ready" 2>/dev/null) != "$settings_digest" ]]; then
  timeout -k 10 120 wine regedit /S "$(winepath -w "$workdir/settings.reg")" >/dev/null 2>&1
  timeout -k 10 120 wineserver -w
  if ! grep -qi '"csmt"=dword:00000000' "$prefix/user.reg"; then
    echo "run_in_wine.sh: registry settings did not reach $prefix/user.reg" >&2
    exit 1
  fi
  echo "$settings_digest" >"$prefix/.tavelmir-ready"
fi
((init_only)) && exit 0

if [[ -n $verdict ]]; then
  mkdir -p "$(dirname "$verdict")"
  rm -f "$verdict"
fi

status=0
if [[ $desktop == none ]]; then
  timeout -k 10 "$timeout_s" wine "$@" || status=$?
else
  timeout -k 10 "$timeout_s" wine explorer "/desktop=$name,$desktop" "$@" || status=$?
fi
if ((status == 124 || status == 137)); then
  echo "run_in_wine.sh: the program did not finish within $timeout_s s" >&2
fi

if [[ -z $verdict ]]; then
  exit "$status"
fi
if [[ ! -f $verdict ]]; then
  echo "run_in_wine.sh: no verdict file $verdict (exit status $status)" >&2
  exit 1
fi
cat "$verdict"
last=$(tail -n1 "$verdict" | tr -d '\r')
if [[ $last == PASS ]] && ((status != 124 && status != 137)); then
  exit 0
fi
exit 1
