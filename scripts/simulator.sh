# Sourced by the scripts that need the stand-in adapter.
# start_simulator BUILD LINK [vektasim options]: starts vektasim from the
# build folder with its port linked at LINK, sets sim to its process id and
# waits until the link is there. stop_simulator ends it.

start_simulator() {
  local build=$1 link=$2
  shift 2
  "$build/sim/vektasim" --link "$link" "$@" >/dev/null &
  sim=$!
  for _ in $(seq 100); do
    [ -e "$link" ] && return 0
    sleep 0.1
  done
  echo "vektasim did not start" >&2
  return 1
}

stop_simulator() {
  [ -n "${sim:-}" ] || return 0
  kill "$sim" 2>/dev/null
  wait "$sim" 2>/dev/null || true
}
