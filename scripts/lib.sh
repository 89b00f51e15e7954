# shellcheck shell=bash
# Helpers the scripts share; sourced (source scripts/lib.sh) after the script
# has changed to the project's root. Each fails with a message on stderr and
# status 1, so that under set -e the script stops there.

# The script's name, to begin its messages with.
script_name=$(basename "$0" .sh)

# wait_until SECONDS WHAT COMMAND...: polls the command every 0.1 s until it
# holds; fails saying WHAT when SECONDS have passed.
wait_until() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    if [ $SECONDS -ge $deadline ]; then
      echo "$script_name: $what (waited $seconds s)" >&2
      return 1
    fi
    sleep 0.1
  done
}

# wait_for_file FILE PID: waits up to 30 s for FILE, which the process PID
# (started in the background) is to make; fails at once when it has ended.
wait_for_file() {
  local file=$1 pid=$2 deadline=$((SECONDS + 30))
  until [ -e "$file" ]; do
    if ! kill -0 "$pid" 2>/dev/null; then
      local status=0
      wait "$pid" || status=$?
      echo "$script_name: process $pid ended (status $status) before making $file" >&2
      return 1
    fi
    if [ $SECONDS -ge $deadline ]; then
      echo "$script_name: no $file after 30 s" >&2
      return 1
    fi
    sleep 0.1
  done
}

# stop_processes PID...: ends each process and waits for it; those already
# gone are no fault, as a trap on EXIT calls this after any failure.
stop_processes() {
  local pid
  for pid in "$@"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "$@"; do
    wait "$pid" 2>/dev/null || true
  done
}

# start_simulator BUILD LINK [vektasim options]: starts vektasim from the
# build folder with its port linked at LINK, sets sim to its process id and
# waits until the link is there. stop_simulator ends it.
start_simulator() {
  local build=$1 link=$2
  shift 2
  "$build/sim/vektasim" --link "$link" "$@" >/dev/null &
  sim=$!
  wait_for_file "$link" "$sim"
}

stop_simulator() {
  [ -z "${sim:-}" ] || stop_processes "$sim"
}

# A Windows path for a file of ours: Wine maps the root to drive Z:.
windows_path() {
  local path=$1
  printf 'Z:%s' "${path//\//\\}"
}

# What every Wine of ours runs with: 64-bit, quiet, and without the .NET and
# HTML engines, which wineboot would otherwise try to download.
wine_settings=(WINEARCH=win64 WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=")

# use_wine_prefix PREFIX LOG: Wine from here on uses the prefix at PREFIX,
# made with wineboot when it is not there yet (its output kept in LOG and
# shown when it fails). Nothing of ours draws, so no display is used.
use_wine_prefix() {
  local prefix=$1 log=$2
  export WINEPREFIX="$prefix" "${wine_settings[@]}"
  unset DISPLAY WAYLAND_DISPLAY
  [ ! -f "$prefix/system.reg" ] || return 0
  wineboot -i >"$log" 2>&1 && return 0
  # Wine makes a new prefix on its first start, then starts the program it
  # was asked for, wineboot again. Beside a build that second start has
  # failed ("ShellExecuteEx failed: Internal error") with the prefix made: it
  # is then booted once more, once the first start's processes are gone.
  if [ ! -f "$prefix/system.reg" ] || ! timeout 60 wineserver -w || ! wineboot -u >>"$log" 2>&1; then
    cat "$log"
    return 1
  fi
}

# wine_port PORT DEVICE: Wine's PORT (COM5) stands for DEVICE. The registry
# entry survives Wine's own scan of the machine's serial devices, which may
# claim low COM numbers.
wine_port() {
  local port=$1 device=$2
  wine reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$device" /f >/dev/null 2>&1 ||
    { echo "$script_name: Wine did not take $port for $device" >&2; return 1; }
}

# package_configure BUILD [cmake options]: configures BUILD as the Debian
# package is built: Debian's hardening flags, installed under /usr. The test
# command's plain suite is configured the same way, so that the binaries
# tested are the ones packaged.
package_configure() {
  local build=$1
  shift
  DEB_BUILD_MAINT_OPTIONS=hardening=+all cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_INSTALL_PREFIX=/usr -DVEKTA_WERROR=ON \
    -DCMAKE_CXX_FLAGS="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS) $(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)" "$@" >/dev/null
}

# The cases of a script that runs several checks, for the test command's
# count. planned_cases names them all, in order; passed_case marks the next
# one passed once its checks came through, so the first case not passed when
# a script ends early is the one that failed.
planned_cases=()
passed_cases=()
passed_case() {
  echo "--- $1 passed"
  passed_cases+=("$1")
}

# report_cases SUITE: with VEKTA_JUNIT set, the cases as a JUnit XML report
# in that file: those that passed and, when the script ended early, the one
# that failed. Called on EXIT.
report_cases() {
  local suite=$1 file=${VEKTA_JUNIT:-}
  [ -n "$file" ] || return 0
  local passed=${#passed_cases[@]} failed=
  [ "$passed" -ge ${#planned_cases[@]} ] || failed=${planned_cases[$passed]}
  local failures=$((${#failed} > 0))
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo "<testsuite name=\"$suite\" tests=\"$((passed + failures))\" failures=\"$failures\">"
    local name
    for name in "${passed_cases[@]}"; do
      printf '  <testcase classname="%s" name="%s" status="run"/>\n' "$suite" "$name"
    done
    [ -z "$failed" ] ||
      printf '  <testcase classname="%s" name="%s" status="fail"><failure message="failed"/></testcase>\n' "$suite" "$failed"
    echo '</testsuite>'
  } >"$file"
}

# start_display WORK: a virtual X display (Xvfb), reachable by every local
# user, with the small window manager evilwm, whose Ctrl+Alt+Escape closes
# the window under the pointer as a user's close does. Exports DISPLAY and
# adds both processes to the array pids; their messages go to WORK.
start_display() {
  local work=$1
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.err" &
  pids+=("$!")
  wait_until 30 "Xvfb did not start" test -s "$work/display"
  DISPLAY=":$(cat "$work/display")"
  export DISPLAY
  mkdir -p "$work/wm"
  # A window manager that dies as it starts (seen once in many runs, with no
  # trace left) is started again; one that runs but never takes the screen
  # fails with what it and Xvfb said.
  local attempt deadline
  for attempt in 1 2 3; do
    HOME="$work/wm" evilwm -fn fixed --bind "Control+Alt+Escape=delete" 2>>"$work/wm.err" &
    pids+=("$!")
    deadline=$((SECONDS + 30))
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
      kill -0 "${pids[-1]}" 2>/dev/null || break
      if [ $SECONDS -ge $deadline ]; then
        echo "$script_name: the window manager did not take the screen (waited 30 s): $(cat "$work/wm.err" "$work/xvfb.err")" >&2
        return 1
      fi
      sleep 0.1
    done
    kill -0 "${pids[-1]}" 2>/dev/null && return 0
    echo "$script_name: the window manager ended as it started (attempt $attempt): $(cat "$work/wm.err")" >&2
  done
  return 1
}

# click WINDOW X Y: a real button-1 click at client coordinates of the window.
click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

# close_window WINDOW: the window manager's close; its key goes to the window
# under the pointer.
close_window() {
  xdotool mousemove --window "$1" 200 100 key --clearmodifiers ctrl+alt+Escape
}

# Client positions of the window's controls (the designed layout), for the
# scripts that drive it.
# shellcheck disable=SC2034
{
  port_field=(112 18)
  can_log=(160 162)
  start_button=(125 220)
  stop_button=(205 220)
  cut_button=(285 220)
}
