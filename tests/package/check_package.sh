#!/usr/bin/env bash
# Checks of the Debian package of the command line, one per ctest test:
#   check_package.sh build|contents|lintian|help|runs BUILD_DIR WORK_DIR
# `build` makes the package with CPack into WORK_DIR; the others examine that .deb.
set -euo pipefail
check=$1 build=$2 work=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

version=$(sed -n 's/^CPACK_PACKAGE_VERSION:STRING=//p; s/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt" | head -1)
deb=$work/tavelmir_${version}_amd64.deb

case $check in
build)
  rm -rf "$work" && mkdir -p "$work"
  (cd "$build" && cpack -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
  mv "$work/cpack/tavelmir_${version}_amd64.deb" "$deb"
  rm -rf "$work/cpack"
  ;;

contents)
  [ -s "$deb" ] || fail "no $deb"
  info=$(dpkg-deb -I "$deb")
  echo "$info"
  field() { dpkg-deb -f "$deb" "$1"; }
  [ "$(field Package)" = tavelmir ] || fail "Package"
  [ "$(field Version)" = "$version" ] || fail "Version"
  [ "$(field Architecture)" = amd64 ] || fail "Architecture"
  [ "$(field Section)" = sound ] || fail "Section"
  # Dependencies come from the libraries the program links, each with a version.
  depends=$(field Depends)
  for library in libc6 libstdc++6 libsndfile1 libsdl2-2.0-0 libpulse0 libavformat ffmpeg; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
  done
  [[ $depends == *"libsdl2-2.0-0 (>="* ]] || fail "Depends without versions: $depends"
  listing=$(dpkg-deb -c "$deb")
  for path in ./usr/bin/tavelmir ./usr/share/man/man1/tavelmir.1.gz \
              ./usr/share/bash-completion/completions/tavelmir ./usr/share/zsh/vendor-completions/_tavelmir \
              ./usr/share/fish/vendor_completions.d/tavelmir.fish \
              ./usr/share/applications/org.tavelmir.tavelmir.desktop \
              ./usr/share/applications/org.tavelmir.tavelmir.play.desktop \
              ./usr/share/metainfo/org.tavelmir.tavelmir.metainfo.xml \
              ./usr/share/icons/hicolor/256x256/apps/tavelmir.png \
              ./usr/share/doc/tavelmir/copyright ./usr/share/doc/tavelmir/changelog.gz \
              ./usr/share/tavelmir/TavelDat/refrence.pal ./usr/share/tavelmir/TavelDat/fade.dat \
              ./usr/share/tavelmir/TavelDat/01-aurora.pal; do
    grep -q " $path\$" <<<"$listing" || fail "$path is not in the package"
  done
  # Everything belongs to root and nothing lies outside /usr.
  if grep -v ' root/root ' <<<"$listing" | grep -q .; then fail "files not owned by root"; fi
  if awk '{print $6}' <<<"$listing" | grep -v '^\./usr/' | grep -vx '\./' | grep -vx '\./usr' | grep -q .; then
    fail "files outside /usr"
  fi
  # The licence in the machine-readable format: ours under Expat, CLI11's notice, the linked libraries named.
  copyright=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/tavelmir/copyright)
  for line in 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
              'Copyright: 2026 the Tavelmir authors' 'License: Expat' 'License: BSD-3-Clause' \
              'Copyright: 2017-20[0-9][0-9], University of Cincinnati' ' libavformat' ' under the GPL'; do
    grep -q -- "^$line" <<<"$copyright" || grep -q -- "$line" <<<"$copyright" || fail "copyright lacks '$line'"
  done
  if grep -qi proprietary <<<"$copyright"; then fail "copyright still says proprietary"; fi
  ;;

lintian)
  command -v lintian >/dev/null || fail "lintian is not installed (scripts/setup.sh installs it)"
  # Errors fail; warnings are shown. The program is built with Debian's hardening flags: no hardening tag, not
  # even an informational one.
  lintian --fail-on error --tag-display-limit 0 --display-info "$deb" | tee "$work/lintian.log"
  if grep -q hardening "$work/lintian.log"; then fail "lintian: the program lacks hardening"; fi
  ;;

help)
  root=$work/help-root && rm -rf "$root" && dpkg-deb -x "$deb" "$root"
  bin=$root/usr/bin/tavelmir
  man=$(zcat "$root/usr/share/man/man1/tavelmir.1.gz")
  bash_completion=$(cat "$root/usr/share/bash-completion/completions/tavelmir")
  zsh_completion=$(cat "$root/usr/share/zsh/vendor-completions/_tavelmir")
  fish_completion=$(cat "$root/usr/share/fish/vendor_completions.d/tavelmir.fish")
  # Every command and every option of every help page is in the man page and each completion.
  commands=$("$bin" --help | sed -n '/^Commands:/,/^$/p' | grep -E '^  [a-z]' | awk '{print $1}')
  [ -n "$commands" ] || fail "no commands in the help"
  for command in $commands; do
    [ "$command" = help ] && continue
    grep -q "^\.SS $command\$" <<<"$man" || fail "man page lacks the command $command"
    options=$("$bin" help "$command" | grep -oE '^  (-[a-z], )?--?[a-z0-9-]+' | grep -oE -- '--?[a-z0-9-]+$')
    [ -n "$options" ] || fail "no options in the help of $command"
    for option in $options; do
      escaped=${option//-/\\\\-}
      grep -q -- "fB$escaped" <<<"$man" || fail "man page lacks $command $option"
      grep -q -- " $option" <<<"$bash_completion" || fail "bash completion lacks $command $option"
      grep -q -- "$option" <<<"$zsh_completion" || fail "zsh completion lacks $command $option"
      name=${option#-} && name=${name#-}
      grep -qE -- "-[ls] $name( |\$)" <<<"$fish_completion" || fail "fish completion lacks $command $option"
    done
  done
  grep -q 'Very Soft (quiet music: strongest response)' <<<"$man" || fail "man page describes the wave presets otherwise"
  # The sections a man page reader looks for, a release date, and no page that the package does not bring along.
  for section in FILES ENVIRONMENT 'EXIT STATUS' 'SEE ALSO'; do
    grep -q "^\.SH $section\$" <<<"$man" || fail "man page lacks $section"
  done
  for status in 0 1 2 130; do grep -q "^\\\\fB$status\\\\fR\$" <<<"$man" || fail "EXIT STATUS lacks $status"; done
  grep -qE '^\.TH TAVELMIR 1 "20[0-9]{2}-[0-9]{2}-[0-9]{2}"' <<<"$man" || fail "man page has no date"
  if grep -q 'man tavelmir' <<<"$man"; then fail "the man page sends its reader to man tavelmir"; fi
  if grep -q 'pactl' <<<"$man"; then fail "SEE ALSO names pactl, which the package does not bring"; fi
  grep -q '^\\fI/usr/share/tavelmir/TavelDat/\\fR$' <<<"$man" || fail "FILES does not name the installed data set"
  bash -n "$root/usr/share/bash-completion/completions/tavelmir" || fail "bash completion does not parse"
  zsh -n "$root/usr/share/zsh/vendor-completions/_tavelmir" || fail "zsh completion does not parse"
  fish -n "$root/usr/share/fish/vendor_completions.d/tavelmir.fish" || fail "fish completion does not parse"
  # Completing as a user would, with the unpacked program first on PATH (it lists the palettes).
  completed=$(PATH=$root/usr/bin:$PATH bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    complete_words() {
      COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
      _tavelmir; echo "${COMPREPLY[*]}"
    }
    complete_words tavelmir re
    complete_words tavelmir render song.mp3 --pal
    complete_words tavelmir render --palette em
    complete_words tavelmir render --fit ""
    complete_words tavelmir help p
    complete_words tavelmir render --preset ""
    complete_words tavelmir render --tune ani
    complete_words tavelmir render --fps ""
    complete_words tavelmir config Fade
    complete_words tavelmir config RadioIndex=
    complete_words tavelmir render --set Rad
    complete_words tavelmir palettes x' _ "$root/usr/share/bash-completion/completions/tavelmir")
  expected=$'render\n--palette --palettes\nember\ncontain cover\nplay palettes
ultrafast superfast veryfast faster fast medium slow slower veryslow\nanimation\n50 25 10 5 2 1
FadeOffset= FadeAmplitude= FadePower=\n\nRadioIndex='
  [ "$completed" = "$expected" ] || fail "bash completes: $completed"
  fished=$(PATH=$root/usr/bin:$PATH fish -c "source $root/usr/share/fish/vendor_completions.d/tavelmir.fish
    complete -C'tavelmir render --palette em'; complete -C'tavelmir render --preset ultra'
    complete -C'tavelmir config RadioI'" | cut -f1)
  [ "$fished" = $'ember\nultrafast\nRadioIndex=' ] || fail "fish completes: $fished"
  # The man page reads without complaints, and no path is split at a line's end.
  if command -v groff >/dev/null; then
    warnings=$(zcat "$root/usr/share/man/man1/tavelmir.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "groff: $warnings"
    for width in 60 80 100; do
      shown=$(zcat "$root/usr/share/man/man1/tavelmir.1.gz" | groff -man -Tutf8 -rLL=${width}n -P-cbou 2>/dev/null)
      for path in '$XDG_CONFIG_HOME/tavelmir/plugin.ini' '~/.config/tavelmir/plugin.ini'; do
        grep -qF "$path" <<<"$shown" || fail "the man page at $width columns splits $path"
      done
      if grep -qE '[a-z]-$' <<<"$shown"; then fail "the man page at $width columns hyphenates a word"; fi
    done
  fi
  ;;

runs)
  # The unpacked program renders from a folder of its own, with its data set found beside it and no settings yet.
  root=$work/run-root && rm -rf "$root" && dpkg-deb -x "$deb" "$root"
  elsewhere=$(mktemp -d) && trap 'rm -rf "$elsewhere"' EXIT
  cd "$elsewhere"
  python3 - <<'PY'
import math, struct, wave
with wave.open("song.wav", "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
    frames = bytearray()
    for i in range(44100):
        v = int(12000 * math.sin(2 * math.pi * 220 * i / 44100) * (1 + math.sin(i / 3000)))
        frames += struct.pack("<hh", v, -v)
    w.writeframes(bytes(frames))
PY
  HOME=$elsewhere XDG_CONFIG_HOME=$elsewhere/config "$root/usr/bin/tavelmir" render song.wav -o song.mp4 \
    --size 320x240 || fail "render"
  frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 song.mp4)
  [ "$frames" = 50 ] || fail "song.mp4 has $frames frames, not 50"
  HOME=$elsewhere XDG_CONFIG_HOME=$elsewhere/config "$root/usr/bin/tavelmir" palettes | grep -q ' 1  aurora ' ||
    fail "palettes of the installed data set"
  # Both menu entries, started as the desktop starts them (no file, no terminal) where no sound server runs, open
  # their window and say what they wait for: under SDL's dummy video driver, and on an X server where there is
  # one to start. The window closes itself after 100 frames (--keys).
  drivers=dummy
  command -v xvfb-run >/dev/null && drivers="dummy x11"
  for entry in org.tavelmir.tavelmir org.tavelmir.tavelmir.play; do
    exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$entry.desktop")
    read -r -a argv <<<"${exec_line% %F}"
    argv[0]=$root/usr/bin/${argv[0]}
    for driver in $drivers; do
      trace=$elsewhere/$entry-$driver.trace
      run=(env HOME="$elsewhere" XDG_CONFIG_HOME="$elsewhere/config" PULSE_SERVER=unix:/nonexistent
           XDG_RUNTIME_DIR="$elsewhere" SDL_VIDEODRIVER=$driver "${argv[@]}" --trace "$trace" --keys 100:q)
      [ "$driver" = x11 ] && run=(xvfb-run -a "${run[@]}")
      timeout 120 "${run[@]}" </dev/null >"$elsewhere/entry.out" 2>"$elsewhere/entry.err" ||
        fail "$exec_line under $driver: $(cat "$elsewhere/entry.err")"
      frames=$(grep -c '^[0-9]' "$trace" || true)
      [ "$frames" -ge 100 ] || fail "$exec_line under $driver showed $frames frames"
      case $entry in
      *.play) said='status: Drop audio files on this window' ;;
      *) said='status: no sound server is running' ;;
      esac
      grep -q "^# [0-9]* $said" "$trace" || fail "$exec_line under $driver did not say '$said': $(grep '^#' "$trace")"
    done
  done
  # A failure before the window opens, started as from the menu (no terminal), is shown in a message box as well
  # as on standard error; Return closes the box and the program ends with the failure's status.
  if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null && command -v xwininfo >/dev/null; then
    HOME=$elsewhere XDG_CONFIG_HOME=$elsewhere/config SDL_AUDIODRIVER=dummy timeout 120 xvfb-run -a bash -c '
      "$1" play --monitor 9 </dev/null >/dev/null 2>"$2/box.err" &
      pid=$!
      for _ in $(seq 300); do
        box=$(xwininfo -root -tree | awk "/Ombrelo Tunnel/ {print \$1; exit}")
        [ -n "$box" ] && break
        sleep 0.1
      done
      [ -n "$box" ] || { echo "no message box" >&2; kill -9 $pid; exit 3; }
      xdotool windowfocus "$box" key Return
      wait $pid' _ "$root/usr/bin/tavelmir" "$elsewhere" && status=0 || status=$?
    [ "$status" = 1 ] || fail "a failure from the menu ended with status $status: $(cat "$elsewhere/box.err")"
    grep -q 'tavelmir: --monitor 9: there is 1 monitor' "$elsewhere/box.err" || fail "the failure is not on stderr"
  fi
  # --version names the data set it found and the libraries it runs with.
  version_text=$("$root/usr/bin/tavelmir" --version)
  echo "$version_text"
  for line in "tavelmir $version" "data set: $root/usr/share/tavelmir" "FFmpeg: libavformat [0-9]" \
              "libsndfile: libsndfile-[0-9]" "SDL: 2\.[0-9]"; do
    grep -q "^$line" <<<"$version_text" || fail "--version lacks '$line'"
  done
  ;;

*)
  fail "unknown check $check"
  ;;
esac
