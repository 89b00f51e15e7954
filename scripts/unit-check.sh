#!/usr/bin/env bash
# Checks vektacand@.service as systemd reads it: systemd-analyze verify has
# nothing to say, and pulling the converter out must not stop the service:
# it is ordered after its device and wants it, is not bound to it, and is
# started again after a failure.
#   scripts/unit-check.sh          # the installed unit (systemctl show where systemd is init)
#   scripts/unit-check.sh FILE     # a unit file, read under a root of its own
# Exit status 77 when systemd-analyze is not there to read it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

command -v systemd-analyze >/dev/null || { echo "$script_name: no systemd-analyze; not checked" >&2; exit 77; }
unit=vektacand@.service
instance=vektacand@ttyUSB0.service

if [ $# -eq 0 ]; then
  verified=$(systemd-analyze verify "$instance" 2>&1)
  if [ -d /run/systemd/system ]; then
    read_unit=(systemctl show -p "BindsTo,After,Wants,Restart" "$instance")
  else
    read_unit=(systemd-analyze cat-config "systemd/system/$unit")
  fi
else
  root=$(mktemp -d)
  trap 'rm -rf "$root"' EXIT
  mkdir -p "$root/usr/lib/systemd/system"
  cp "$1" "$root/usr/lib/systemd/system/$unit"
  verified=$(systemd-analyze verify --man=no "$root/usr/lib/systemd/system/$instance" 2>&1)
  read_unit=(systemd-analyze --root="$root" cat-config "systemd/system/$unit")
fi
if [ -n "$verified" ]; then
  echo "$script_name: systemd-analyze verify says: $verified" >&2
  exit 1
fi
# Without systemd as init the template's lines stand for the instance's.
dependencies=$("${read_unit[@]}" | sed 's/%i/ttyUSB0/g')
for wanted in 'After=.*dev-ttyUSB0\.device' 'Wants=.*dev-ttyUSB0\.device' 'Restart=on-failure'; do
  grep -q "^$wanted" <<<"$dependencies" || { echo "$script_name: $unit has no $wanted" >&2; exit 1; }
done
if grep -q '^BindsTo=.' <<<"$dependencies"; then
  echo "$script_name: $unit is bound to its device; pulling the converter out would stop it" >&2
  exit 1
fi
echo "$unit: verified; after and wanting its device, not bound to it, restarted on failure"
