#!/usr/bin/env bash
# Tests the Debian package as a user gets it: builds it, checks it with
# lintian, installs it with apt, and drives the installed program's real
# window on a virtual X display (Xvfb, the small window manager evilwm, real
# input through xdotool), as the unprivileged user nobody with a temporary
# home, from a folder nobody cannot write, against the installed vektasim run
# as that user too:
#   1. installed program as nobody: the files go to ~/.local/share/vektamon/;
#   2. a copy in a folder nobody can write: the files go beside it;
#   3. installed program as root: the files go to root's ~/.local/share/vektamon/,
#      never into the program's folder.
# Each scenario types the adapter's port, ticks "CAN LOG", presses "Пуск",
# cuts the log with "В ЛОГ" until received frames are in it, presses "Стоп"
# and closes the window with the window manager's close key; the installed
# vektalog then reads the logs. Needs root (for
# apt and to act as nobody); it leaves no package installed that was not.
# VEKTA_BUILD names the package's build folder (default build-test/package;
# with VEKTA_TESTS=ON an existing build with its tests, as the test command's);
# with VEKTA_JUNIT set, the cases that passed are also reported in that JUnit
# XML file, which the test command counts.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=VEKTA_BUILD,VEKTA_TESTS,VEKTA_JUNIT "$0" "$@"
fi
source scripts/lib.sh

build=${VEKTA_BUILD:-build-test/package}
planned_cases=(lintian apt-install unit-verified installed-as-nobody copy-as-nobody installed-as-root vektacand-as-nobody)
# shellcheck disable=SC2317 # run by the trap on EXIT only
trap 'report_cases package' EXIT
# The build's own output is shown, so that a failed build says why; on the
# descriptor itself, never reopened by name, which would truncate a log file.
VEKTA_BUILD=$build scripts/package.sh >&2
deb=$(compgen -G "$build/vektamon_*_amd64.deb")
echo "=== package: $deb, installed size $(dpkg-deb -f "$deb" Installed-Size) KiB"
lintian --fail-on error,warning "$deb"
echo "lintian: no errors, no warnings"
passed_case lintian

work=$(mktemp -d /tmp/vektamon-package-test.XXXXXX)
chmod 755 "$work"
was_installed=$(dpkg-query -W -f='${Status}' vektamon 2>/dev/null | grep -c "install ok installed" || true)
pids=()
# shellcheck disable=SC2317 # run by the trap on EXIT only
cleanup() {
  report_cases package
  stop_processes "${pids[@]}"
  if [ "$was_installed" -eq 0 ]; then
    apt-get purge -y -qq -o DPkg::Lock::Timeout=600 vektamon >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 "$(realpath "$deb")" >/dev/null
[ -x /usr/bin/vektamon ] && [ -x /usr/bin/vektasim ] && [ -x /usr/bin/vektalog ] && [ -x /usr/bin/vektacand ]
[ -f /usr/share/man/man1/vektacand.1.gz ] && [ -f /lib/systemd/system/vektacand@.service ]
echo "installed with apt"
passed_case apt-install
scripts/unit-check.sh
passed_case unit-verified

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

start_display "$work"

# run_as USER HOME COMMAND... &: runs the command in the background (so $! is
# its process) as that user with a clean environment of its own, in the root
# folder, which only root may write.
run_as() {
  local user=$1 home=$2
  shift 2
  cd /
  exec setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --clear-groups \
    env -i HOME="$home" PATH=/usr/bin:/bin DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$home/runtime" \
    QT_QPA_PLATFORM=xcb LANG=C.UTF-8 "$@"
}

log_with_frames() {
  grep -lq "RxD(CAN): " "$1"/*.log 2>/dev/null
}

# scenario NAME USER PROGRAM FILES_FOLDER: one capture through the window of
# PROGRAM run as USER; its settings and logs must land in FILES_FOLDER (a path
# under the user's home, which is $home).
scenario() {
  local name=$1 user=$2 program=$3 files=$4
  echo "=== $name"
  local folder before
  folder=$(dirname "$program")
  [ ! -e "$files/vektamon.set" ] || fail "$files/vektamon.set exists before the run"
  before=$(ls "$folder")

  run_as "$user" "$home" vektasim --link "$home/adapter" >"$work/$name-sim.out" 2>&1 &
  local sim=$!
  pids+=("$sim")
  wait_for_file "$home/adapter" "$sim"

  run_as "$user" "$home" "$program" >"$work/$name.out" 2>&1 &
  local program_pid=$!
  pids+=("$program_pid")
  local window
  window=$(timeout 60 xdotool search --sync --onlyvisible --name '^VEKTA Sniffer v') ||
    fail "no window appeared: $(cat "$work/$name.out")"
  window=${window%%$'\n'*}

  click "$window" "${port_field[@]}"
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 20 "$home/adapter"
  click "$window" "${can_log[@]}"
  click "$window" "${start_button[@]}"
  # "В ЛОГ" works once the run is under way; cut until frames are in a log.
  local deadline=$((SECONDS + 60))
  until log_with_frames "$files"; do
    [ $SECONDS -lt $deadline ] || fail "no log with received frames in $files: $(ls -la "$files" 2>&1)"
    click "$window" "${cut_button[@]}"
    sleep 0.5
  done
  click "$window" "${stop_button[@]}"
  close_window "$window"
  wait_until 60 "the program did not end after the close" sh -c "! kill -0 $program_pid 2>/dev/null"
  wait "$program_pid" || fail "the program ended with status $?: $(cat "$work/$name.out")"
  stop_processes "$sim"

  local settings="$files/vektamon.set"
  [ -f "$settings" ] || fail "no $settings: $(ls -la "$files" 2>&1)"
  [ "$(tr -d '\r' <"$settings" | wc -l)" -eq 22 ] || fail "$settings is not 22 lines"
  [ "$(head -n 1 "$settings" | tr -d '\r')" = "$home/adapter" ] || fail "$settings does not hold the typed port"
  [ "$(sed -n 8p "$settings" | tr -d '\r')" = "-1" ] || fail "$settings does not hold CAN LOG ticked"
  grep -q "Continue $home/adapter Baud=" "$files"/*.log || fail "no log cut in $files"
  [ "$files" = "$folder" ] || [ "$(ls "$folder")" = "$before" ] || fail "files were written beside $program"
  vektalog candump "$files"/*.log >"$work/$name.candump" 2>&1 || true
  grep -q "^([0-9]*\.[0-9]*) can0 " "$work/$name.candump" ||
    fail "vektalog read no frames from the logs: $(head -c 2000 "$work/$name.candump")"
  local logs=("$files"/*.log)
  echo "vektamon.set and ${#logs[@]} log(s) in $files; vektalog reads them"
}

# fresh_home USER: a new, empty home owned by the user, in $home.
fresh_home() {
  home=$(mktemp -d "$work/home.XXXXXX")
  mkdir -m 700 "$home/runtime"
  chown -R "$1:$(id -gn "$1")" "$home"
  chmod 700 "$home"
}

fresh_home nobody
scenario installed-as-nobody nobody /usr/bin/vektamon "$home/.local/share/vektamon"
passed_case installed-as-nobody

fresh_home nobody
mkdir "$home/copy"
cp /usr/bin/vektamon "$home/copy/"
chown -R nobody:nogroup "$home/copy"
scenario copy-as-nobody nobody "$home/copy/vektamon" "$home/copy"
[ ! -e "$home/.local/share/vektamon" ] || fail "the writable copy used the per-user folder"
passed_case copy-as-nobody

fresh_home root
scenario installed-as-root root /usr/bin/vektamon "$home/.local/share/vektamon"
passed_case installed-as-root

# The installed bridge as nobody: candump lines from the installed simulator,
# SIGTERM ends it with status 0 and the summary.
bridge_as_nobody() {
  echo "=== vektacand-as-nobody"
  fresh_home nobody
  run_as nobody "$home" vektasim --link "$home/adapter" >"$work/bridge-sim.out" 2>&1 &
  local sim=$!
  pids+=("$sim")
  wait_until 30 "vektasim made no port" test -e "$home/adapter"
  run_as nobody "$home" vektacand --candump --can-log "$home/adapter" >"$work/bridge.out" 2>"$work/bridge.err" &
  local bridge=$!
  pids+=("$bridge")
  wait_until 30 "vektacand wrote no frames: $(cat "$work/bridge.err")" \
    sh -c "[ \$(wc -l <'$work/bridge.out') -ge 20 ]"
  kill -TERM "$bridge"
  wait "$bridge" || fail "vektacand ended with status $?: $(cat "$work/bridge.err")"
  stop_processes "$sim"
  grep -q "frames received; standard output: .* forwarded, 0 dropped" "$work/bridge.err" ||
    fail "no summary: $(cat "$work/bridge.err")"
  grep -lq "RxD(CAN): " "$home/.local/share/vektamon"/*.log || fail "vektacand wrote no capture log"
  echo "$(wc -l <"$work/bridge.out") candump lines; the log in ~/.local/share/vektamon"
}
bridge_as_nobody
passed_case vektacand-as-nobody

echo "package: ${#passed_cases[@]} passed, 0 failed"
