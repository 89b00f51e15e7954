#!/usr/bin/env bash
# Tests the Windows build as a Windows user gets it, under Wine on a virtual X
# display (Xvfb, the window manager evilwm, real input through xdotool),
# against a TRILOX adapter played by the native vektasim behind Wine's COM12
# (TRILOX, as Wine cannot pulse DTR on a pseudo-terminal):
#   1. the zip unpacked into a fresh Wine prefix, into a folder with a
#      Cyrillic name: the window's caption; a capture typed in as an operator
#      would (port, adapter, "CAN LOG", "Пуск", "В ЛОГ" until received frames
#      are in a log, "Стоп", the window manager's close); the settings file
#      and the logs beside the program, and vektalog.exe reads them;
#   2. the session's end (wineboot --end-session) during a capture: the log
#      and the settings written as a close writes them; before it, a stored
#      place off every screen opens the window on the screen;
#   3. taskkill /F during a capture: the next start recovers the journal;
#   4. the installer: silent install (Start-menu entry, uninstall entry), the
#      installed program run twice with its files in the user's profile and
#      nothing new in Program Files, silent uninstall leaving the profile.
# Screenshots of the running window go to build-windows/screenshots for a
# person to look at. With VEKTA_JUNIT set, the passed cases are also reported
# in that JUnit XML file. Builds the artefacts with scripts/windows-package.sh,
# or takes those it built before from the file VEKTA_WINDOWS_ARTEFACTS names.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
repo=$PWD
out="$repo/${VEKTA_WINDOWS_BUILD:-build-windows}"
started=$SECONDS
planned_cases=(portable-capture vektalog-exe off-screen-place session-end taskkill-recovery installer-install
  installed-files-in-profile installer-uninstall)

scripts/install-deps.sh cmake ninja-build g++ wine wine64 xvfb xauth evilwm xdotool x11-apps netpbm unzip

if [ -n "${VEKTA_WINDOWS_ARTEFACTS:-}" ]; then
  mapfile -t artefacts <"$VEKTA_WINDOWS_ARTEFACTS"
else
  mapfile -t artefacts < <(scripts/windows-package.sh)
fi
zip=${artefacts[0]}
setup=${artefacts[1]}
version=$(sed -n 's/^project(vektamon VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
built=$SECONDS

# The simulator as scripts/wine-test.sh builds it, so that after it this is no work.
native="$repo/${VEKTA_WINE_BUILD:-build-wine}/native"
cmake -S . -B "$native" -G Ninja -DVEKTA_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEKTA_WINDOW=OFF \
  -DVEKTA_TESTS=OFF >/dev/null
cmake --build "$native" -j2 --target vektasim >/dev/null

work=$(mktemp -d /tmp/vektamon-windows-test.XXXXXX)
shots="$out/screenshots"
rm -rf "$shots"
mkdir -p "$shots"
pids=()
# shellcheck disable=SC2317 # run by the trap on EXIT only
cleanup() {
  report_cases windows
  wineserver -k 2>/dev/null || true
  stop_simulator
  stop_processes "${pids[@]}"
  rm -rf "$work"
}
trap cleanup EXIT

# A failed check shows the window as it was, when there is one.
fail() {
  echo "FAILED: $*" >&2
  [ -z "${window:-}" ] || screenshot failed
  exit 1
}

screenshot() {
  xwd -id "$window" -silent 2>/dev/null | xwdtopnm 2>/dev/null | pnmtopng >"$shots/$1.png" 2>/dev/null || true
}

echo "=== fresh Wine prefix"
use_wine_prefix "$work/prefix" "$work/wineboot.out"
# wineboot's desktop has no display; one left running would serve the
# program's windows with none, so the prefix's processes end first.
timeout 60 wineserver -w || fail "the Wine prefix's processes did not end after wineboot"
start_display "$work"
port=COM12  # two digits: opened as \\.\COM12, as Windows needs from COM10 on
wine_port "$port" "$work/trilox-port"
ln -sfn "$work/trilox-port" "$WINEPREFIX/dosdevices/${port,,}"
start_simulator "$native" "$work/trilox-port" --kind trilox

caption="VEKTA Sniffer v$version"
adapter_list=(112 66)
wheel_down=5
launch_ms=()

# find_window: sets window to the program's shown window, if there is one
# (a search fails as a whole when some window goes while it looks).
find_window() {
  window=$(xdotool search --onlyvisible --name "^${caption//./\\.}\$" 2>/dev/null | head -n 1)
  [ -n "$window" ]
}

# start_program NAME EXE: runs the program under Wine in the background;
# sets program to its process and window to its window once it shows.
start_program() {
  local name=$1 exe=$2 launched
  launched=$(date +%s%N)
  wine "$exe" >"$work/$name.out" 2>&1 &
  program=$!
  window=
  wait_until 60 "$name: no window \"$caption\"" find_window || fail "$name: $(cat "$work/$name.out")"
  launch_ms+=($((($(date +%s%N) - launched) / 1000000)))
}

# new_log_with_frames FOLDER BEFORE: a log in FOLDER that is not named in the
# file BEFORE holds received frames.
new_log_with_frames() {
  local log
  for log in "$1"/*.log; do
    [ -f "$log" ] && ! grep -qxF "$(basename "$log")" "$2" && grep -q "RxD(CAN): " "$log" && return 0
  done
  return 1
}

# capture NAME FOLDER: presses "Пуск", cuts with "В ЛОГ" until a new log in
# FOLDER has received frames, and takes a screenshot.
capture() {
  local name=$1 folder=$2
  ls "$folder" >"$work/$name.before" 2>/dev/null || true
  click "$window" "${start_button[@]}"
  local deadline=$((SECONDS + 60))
  until new_log_with_frames "$folder" "$work/$name.before"; do
    [ $SECONDS -lt $deadline ] || fail "$name: no new log with received frames in $folder: $(ls -la "$folder" 2>&1)"
    click "$window" "${cut_button[@]}"
    sleep 0.5
  done
  screenshot "$name"
}

# type_settings: the port, TRILOX (the list's next entry, by the mouse
# wheel, which needs no pop-up) and "CAN LOG", as an operator sets them.
type_settings() {
  click "$window" "${port_field[@]}"
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 20 "$port"
  xdotool mousemove --window "$window" "${adapter_list[@]}" click "$wheel_down"
  click "$window" "${can_log[@]}"
}

# wait_for_end NAME: waits for the program to end; answers its status.
wait_for_end() {
  wait_until 60 "$1: the program did not end" sh -c "! kill -0 $program 2>/dev/null"
  local status=0
  wait "$program" || status=$?
  return $status
}

# check_settings NAME FILE: the settings file as the capture's set-up left it.
check_settings() {
  local name=$1 file=$2
  [ -f "$file" ] || fail "$name: no $file"
  { [ "$(wc -l <"$file")" -eq 22 ] && [ "$(grep -c $'\r$' "$file")" -eq 22 ]; } ||
    fail "$name: $file is not 22 CR LF lines"
  [ "$(sed -n '1p;2p;8p' "$file" | tr -d '\r' | paste -sd' ')" = "$port 1 -1" ] ||
    fail "$name: $file does not hold $port, TRILOX and CAN LOG ticked: $(head -c 200 "$file")"
}

# operator_run NAME EXE FOLDER: a whole run as an operator makes it, its
# settings typed in when FOLDER has none yet, ended by the window manager's
# close; the settings and a log with frames must be in FOLDER.
operator_run() {
  local name=$1 exe=$2 folder=$3
  echo "=== $name"
  start_program "$name" "$exe"
  [ -f "$folder/vektamon.set" ] || type_settings
  capture "$name" "$folder"
  click "$window" "${stop_button[@]}"
  close_window "$window"
  wait_for_end "$name" || fail "$name: the program ended with status $?: $(cat "$work/$name.out")"
  check_settings "$name" "$folder/vektamon.set"
  grep -q "Continue $port Baud=" "$folder"/*.log || fail "$name: no log cut in $folder"
}

# vektalog.exe reads the logs of a folder, as a Windows user would run it.
check_vektalog() {
  local folder=$1 log
  log=$(grep -l "RxD(CAN): " "$folder"/*.log | head -n 1)
  wine "$(dirname "$zip_exe")/vektalog.exe" candump "$(windows_path "$log")" >"$work/vektalog.out" 2>&1 ||
    fail "vektalog.exe failed: $(head -c 2000 "$work/vektalog.out")"
  grep -q "^([0-9]*\.[0-9]*) can0 " "$work/vektalog.out" ||
    fail "vektalog.exe read no frames: $(head -c 2000 "$work/vektalog.out")"
}

# A portable folder whose name the ANSI code page cannot spell.
portable="$WINEPREFIX/drive_c/Загрузки"
mkdir -p "$portable"
unzip -q "$zip" -d "$portable"
zip_folder="$portable/vektamon"
zip_exe="$zip_folder/vektamon.exe"
[ "$(find "$zip_folder" -type f | wc -l)" -eq 10 ] || fail "the zip holds $(find "$zip_folder" -type f | wc -l) files, not 10"

operator_run portable-capture "$zip_exe" "$zip_folder"
passed_case portable-capture
check_vektalog "$zip_folder"
passed_case vektalog-exe

echo "=== session-end"
# A place on a monitor that is gone (top and left, the last two lines) opens
# the window on the screen instead.
sed -i '21s/.*/5000\r/; 22s/.*/5000\r/' "$zip_folder/vektamon.set"
start_program session-end "$zip_exe"
eval "$(xdotool getwindowgeometry --shell "$window")"
# shellcheck disable=SC2153 # X and Y come from the eval
{ [ "$X" -lt 1024 ] && [ "$Y" -lt 768 ]; } || fail "off-screen-place: the window opened at $X,$Y, off the screen"
passed_case off-screen-place
capture session-end "$zip_folder"
touch -d '-1 min' "$zip_folder/vektamon.set"
marked=$(stat -c %Y "$zip_folder/vektamon.set")
wine wineboot --end-session >"$work/end-session.out" 2>&1 || fail "wineboot --end-session: $(cat "$work/end-session.out")"
# Windows may end the process once WM_ENDSESSION is answered, and Wine does:
# only what was written before counts, not the status.
wait_for_end session-end || true
[ "$(stat -c %Y "$zip_folder/vektamon.set")" -gt "$marked" ] || fail "session-end: the settings were not saved"
check_settings session-end "$zip_folder/vektamon.set"
[ -z "$(find "$zip_folder" -name '*.journal')" ] || fail "session-end: a journal was left"
passed_case session-end

echo "=== taskkill-recovery"
start_program taskkill "$zip_exe"
capture taskkill "$zip_folder"
wait_until 10 "taskkill: no journal during the capture" sh -c "ls '$zip_folder'/*.journal >/dev/null 2>&1"
wine taskkill /F /IM vektamon.exe >"$work/taskkill.out" 2>&1 || fail "taskkill: $(cat "$work/taskkill.out")"
if wait_for_end taskkill; then fail "taskkill: the program ended with status 0"; fi
[ -n "$(find "$zip_folder" -name '*.journal')" ] || fail "taskkill: no journal left behind"
start_program recovery "$zip_exe"
recovered() {
  [ -z "$(find "$zip_folder" -name '*.journal')" ] &&
    grep -lq "Capture ended unexpectedly; log lines recovered" "$zip_folder"/*.log
}
wait_until 30 "recovery: the journal was not recovered into a log" recovered
close_window "$window"
wait_for_end recovery || fail "recovery: the program ended with status $?"
passed_case taskkill-recovery

echo "=== installer"
installed="$WINEPREFIX/drive_c/Program Files/vektamon"
wine "$setup" /S >"$work/setup.out" 2>&1 || fail "the silent install failed: $(cat "$work/setup.out")"
{ [ -f "$installed/vektamon.exe" ] && [ -f "$installed/vektamon.installed" ] && [ -f "$installed/uninstall.exe" ]; } ||
  fail "not installed: $(ls -la "$installed" 2>&1)"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vektamon'
wine reg query "$uninstall_key" /v UninstallString >"$work/reg.out" 2>&1 || fail "no uninstall entry"
[ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/VEKTA Sniffer.lnk" ] ||
  fail "no Start-menu entry"
find "$installed" | sort >"$work/installed.files"
profile=$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
profile="$(winepath -u "$profile" 2>/dev/null)/vektamon"
passed_case installer-install

operator_run installed-first "$installed/vektamon.exe" "$profile"
operator_run installed-second "$installed/vektamon.exe" "$profile"
[ "$(find "$installed" | sort)" = "$(cat "$work/installed.files")" ] || fail "the installed program wrote into $installed"
passed_case installed-files-in-profile

wine "$installed/uninstall.exe" /S >"$work/uninstall.out" 2>&1 || fail "the silent uninstall failed"
# The uninstaller runs on from a copy of itself in the temporary folder.
wait_until 60 "the uninstall left $installed" test ! -e "$installed"
if wine reg query "$uninstall_key" >/dev/null 2>&1; then fail "the uninstall entry stayed"; fi
[ -f "$profile/vektamon.set" ] || fail "the uninstall removed the user's files"
passed_case installer-uninstall

echo "launch to window under Wine: ${launch_ms[*]} ms"
echo "zip $(stat -c %s "$zip") bytes, installer $(stat -c %s "$setup") bytes"
echo "windows: ${#passed_cases[@]} passed, 0 failed; build $((built - started)) s, tests $((SECONDS - built)) s"
