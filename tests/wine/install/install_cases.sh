#!/usr/bin/env bash
# The Windows package under Wine: the silent installer, its choice of folder, the uninstaller, the zip.
#
# Usage: install_cases.sh CASE --runner run_in_wine.sh --prefix DIR --setup SETUP.exe --stage DIR --zip ZIP
#                             --icon ICON.ico
#                             [--probe PROBE.exe --logs DIR]
# Cases: chosen-folder, player-detection, reinstall, uninstall, two-folders, installed-plugin-inits, zip-contents.
# Every case removes what it installed and the registry values it set, before and after, because the Wine prefix
# is shared with the other Wine tests.
set -euo pipefail

case_name=$1
shift
runner="" prefix="" setup="" stage="" zip="" probe="" driver="" logs="" icon=""
while (($#)); do
  case "$1" in
    --runner) runner=$2 ;;
    --prefix) prefix=$2 ;;
    --setup) setup=$2 ;;
    --stage) stage=$2 ;;
    --zip) zip=$2 ;;
    --probe) probe=$2 ;;
    --driver) driver=$2 ;;
    --logs) logs=$2 ;;
    --icon) icon=$2 ;;
    *) echo "install_cases.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
  shift 2
done

drive_c=$prefix/drive_c
test_root_win='C:\TavelmirInstallTest'
test_root=$drive_c/TavelmirInstallTest
default_player=$drive_c/Program\ Files/Winamp
uninstall_root='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# Each install folder has its own entry, this name with eight hexadecimal digits; older installers wrote it alone.
uninstall_key_base='Tavelmir Ombrelo Tunnel'
uninstaller_name='Uninstall Ombrelo Tunnel.exe'
work=$(mktemp -d "${TMPDIR:-/tmp}/tavelmir-install.XXXXXX")
trap 'rm -rf "$work"' EXIT

failures=0
label=""
fail() {
  echo "FAIL [$case_name${label:+ / $label}]: $*" >&2
  failures=$((failures + 1))
}

# One Wine program, no virtual desktop (the installer's silent mode shows no window); a hang ends after 90 s.
wine_run() { "$runner" --prefix "$prefix" --desktop none --timeout 90 -- "$@"; }

# Every Add/Remove Programs entry of ours, one "key|value name|value" line per value, from one reg query.
uninstall_entries() {
  wine_run reg query "$uninstall_root" /s 2>/dev/null | tr -d '\r' | awk -v base="$uninstall_root\\$uninstall_key_base" '
    /^HKEY_/ { key = (index($0, base) == 1) ? $0 : ""; next }
    key != "" && match($0, /^ +[^ ].* +REG_[A-Z_]+ */) {
      line = $0; sub(/^ +/, "", line)
      name = line; sub(/ +REG_[A-Z_]+.*$/, "", name)
      value = line; sub(/^.* REG_[A-Z_]+ */, "", value)
      print key "|" name "|" value
    }'
}

# The keys of our entries, one a line.
uninstall_keys() { uninstall_entries | cut -d'|' -f1 | sort -u; }

# The entry whose InstallLocation is the Plugins folder of $2 (a Windows path), from the listing in $1.
entry_of_folder() {
  awk -F'|' -v location="$2\\Plugins" '$2 == "InstallLocation" && tolower($3) == tolower(location) { print $1 }' \
    <<<"$1"
}

# One value of an entry, from the listing in $1.
entry_value() { awk -F'|' -v key="$2" -v name="$3" '$1 == key && $2 == name { print $3 }' <<<"$1"; }

# Sets the player's registry records through one regedit import. Arguments: HKCU folder, HKLM uninstaller path
# (each empty for "not recorded"). Every uninstall entry of ours is always cleared as well.
set_player_records() {
  local hkcu=$1 hklm=$2 key
  local keys
  keys=$(uninstall_keys)
  {
    echo 'REGEDIT4'
    echo
    echo '[-HKEY_CURRENT_USER\Software\Winamp]'
    echo '[-HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp]'
    while read -r key; do
      [[ -n $key ]] && echo "[-$key]"
    done <<<"$keys"
    if [[ -n $hkcu ]]; then
      printf '[HKEY_CURRENT_USER\\Software\\Winamp]\n@="%s"\n' "${hkcu//\\/\\\\}"
    fi
    if [[ -n $hklm ]]; then
      printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Winamp]\n'
      printf '"UninstallString"="\\"%s\\""\n' "${hklm//\\/\\\\}"
    fi
  } >"$work/records.reg"
  wine_run regedit /S "$work/records.reg" >/dev/null 2>&1 || fail "regedit import failed"
}

clean_prefix() {
  set_player_records "" ""
  clean_files
}

clean_files() {
  rm -rf "$test_root"
  # Only the plug-in's files: a real player there (there is none in a test prefix) would keep its own.
  rm -f "$default_player/Plugins/vis_tavelmir.dll"
  rm -rf "$default_player/Plugins/TavelDat"
  rmdir "$default_player/Plugins" "$default_player" 2>/dev/null || true
}

# A folder that looks like an installed player.
make_player() {
  mkdir -p "$1/Plugins"
  printf 'MZ' >"$1/winamp.exe"
}

run_setup() { wine_run "$setup" /S "$@" || fail "setup $* exited with $?"; }

# The uninstaller runs from a copy, as its own self-copy would (which outlives the runner's wineserver); _?= names
# the folder it was installed in.
run_uninstaller() {
  local player=$1 player_win=$2
  mkdir -p "$test_root/uninstaller-copy"
  cp "$player/Plugins/TavelDat/$uninstaller_name" "$test_root/uninstaller-copy/u.exe" ||
    { fail "no uninstaller in $player/Plugins/TavelDat"; return; }
  wine_run "$test_root_win\\uninstaller-copy\\u.exe" /S "_?=$player_win\\Plugins\\TavelDat" ||
    fail "uninstaller exited with $?"
  rm -rf "$test_root/uninstaller-copy"
}

shipped_data_files() { (cd "$stage/TavelDat" && ls -1); }

expect_same_file() {
  if [[ ! -f $2 ]]; then
    fail "missing $2"
  elif ! cmp -s "$1" "$2"; then
    fail "$2 differs from the build's $1"
  fi
}

# Every file of the package in place, byte for byte, with the uninstaller beside the data.
expect_installed() {
  local player=$1
  expect_same_file "$stage/vis_tavelmir.dll" "$player/Plugins/vis_tavelmir.dll"
  local name
  while read -r name; do
    expect_same_file "$stage/TavelDat/$name" "$player/Plugins/TavelDat/$name"
  done < <(shipped_data_files)
  expect_same_file "$stage/README-Windows.txt" "$player/Plugins/TavelDat/README-Windows.txt"
  expect_same_file "$stage/display-dialog.png" "$player/Plugins/TavelDat/display-dialog.png"
  expect_same_file "$stage/LICENSE.txt" "$player/Plugins/TavelDat/LICENSE.txt"
  [[ -f $player/Plugins/TavelDat/$uninstaller_name ]] || fail "no uninstaller in $player/Plugins/TavelDat"
}

expect_not_installed() {
  [[ ! -e $1/Plugins/vis_tavelmir.dll ]] || fail "unexpected vis_tavelmir.dll in $1/Plugins"
  [[ ! -e $1/Plugins/TavelDat ]] || fail "unexpected TavelDat in $1/Plugins"
}

# Every image of packaging's icon is inside the program $1: the icon it shows and Add/Remove Programs shows.
expect_our_icon() {
  python3 - "$icon" "$1" <<'PY' || fail "$1 does not carry the plug-in's icon"
import struct, sys
icon = open(sys.argv[1], 'rb').read()
program = open(sys.argv[2], 'rb').read()
count = struct.unpack_from('<H', icon, 4)[0]
for i in range(count):
    size, offset = struct.unpack_from('<II', icon, 6 + 16 * i + 8)
    if icon[offset:offset + size] not in program:
        sys.exit(1)
PY
}

case_chosen_folder() {
  local player=$test_root/ChosenPlayer player_win="$test_root_win\\ChosenPlayer"
  make_player "$player"
  make_player "$default_player"
  run_setup "/D=$player_win"
  expect_installed "$player"
  expect_not_installed "$default_player"
  # The display choice belongs to the finish page, which a silent install does not show.
  [[ ! -e $player/Plugins/plugin.ini ]] || fail "the silent install wrote plugin.ini"

  label="Add/Remove Programs"
  local entries key value
  entries=$(uninstall_entries)
  key=$(entry_of_folder "$entries" "$player_win")
  [[ -n $key ]] || { fail "no entry names $player_win\\Plugins: $(echo $entries)"; return; }
  [[ $key =~ \\"$uninstall_key_base "[0-9A-F]{8}$ ]] || fail "the entry's key is '$key'"
  value=$(entry_value "$entries" "$key" DisplayName)
  [[ $value == "Ombrelo Tunnel (Tavelmir Visualization Library) in $player_win" ]] || fail "DisplayName is '$value'"
  value=$(entry_value "$entries" "$key" DisplayVersion)
  [[ $value == "$(cat "$work/version")" ]] || fail "DisplayVersion is '$value'"
  value=$(entry_value "$entries" "$key" UninstallString)
  [[ $value == "\"$player_win\\Plugins\\TavelDat\\$uninstaller_name\"" ]] || fail "UninstallString is '$value'"
  value=$(entry_value "$entries" "$key" QuietUninstallString)
  [[ $value == "\"$player_win\\Plugins\\TavelDat\\$uninstaller_name\" /S" ]] ||
    fail "QuietUninstallString is '$value'"
  value=$(entry_value "$entries" "$key" DisplayIcon)
  [[ $value == "$player_win\\Plugins\\TavelDat\\$uninstaller_name,0" ]] || fail "DisplayIcon is '$value'"
  expect_our_icon "$player/Plugins/TavelDat/$uninstaller_name"
  expect_our_icon "$setup"
}

# Each row: label, HKCU folder, HKLM uninstaller, /D argument (or -), folder expected to receive the plug-in.
case_player_detection() {
  local rows=(
    "HKCU record wins over HKLM|$test_root_win\\Fake Winamp A|$test_root_win\\Fake Winamp B\\UninstWA.exe|-|Fake Winamp A"
    "HKLM uninstaller's folder|-|$test_root_win\\Fake Winamp B\\UninstWA.exe|-|Fake Winamp B"
    "stale HKCU record skipped|$test_root_win\\Removed Winamp|$test_root_win\\Fake Winamp B\\UninstWA.exe|-|Fake Winamp B"
    "nothing recorded|-|-|-|DEFAULT"
    "/D wins over the records|$test_root_win\\Fake Winamp A|-|$test_root_win\\ChosenPlayer|ChosenPlayer"
  )
  local row hkcu hklm dir expected folder
  for row in "${rows[@]}"; do
    IFS='|' read -r label hkcu hklm dir expected <<<"$row"
    clean_files
    make_player "$test_root/Fake Winamp A"
    make_player "$test_root/Fake Winamp B"
    make_player "$test_root/ChosenPlayer"
    [[ $hkcu == - ]] && hkcu=""
    [[ $hklm == - ]] && hklm=""
    set_player_records "$hkcu" "$hklm"
    if [[ $dir == - ]]; then run_setup; else run_setup "/D=$dir"; fi
    for folder in "Fake Winamp A" "Fake Winamp B" ChosenPlayer DEFAULT; do
      local path=$test_root/$folder
      [[ $folder == DEFAULT ]] && path=$default_player
      if [[ $folder == "$expected" ]]; then
        [[ -f $path/Plugins/vis_tavelmir.dll ]] || fail "nothing installed in $path"
      else
        expect_not_installed "$path"
      fi
    done
  done
  label=""
}

# A reinstall restores the shipped palettes but keeps the user's computed shading.
case_reinstall() {
  local player=$test_root/ChosenPlayer player_win="$test_root_win\\ChosenPlayer"
  make_player "$player"
  run_setup "/D=$player_win"
  local data=$player/Plugins/TavelDat palette
  palette=$(shipped_data_files | grep -v -x -e refrence.pal -e fade.dat | grep '\.pal$' | head -n1)
  head -c 65536 /dev/zero | tr '\0' '\7' >"$work/user-fade.dat"
  head -c 768 /dev/zero | tr '\0' '\5' >"$work/user-refrence.pal"
  cp "$work/user-fade.dat" "$data/fade.dat"
  cp "$work/user-refrence.pal" "$data/refrence.pal"
  head -c 768 /dev/zero >"$data/$palette"
  printf '[Ombrelo Tunnel]\r\nFadePower=192\r\n' >"$player/Plugins/plugin.ini"
  cp "$player/Plugins/plugin.ini" "$work/user-plugin.ini"
  run_setup "/D=$player_win"
  cmp -s "$work/user-plugin.ini" "$player/Plugins/plugin.ini" || fail "the silent install changed plugin.ini"
  expect_same_file "$stage/TavelDat/$palette" "$data/$palette"
  expect_same_file "$stage/vis_tavelmir.dll" "$player/Plugins/vis_tavelmir.dll"
  cmp -s "$work/user-fade.dat" "$data/fade.dat" || fail "the user's fade.dat was replaced"
  cmp -s "$work/user-refrence.pal" "$data/refrence.pal" || fail "the user's refrence.pal was replaced"
}

case_uninstall() {
  local player=$test_root/ChosenPlayer player_win="$test_root_win\\ChosenPlayer"

  label="user's files kept"
  make_player "$player"
  run_setup "/D=$player_win"
  printf 'my own palette' >"$player/Plugins/TavelDat/mine.pal"
  printf '[Ombrelo Tunnel]\r\nFadePower=192\r\n' >"$player/Plugins/plugin.ini"
  cp "$player/Plugins/TavelDat/mine.pal" "$player/Plugins/plugin.ini" "$work/"
  run_uninstaller "$player" "$player_win"
  [[ ! -e $player/Plugins/vis_tavelmir.dll ]] || fail "vis_tavelmir.dll left behind"
  local name
  while read -r name; do
    [[ ! -e $player/Plugins/TavelDat/$name ]] || fail "TavelDat/$name left behind"
  done < <(shipped_data_files)
  [[ ! -e $player/Plugins/TavelDat/README-Windows.txt ]] || fail "README-Windows.txt left behind"
  [[ ! -e $player/Plugins/TavelDat/display-dialog.png ]] || fail "display-dialog.png left behind"
  [[ ! -e $player/Plugins/TavelDat/LICENSE.txt ]] || fail "LICENSE.txt left behind"
  [[ ! -e $player/Plugins/TavelDat/$uninstaller_name ]] || fail "the uninstaller left itself behind"
  cmp -s "$work/mine.pal" "$player/Plugins/TavelDat/mine.pal" || fail "the user's mine.pal was not kept"
  cmp -s "$work/plugin.ini" "$player/Plugins/plugin.ini" || fail "the user's plugin.ini was not kept"
  [[ -f $player/winamp.exe ]] || fail "the player's own file went"
  [[ -z $(uninstall_keys) ]] || fail "an Add/Remove Programs entry is still there: $(uninstall_keys)"

  label="nothing of the user's"
  rm -rf "$player"
  make_player "$player"
  run_setup "/D=$player_win"
  run_uninstaller "$player" "$player_win"
  [[ ! -e $player/Plugins/TavelDat ]] || fail "the empty TavelDat folder was left behind"
  [[ -d $player/Plugins ]] || fail "the player's Plugins folder went"
  label=""
}

# Copies in two players' folders each have their entry, and removing one leaves the other with its entry. An
# entry of an older installer, which had one key for every folder, goes when its own folder is installed again.
case_two_folders() {
  local a=$test_root/PlayerA a_win="$test_root_win\\PlayerA" b=$test_root/PlayerB b_win="$test_root_win\\PlayerB"
  make_player "$a"
  make_player "$b"
  local legacy_location="$a_win\\Plugins"
  printf 'REGEDIT4\n\n[%s\\%s]\n"InstallLocation"="%s"\n' "$uninstall_root" "$uninstall_key_base" \
    "${legacy_location//\\/\\\\}" >"$work/legacy.reg"
  wine_run regedit /S "$work/legacy.reg" >/dev/null 2>&1 || fail "regedit import failed"
  run_setup "/D=$a_win"
  run_setup "/D=$b_win"
  # The same folder spelt in other letters is the same entry.
  run_setup "/D=${b_win^^}"

  label="two entries"
  local entries key_a key_b
  entries=$(uninstall_entries)
  key_a=$(entry_of_folder "$entries" "$a_win")
  key_b=$(entry_of_folder "$entries" "$b_win")
  [[ -n $key_a && -n $key_b && $key_a != "$key_b" ]] || fail "entries: $(echo $entries)"
  [[ $(uninstall_keys | wc -l) -eq 2 ]] || fail "expected two entries, found: $(echo $(uninstall_keys))"
  [[ $(entry_value "$entries" "$key_a" DisplayName) == *"in $a_win" ]] || fail "A's entry is named for another folder"

  label="uninstalling one"
  run_uninstaller "$a" "$a_win"
  expect_not_installed "$a"
  expect_installed "$b"
  entries=$(uninstall_entries)
  [[ -z $(entry_of_folder "$entries" "$a_win") ]] || fail "A's entry is still there"
  [[ $(entry_of_folder "$entries" "$b_win") == "$key_b" ]] || fail "B's entry went with A: $(echo $entries)"

  label="uninstalling the other"
  run_uninstaller "$b" "$b_win"
  expect_not_installed "$b"
  [[ -z $(uninstall_keys) ]] || fail "entries left: $(echo $(uninstall_keys))"
  label=""
}

# The installed DLL, loaded from its new folder with the current directory elsewhere, finds its data and runs.
case_installed_plugin_inits() {
  local player=$test_root/LoadPlayer player_win="$test_root_win\\LoadPlayer"
  make_player "$player"
  run_setup "/D=$player_win"
  expect_installed "$player"
  [[ ! -e $drive_c/TavelDat ]] || fail "a TavelDat folder in C:\\ would hide a wrong folder lookup"
  mkdir -p "$logs"
  "$runner" --prefix "$prefix" --timeout 120 --verdict "$logs/installed-plugin-inits.log" -- \
    "$probe" "$player_win\\Plugins\\vis_tavelmir.dll" "$logs/installed-plugin-inits.log" ||
    fail "the installed plug-in did not load and run (log above)"
}

# The installer clicked through as a user does; on its last page the driver takes the display choice $2.
run_setup_pages() {
  "$runner" --prefix "$prefix" --timeout 180 --verdict "$logs/finish-page.log" -- \
    "$driver" "Z:$(tr / '\\' <<<"$setup")" "$1" "$2" "$logs/finish-page.log" ||
    fail "the installer's pages did not run through (log above)"
}

stored_display_mode() {
  tr -d '\000\r' <"$1/Plugins/plugin.ini" 2>/dev/null | sed -n 's/^DisplayMode=//p'
}

case_finish_page() {
  local player=$test_root/PagePlayer player_win="$test_root_win\\PagePlayer"
  make_player "$player"
  mkdir -p "$logs"
  label="full screen left chosen"
  run_setup_pages "$player_win" default
  expect_installed "$player"
  [[ ! -e $player/Plugins/plugin.ini ]] || fail "the default was written into plugin.ini"
  label="a window chosen"
  run_setup_pages "$player_win" "In a &window"
  [[ $(stored_display_mode "$player") == 2 ]] || fail "plugin.ini holds DisplayMode '$(stored_display_mode "$player")'"
  label="chosen before"
  run_setup_pages "$player_win" none
  [[ $(stored_display_mode "$player") == 2 ]] || fail "the earlier choice became '$(stored_display_mode "$player")'"
}

case_zip_contents() {
  local unpacked=$work/unpacked
  mkdir -p "$unpacked"
  (cd "$unpacked" && unzip -q "$zip") || { fail "unzip failed"; return; }
  local expected actual
  expected=$(cd "$stage" && find . -type f | sort)
  actual=$(cd "$unpacked" && find . -type f | sort)
  [[ $expected == "$actual" ]] || fail "the zip holds $(echo $actual), expected $(echo $expected)"
  local f
  while read -r f; do
    expect_same_file "$stage/$f" "$unpacked/$f"
  done <<<"$expected"
  local guide=$unpacked/README-Windows.txt
  if grep -q $'[^\r]$' "$guide" || grep -q '^$' "$guide"; then fail "README-Windows.txt has lines without CRLF"; fi
  grep -q "version $(cat "$work/version")"$'\r'"\$" "$guide" || fail "README-Windows.txt names no version"
  grep -q 'refrence.pal' "$guide" || fail "README-Windows.txt does not name refrence.pal"
  grep -q '^MIT License'$'\r''$' "$unpacked/LICENSE.txt" || fail "LICENSE.txt is not the MIT licence in CRLF"
}

# The version the package was built for, from the installer's own file name.
basename "$setup" | sed -n 's/^tavelmir-\(.*\)-setup\.exe$/\1/p' >"$work/version"

if [[ $case_name != zip-contents ]]; then
  [[ -f $setup ]] || { echo "install_cases.sh: no installer at $setup" >&2; exit 1; }
  clean_prefix
fi
case $case_name in
  chosen-folder) case_chosen_folder ;;
  player-detection) case_player_detection ;;
  reinstall) case_reinstall ;;
  uninstall) case_uninstall ;;
  two-folders) case_two_folders ;;
  installed-plugin-inits) case_installed_plugin_inits ;;
  zip-contents) case_zip_contents ;;
  finish-page) case_finish_page ;;
  *) echo "install_cases.sh: unknown case '$case_name'" >&2; exit 2 ;;
esac
if [[ $case_name != zip-contents ]]; then
  label="clean-up"
  clean_prefix
fi

if ((failures)); then
  echo "$case_name: $failures failed checks" >&2
  exit 1
fi
echo "$case_name: PASS"
