#!/usr/bin/env bash
# The real-driver bench: boots a small Linux guest in QEMU (TCG) from Debian's
# own kernel package, with two emulated FTDI converters on its USB bus that
# the kernel's ftdi_sio driver serves as /dev/ttyUSB*, each with a simulated
# adapter (vektasim) on its host end: VEKTA on USB port 1, TRILOX on port 2.
# QEMU traces every baud and modem-line request the driver sends; the guest
# reaches the host's root through a read-only 9p share and runs the host's
# own test binaries there.
#
#   scripts/driver-bench.sh [native|wine|powercut] [test program arguments]
#   VEKTA_DRIVER_NATIVE=build-test/plain scripts/driver-bench.sh   # reuse a build
#   VEKTABENCH_LINE_RATE_S=10 scripts/driver-bench.sh   # the bridge's line-rate run (default 60 s)
#
# native runs the capture library's bench tests (tests/driver); wine runs the
# Windows build's tests (tests/wine) under Wine in the guest; powercut gives
# the guest an ext4 disk, cuts its power (SIGKILL to QEMU) while a capture
# logs onto it, boots it again to recover and check the logs, and so on for
# VEKTA_POWER_CUTS cuts (8), then captures once more onto a disk that QEMU
# throttles. Installs what it
# needs (Debian 12, as root); the guest's kernel and busybox are taken from
# their packages with apt-get download into build-driver/guest, once.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
repo=$(realpath .)
mode=native
if [ $# -gt 0 ] && { [ "$1" = native ] || [ "$1" = wine ] || [ "$1" = powercut ]; }; then
  mode=$1
  shift
fi
out="$repo/${VEKTA_DRIVER_BUILD:-build-driver}"
started=$SECONDS
traces=$(realpath -m "$repo/../shared/traces")

# Guest modules, each after those it needs (the package has no modules.dep).
guest_modules=(
  usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio
  virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci
  9pnet 9pnet_virtio netfs fscache 9p overlay
  can can-raw can-dev vcan vxcan slcan
  virtio_blk crc16 crc32c_generic mbcache jbd2 ext4
)
guest_timeout=${VEKTA_GUEST_TIMEOUT:-300}

packages=(cmake ninja-build g++ libgtest-dev qemu-system-x86 xz-utils python3)
[ "$mode" = wine ] && packages+=(googletest g++-mingw-w64-x86-64-posix wine wine64)
[ "$mode" = powercut ] && packages+=(e2fsprogs)
scripts/install-deps.sh "${packages[@]}"

# The kernel package that linux-image-amd64 stands for today.
kernel_package() {
  local name
  name=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[0-9].*-amd64\)$/\1/p' | head -1)
  if [ -z "$name" ]; then
    apt-get update -qq
    name=$(apt-cache depends linux-image-amd64 | sed -n 's/^ *Depends: \(linux-image-[0-9].*-amd64\)$/\1/p' | head -1)
  fi
  [ -n "$name" ] || { echo "driver bench: no kernel package behind linux-image-amd64" >&2; return 1; }
  echo "$name"
}

# Downloads a package's .deb into the cache unless one is there.
fetch_deb() {
  local pattern=$1 name=$2
  compgen -G "$guest/debs/${pattern}_*.deb" >/dev/null && return 0
  (cd "$guest/debs" && apt-get download -q "$name" >"$guest/download.out" 2>&1) ||
    { cat "$guest/download.out"; return 1; }
}

# The kernel as an ELF that QEMU boots directly (decompressing it under TCG
# takes seconds), its modules and busybox, from the cached packages.
prepare_guest() {
  guest="$out/guest"
  mkdir -p "$guest/debs"
  if ! compgen -G "$guest/debs/linux-image-*_*.deb" >/dev/null; then
    fetch_deb "linux-image-*" "$(kernel_package)"
  fi
  fetch_deb busybox-static busybox-static
  local deb stamp
  deb=$(compgen -G "$guest/debs/linux-image-*_*.deb" | head -1)
  stamp="$(basename "$deb") $(basename "$(compgen -G "$guest/debs/busybox-static_*.deb")")"
  if [ "$(cat "$guest/unpacked" 2>/dev/null)" != "$stamp" ]; then
    echo "=== guest kernel from $(basename "$deb")"
    rm -rf "$guest/root" "$guest/unpacked"
    mkdir -p "$guest/root"
    for package in "$guest"/debs/*.deb; do
      dpkg-deb -x "$package" "$guest/root"
    done
    # A bzImage: setup sectors, then the xz payload at the offset its header gives.
    local image setup offset
    image=$(compgen -G "$guest/root/boot/vmlinuz-*" | head -1)
    setup=$(od -A n -t u1 -j $((0x1f1)) -N 1 "$image")
    offset=$(od -A n -t u4 -j $((0x248)) -N 4 "$image")
    xz -dc --single-stream < <(tail -c +$(((setup + 1) * 512 + offset + 1)) "$image") >"$guest/vmlinux"
    echo "$stamp" >"$guest/unpacked"
  fi
  # The initramfs is cheap; made anew so that it always holds today's init.
  local initramfs="$guest/initramfs"
  rm -rf "$initramfs"
  mkdir -p "$initramfs/bin" "$initramfs/modules" "$initramfs/proc" "$initramfs/sys" "$initramfs/dev"
  cp "$guest/root/bin/busybox" "$initramfs/bin/"
  ln -s busybox "$initramfs/bin/sh"  # the rest the init installs itself
  cp tests/driver/guest/init "$initramfs/init"
  local module file
  for module in "${guest_modules[@]}"; do
    file=$(find "$guest/root/lib/modules" -name "$module.ko" | head -1)
    [ -n "$file" ] || { echo "driver bench: no $module.ko in the kernel package" >&2; return 1; }
    cp "$file" "$initramfs/modules/"
  done
  printf '%s\n' "${guest_modules[@]}" >"$initramfs/modules/order"
  (cd "$initramfs" && find . | "$initramfs/bin/busybox" cpio -o -H newc 2>/dev/null) >"$guest/initramfs.cpio"
}

sims=()
qemu_pid=
relay_pid=
cleanup() {
  stop_processes ${relay_pid:+"$relay_pid"} ${qemu_pid:+"$qemu_pid"} "${sims[@]}"
}
trap cleanup EXIT

# Waits until file holds count lines matching pattern.
wait_for_line_count() {
  local file=$1 pattern=$2 count=$3 deadline=$((SECONDS + 10))
  until [ "$(grep -c "$pattern" "$file" || true)" -ge "$count" ]; do
    if [ $SECONDS -ge $deadline ]; then
      echo "driver bench: no \"$pattern\" in $file after 10 s" >&2
      return 1
    fi
    sleep 0.01
  done
}

# Time for QEMU to hand on what it read from a quiet line (seconds).
quiet_before_unplug_s=0.05

# One simulated adapter of a kind, with the traffic options given; QEMU is
# to open its port through the link sim_port names. Its power cut before a
# pull lets the message under way finish: cut mid-message, the capture's
# byte wait (100 ms) would race the guest's notice of the pull, and which
# came first would decide what the log says. A freshly opened converter
# echoes what comes in until the capture has set its line raw; the adapter
# drops that noise once the line pauses, as a real one's receive time-out
# does (VEKTA's DTR pulse, which resets a real adapter, does not reach it).
declare -A sim_pid sim_port
start_adapter() {
  local kind=$1
  shift
  sim_port[$kind]="$run/$kind.port"
  "$native/sim/vektasim" --kind "$kind" "$@" --cut-between-messages --drop-broken-off --link "${sim_port[$kind]}" \
    --record "$run/$kind.rec" \
    >"$run/$kind.out" 2>&1 &
  sims+=("$!")
  sim_pid[$kind]=$!
  wait_for_file "${sim_port[$kind]}" "$!"
}

# qmp COMMAND [ARGUMENTS_JSON] [--wait-event EVENT]: one command on QEMU's
# monitor socket; prints its answer (scripts/qmp.py).
qmp() {
  scripts/qmp.py "$run/qmp.sock" "$@"
}

# Pulls a converter, waits MS ms, plugs it back; says so to the guest.
replug() {
  local kind=$1 ms=$2 port=${usb_port[$1]}
  echo "$(date +%s.%N) unplug $kind" >>"$run/replugs"
  # A bus-powered adapter goes dark with its converter; first, and the
  # converter is pulled only once the line is quiet, as QEMU 7.2 at times
  # crashes when a converter is pulled while bytes come in.
  local cuts
  cuts=$(grep -c '^power cut$' "$run/$kind.out" || true)
  kill -USR1 "${sim_pid[$kind]}"
  wait_for_line_count "$run/$kind.out" '^power cut$' $((cuts + 1)) || return 1
  sleep "$quiet_before_unplug_s"
  qmp device_del "{\"id\":\"$kind\"}" --wait-event DEVICE_DELETED >>"$run/replugs"
  sleep "$(printf '%d.%03d' $((ms / 1000)) $((ms % 1000)))"
  qmp device_add "{\"driver\":\"usb-serial\",\"id\":\"$kind\",\"chardev\":\"$kind-line\",\"bus\":\"xhci.0\",\"port\":\"$port\"}" \
    >>"$run/replugs"
  echo "$(date +%s.%N) replugged $kind" >>"$run/replugs"
  echo "replugged $kind" >&"$ctl_in"
}

# The frames an adapter has sent so far, as its simulator tells them.
frames_sent() {
  local kind=$1 told
  told=$(grep -c '^frames sent ' "$run/$kind.out" || true)
  kill -USR2 "${sim_pid[$kind]}"
  wait_for_line_count "$run/$kind.out" '^frames sent ' $((told + 1)) || return 1
  sed -n 's/^frames sent \([0-9]*\)$/\1/p' "$run/$kind.out" | tail -1
}

# Conditions for wait_until.
# shellcheck disable=SC2317
streaming() {
  [ "$(frames_sent "$1")" -gt 0 ]
}

# shellcheck disable=SC2317
all_sent() {
  [ "$(frames_sent "$1")" -ge "$flood_frames" ]
}

# Samples the frames KIND's adapter has sent, every quarter second until
# stopped, so that what it had sent some seconds before a power cut is known.
watch_sent() {
  local kind=$1 sent
  while :; do
    sent=$(frames_sent "$kind") || return 1
    echo "$EPOCHREALTIME $sent" >>"$run/sent-history"
    sleep 0.25
  done
}

# The power cut: asked for by the guest at a moment of its choosing, it comes
# MS ms later, QEMU killed outright. The file cut, there from the moment of
# the kill, gets the frames sent some seconds before, and by then.
power_cut() {
  local kind=$1 ms=$2 killed_at sent_before sent_at_cut
  wait_until 60 "the $kind adapter did not start streaming" streaming "$kind" || return 1
  sleep "$(printf '%d.%03d' $((ms / 1000)) $((ms % 1000)))"
  : >"$run/cut"
  killed_at=$EPOCHREALTIME
  kill -KILL "$qemu_pid"
  stop_processes "$watcher"
  sent_at_cut=$(frames_sent "$kind") || return 1
  sent_before=$(awk -v before="$killed_at" -v s="$recovered_before_cut_s" \
    '$1 <= before - s { sent = $2 } END { print sent + 0 }' "$run/sent-history" 2>/dev/null || echo 0)
  echo "$sent_before $sent_at_cut $ms" >"$run/cut"
}

# Serves the guest's requests on its second serial line: "replug KIND MS"
# pulls that converter for MS ms and answers "replugged KIND"; "watch KIND
# 0" samples what KIND's adapter sends from then on; "powercut KIND MS" cuts
# the guest's power MS ms later; "sent KIND 0" answers "sent KIND" once
# KIND's adapter has sent all its frames.
serve_guest() {
  exec {ctl_in}>"$run/control.in" {ctl_out}<"$run/control.out"
  local request kind ms watcher=
  while read -r request kind ms <&"$ctl_out"; do
    case $request in
      replug) replug "$kind" "$ms" || return 1 ;;
      watch)
        watch_sent "$kind" &
        watcher=$!
        ;;
      powercut) power_cut "$kind" "$ms" || return 1 ;;
      sent)
        wait_until 120 "the $kind adapter did not send its frames" all_sent "$kind" || return 1
        echo "sent $kind" >&"$ctl_in"
        ;;
    esac
  done
}

# Boots the guest with the two converters, runs the script given, and sets
# status to its exit status; the console (the tests' output) is printed. It
# is called as a plain command, so that under set -e a failure while setting
# up stops the bench before QEMU boots; from the boot on, each outcome is
# looked at here and ends in status.
run_guest() {
  local script=$1
  for kind in vekta trilox; do
    start_adapter "$kind" "${traffic[@]}"
  done
  mkfifo "$run/control.in" "$run/control.out"
  : >"$run/trace"
  : >"$run/console"
  local boot=$SECONDS
  qemu-system-x86_64 -accel tcg -smp 2 -m 2048 -display none -no-reboot -nodefaults \
    -kernel "$guest/vmlinux" -initrd "$guest/initramfs.cpio" \
    -append "console=ttyS0 quiet panic=-1 loglevel=3 vektabench.run=$script vektabench.keep=$repo vektabench.keep=$traces" \
    -chardev file,id=console,path="$run/console" -serial chardev:console \
    -chardev pipe,id=control,path="$run/control" -serial chardev:control \
    -chardev socket,id=qmp,path="$run/qmp.sock",server=on,wait=off -mon chardev=qmp,mode=control \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    "${guest_disk[@]}" -device qemu-xhci,id=xhci \
    -chardev serial,id=vekta-line,path="${sim_port[vekta]}" -device usb-serial,id=vekta,chardev=vekta-line,bus=xhci.0,port=1 \
    -chardev serial,id=trilox-line,path="${sim_port[trilox]}" -device usb-serial,id=trilox,chardev=trilox-line,bus=xhci.0,port=2 \
    -trace usb_serial_handle_control -trace usb_serial_set_baud -msg timestamp=on -D "$run/trace" \
    >"$run/qemu.out" 2>&1 &
  qemu_pid=$!
  serve_guest &
  relay_pid=$!
  local deadline=$((SECONDS + guest_timeout)) relay_done=
  while kill -0 "$qemu_pid" 2>/dev/null; do
    if [ $SECONDS -ge $deadline ]; then
      echo "driver bench: the guest did not finish within $guest_timeout s" >&2
      kill "$qemu_pid" 2>/dev/null || true
      break
    fi
    # Without it a guest that asks for a replug would wait for ever. The
    # relay also ends, without fault, when QEMU closes the line on its way out.
    if [ -z "$relay_done" ] && ! kill -0 "$relay_pid" 2>/dev/null && [ ! -e "$run/cut" ]; then
      if wait "$relay_pid"; then
        relay_done=1
      else
        echo "driver bench: serving the guest's requests failed; the guest is stopped" >&2
        kill "$qemu_pid" 2>/dev/null || true
        break
      fi
    fi
    sleep 0.2
  done
  local qemu_status=0
  wait "$qemu_pid" || qemu_status=$?
  qemu_pid=
  if [ -e "$run/cut" ]; then
    wait "$relay_pid" || true  # it tells the figures of the cut
  else
    stop_processes "$relay_pid"
  fi
  relay_pid=
  cat "$run/console"
  if [ -s "$run/qemu.out" ]; then
    echo "--- QEMU said:"
    cat "$run/qemu.out"
  fi
  if [ -e "$run/cut" ]; then
    echo "=== guest run: $((SECONDS - boot)) s, ended by its power cut"
    status=0
    return 0
  fi
  [ "$qemu_status" -eq 0 ] || echo "driver bench: QEMU ended with status $qemu_status" >&2
  # Killed by a signal other than ours: QEMU's own fault, not the guest's.
  [ "$qemu_status" -le 128 ] || [ "$qemu_status" -eq 143 ] || qemu_crashed=$qemu_status
  status=$(sed -n 's/^vektabench: exit \([0-9]*\).*/\1/p' "$run/console" | tail -1)
  if [ -z "$status" ]; then
    echo "driver bench: the guest did not boot or did not finish (console above)" >&2
    status=1
    return 0
  fi
  echo "=== guest run: $((SECONDS - boot)) s, $(sed -n 's/^vektabench: booted in \(.*\)/booted in \1/p' "$run/console")"
}

# The native bench: the capture library's tests against a real bus at its
# own pace, about 830 frames/s of 29-bit identifiers, looped.
native_guest_script() {
  local replay="$traces/truck-j1939-engine-on.log"
  traffic=(--replay "$replay" --loop)
  cmake --build "$native" -j2 --target vektadriver_tests
  {
    echo "export VEKTABENCH_TRACE='$run/trace' VEKTABENCH_CONTROL=/dev/ttyS1"
    echo "export VEKTABENCH_LINE_RATE_S=${VEKTABENCH_LINE_RATE_S:-60}"
    for kind in vekta trilox; do
      echo "export VEKTABENCH_${kind^^}_USB=1-${usb_port[$kind]} VEKTABENCH_${kind^^}_RECORD='$run/$kind.rec'"
      echo "export VEKTABENCH_${kind^^}_REPLAY='$replay'"
    done
    printf 'exec %q --gtest_color=no' "$native/tests/driver/vektadriver_tests"
    [ $# -eq 0 ] || printf ' %q' "$@"
    echo
  } >"$run/guest.sh"
}

# The Wine bench: the Windows build's tests (built as scripts/wine-test.sh
# builds them) under the host's Wine in the guest, in a prefix of the
# bench's own where COM5 and COM6 are the VEKTA and TRILOX converters.
wine_guest_script() {
  local wine_out="$repo/${VEKTA_WINE_BUILD:-build-wine}"
  local prefix="$out/wine-prefix" frames="$repo/tests/wine/frames.candump"
  traffic=(--replay "$frames" --fast)
  echo "=== Windows capture tests (mingw-w64)"
  cmake -S tests/wine -B "$wine_out/mingw" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake" >/dev/null
  cmake --build "$wine_out/mingw" -j2
  declare -A com=([vekta]=COM5 [trilox]=COM6)
  if [ ! -f "$prefix/system.reg" ]; then
    echo "=== Wine prefix"
    (
      use_wine_prefix "$prefix" "$run/wineboot.out"
      # The ports name links that the guest points at its converters.
      for kind in vekta trilox; do
        wine_port "${com[$kind]}" "/tmp/vektabench-$kind"
      done
      wineserver -w
    )
  fi
  # Lines for the guest's shell, which expands what is quoted here.
  # shellcheck disable=SC2016
  {
    printf 'export WINEPREFIX=%q' "$prefix"
    printf ' %q' "${wine_settings[@]}"
    echo ' HOME=/tmp LANG=C.UTF-8'
    echo "export VEKTABENCH_TRACE='$(windows_path "$run/trace")'"
    echo "export VEKTAMON_TEST_FRAMES='$(windows_path "$frames")'"
    for kind in vekta trilox; do
      # The converter's tty as the driver named it, behind the port's link.
      echo "until tty=\$(ls /sys/bus/usb/devices/1-${usb_port[$kind]}/1-${usb_port[$kind]}:1.0 2>/dev/null | grep -m1 '^ttyUSB'); do sleep 0.1; done"
      echo "ln -sfn /dev/\$tty /tmp/vektabench-$kind"
      echo "ln -sfn /tmp/vektabench-$kind '$prefix/dosdevices/${com[$kind],,}'"
      echo "export VEKTAMON_TEST_${kind^^}_PORT=${com[$kind]} VEKTAMON_TEST_${kind^^}_RECORD='$(windows_path "$run/$kind.rec")'"
    done
    # Wine reads a program whose sections are not page-aligned with single
    # reads, which 9p cuts short at its message size: it runs from a copy.
    printf 'cp %q /tmp/\n' "$wine_out/mingw/vektacapture_wintests.exe"
    # Wine's lingering processes would hold a pipe open: the output goes to a file.
    echo 'started=$(cut -d" " -f1 /proc/uptime)'
    printf 'wine /tmp/vektacapture_wintests.exe --gtest_color=no'
    [ $# -eq 0 ] || printf ' %q' "$@"
    echo ' >/tmp/wine-tests.out 2>&1; status=$?'
    echo 'echo "vektabench: Wine ran the tests from $started s to $(cut -d" " -f1 /proc/uptime) s"'
    echo 'cat /tmp/wine-tests.out'
    echo 'echo "=== where Wine differed from Windows"'
    echo "grep -F '[ WINE     ]' /tmp/wine-tests.out | sort -u"
    echo 'wineserver -k'
    echo 'exit $status'
  } >"$run/guest.sh"
}

# The power cuts and the throttled disk: a line-rate flood whose frames
# carry their running number, logged onto an ext4 disk of the guest's own.
flood_ids=500
flood_frames=20000  # the throttled run's, some 5 s at line rate
# The journal is synced about once a second; the emulated guest's reception
# runs some tenths of a second behind the host's sending when the machine is
# busy, so a cut must keep what the host sent 3 s before it.
recovered_before_cut_s=3
# Power cuts in one run (VEKTA_POWER_CUTS): every other one right after a log
# cut (the guest asks as soon as it sees the cut's file, within some tens of
# milliseconds), the others at a random moment up to one cut pace later.
power_cuts=${VEKTA_POWER_CUTS:-8}
cut_pace_ms=2000
# Each journal flush is a few requests: at two a second it stalls a second or more.
disk_throttle=throttling.iops-total=2
# What is still on its way through the converter when the adapter has sent
# its last frame (seconds).
in_flight_s=2

# A fresh 64 MiB ext4 image.
new_disk() {
  rm -f "$1"
  truncate -s 64M "$1"
  mkfs.ext4 -q -F "$1"
}

# The guest scripts, with lines for the guest's shell, which expands what is
# quoted here. The first lines: the disk mounted at /mnt/disk, the log
# folder on it, the VEKTA converter's tty as the driver named it in tty.
disk_script_start() {
  echo 'set -e'
  echo 'mkdir -p /mnt/disk'
  echo 'mount -t ext4 /dev/vda /mnt/disk'
  echo 'mkdir -p /mnt/disk/logs'
  echo "until tty=\$(ls /sys/bus/usb/devices/1-${usb_port[vekta]}/1-${usb_port[vekta]}:1.0 2>/dev/null | grep -m1 '^ttyUSB'); do sleep 0.1; done"
  echo 'stty -F /dev/ttyS1 raw -echo'
}

# Frames logged once each and in order, as the guest's check said.
frames_logged() {
  sed -n 's/^logcheck: \([0-9]*\) frames logged.*/\1/p' "$run/console"
}

# Boots the guest with the disk given by its drive options, running the
# script NAME.sh; sets status as run_guest does. Called as a plain command,
# as run_guest is.
boot_with_disk() {
  local name=$1 drive=$2
  run="$base/$name"
  mkdir -p "$run"
  guest_disk=(-drive "$drive")
  echo "=== $name"
  run_guest "$base/$name.sh"
  cleanup
  sims=()
}

# Boot N: recovery and the check of what boot N-1's power cut left, then,
# on a fresh log folder, a capture logging onto the disk, its log cut every
# cut_pace_ms, until the power cut MS ms after the second cut's file is
# there (so that logs, a sealed journal and the journal hold lines). The
# last boot only checks.
# shellcheck disable=SC2016
power_cut_script() {
  local check=$1 ms=$2
  disk_script_start
  if [ "$check" = check ]; then
    check_script_lines
    echo 'rm -rf /mnt/disk/logs'
    echo 'mkdir /mnt/disk/logs'
    echo 'sync'
  fi
  if [ -z "$ms" ]; then
    echo 'umount /mnt/disk'
    return 0
  fi
  echo 'echo "watch vekta 0" >/dev/ttyS1'
  printf '%q /mnt/disk/logs/ "/dev/$tty" %d &\n' "$native/tests/capture/vektacapture_program" "$cut_pace_ms"
  echo 'until [ "$(ls /mnt/disk/logs/*.log 2>/dev/null | wc -l)" -ge 2 ]; do sleep 0.01; done'
  echo "echo \"powercut vekta $ms\" >/dev/ttyS1"
  echo 'wait'
}

# The check of a folder that a cut capture left: recovery, then the frames.
check_script_lines() {
  printf '%q /mnt/disk/logs/ %d\n' "$native/tests/capture/vektacapture_logcheck" "$flood_ids"
}

check_script() {
  check_script_lines
  echo 'sync'
  echo 'umount /mnt/disk'
}

# shellcheck disable=SC2016
# The throttled run: all the adapter's frames captured, then a clean end.
throttled_capture_script() {
  disk_script_start
  echo 'started=$(cut -d" " -f1 /proc/uptime)'
  echo 'dd if=/dev/zero of=/mnt/disk/probe bs=4096 count=1 conv=fdatasync 2>/dev/null'
  echo 'echo "vektabench: a 4 KiB write and its flush took $(awk "BEGIN { print $(cut -d" " -f1 /proc/uptime) - $started }") s"'
  printf '%q /mnt/disk/logs/ "/dev/$tty" 1300 &\n' "$native/tests/capture/vektacapture_program"
  echo 'capture=$!'
  echo 'echo "sent vekta 0" >/dev/ttyS1'
  echo 'read -r answer kind </dev/ttyS1'
  echo "sleep $in_flight_s"
  echo 'kill -TERM $capture'
  echo 'wait $capture'
  check_script
}

# The moment of power cut I (from 1): MS ms after the second log cut's file.
cut_moment_ms() {
  if [ $(($1 % 2)) -eq 1 ]; then
    echo 0
  else
    echo $((RANDOM % cut_pace_ms))
  fi
}

# After the boot that checked cut I: its figure; fails when the check did,
# or when frames sent recovered_before_cut_s before the cut are missing.
# Sets worst_lost.
check_power_cut() {
  local i=$1 cut_file=$2 sent_before sent_at_cut ms logged reached recovered lost
  read -r sent_before sent_at_cut ms <"$cut_file"
  logged=$(frames_logged)
  logged=${logged:-0}
  # The log's own loss is what lies past its last frame; a gap that the line
  # left while the port was opened again is reception's, said apart.
  reached=$(sed -n 's/^logcheck: .* up to frame \([0-9]*\);.*/\1/p' "$run/console")
  reached=${reached:-0}
  recovered=$(sed -n 's/^logcheck: .* \([0-9]*\) recovered logs.*/\1/p' "$run/console")
  lost=$((sent_at_cut - reached))
  [ "$lost" -le "$worst_lost" ] || worst_lost=$lost
  echo "[ FIGURE   ] power cut $i, $ms ms after a log cut's file appeared: $sent_at_cut frames sent," \
    "$logged logged and recovered ($recovered recovered logs), $lost lines lost" \
    "($(awk -v n="$lost" 'BEGIN { printf "%.2f", n / 5952 }') s of line rate; $((reached - logged)) lost by reception across reopens)"
  if [ "$reached" -lt "$sent_before" ]; then
    echo "driver bench: after power cut $i, frames sent up to $recovered_before_cut_s s before it are missing" >&2
    return 1
  fi
}

# Sets status: 0 when every cut and the throttled run held.
powercut_bench() {
  cmake --build "$native" -j2 --target vektacapture_program vektacapture_logcheck
  base=$run
  traffic=(--flood "$flood_ids" --throttle)
  new_disk "$base/cut.img"
  local i ms check=fresh worst_lost=0 moments=()
  status=0
  for ((i = 1; i <= power_cuts + 1; i++)); do
    ms=
    [ "$i" -gt "$power_cuts" ] || ms=$(cut_moment_ms "$i")
    power_cut_script "$check" "$ms" >"$base/boot$i.sh"
    boot_with_disk "boot$i" "file=$base/cut.img,if=virtio,format=raw"
    [ "$status" -eq 0 ] || return 0
    if [ "$check" = check ]; then
      status=1
      check_power_cut $((i - 1)) "$base/boot$((i - 1))/cut" || return 0
      status=0
    fi
    if [ -n "$ms" ] && [ ! -e "$run/cut" ]; then
      echo "driver bench: boot $i ended without its power cut" >&2
      status=1
      return 0
    fi
    [ -z "$ms" ] || moments+=("$ms")
    check=check
  done
  echo "[ FIGURE   ] power cuts: $power_cuts, at ${moments[*]} ms after a log cut's file appeared;" \
    "worst loss $worst_lost lines ($(awk -v n="$worst_lost" 'BEGIN { printf "%.2f", n / 5952 }') s of line rate)"
  throttled_capture_script >"$base/throttled.sh"
  traffic=(--flood "$flood_ids" --throttle --frames "$flood_frames")
  new_disk "$base/throttled.img"
  boot_with_disk throttled "file=$base/throttled.img,if=virtio,format=raw,$disk_throttle"
  [ "$status" -eq 0 ] || return 0
  local logged
  logged=$(frames_logged)
  logged=${logged:-0}
  echo "[ FIGURE   ] throttled disk ($disk_throttle): $flood_frames frames sent, $logged logged," \
    "$((flood_frames - logged)) lost"
  status=1
  if [ "$logged" -ne "$flood_frames" ]; then
    echo "driver bench: frames were lost with the disk throttled" >&2
    return 0
  fi
  status=0
}

guest_disk=()
declare -A usb_port=([vekta]=1 [trilox]=2)
# The simulator and the bench tests come from this build, e.g. the test
# command's own; by default from one of the bench's.
native=$(realpath -m "${VEKTA_DRIVER_NATIVE:-$out/native}")
run="$out/run-$mode"

prepare_guest
echo "=== simulator"
[ -f "$native/CMakeCache.txt" ] ||
  cmake -S . -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEKTA_WINDOW=OFF >/dev/null
cmake --build "$native" -j2 --target vektasim

# QEMU 7.2 crashes now and then when a converter is pulled: the guest then
# runs once more, said on the output; a second crash fails the bench.
for attempt in 1 2; do
  rm -rf "$run"
  mkdir -p "$run"
  traffic=()
  qemu_crashed=
  case $mode in
    native)
      native_guest_script "$@"
      run_guest "$run/guest.sh"
      ;;
    wine)
      wine_guest_script "$@"
      run_guest "$run/guest.sh"
      ;;
    powercut) powercut_bench ;;
  esac
  cleanup
  sims=()
  if [ -z "$qemu_crashed" ] || [ $attempt -eq 2 ]; then
    break
  fi
  echo "driver bench: QEMU itself crashed (status $qemu_crashed); the guest runs once more" >&2
done
echo "=== driver bench ($mode): exit $status after $((SECONDS - started)) s"
# What failed, for the test command's last line.
rm -f "$out/failed-$mode"
if [ "$status" -ne 0 ]; then
  failed=$(sed -n 's/^\[  FAILED  \] \([^ ,]*\).*/\1/p' "$run/console" 2>/dev/null | sort -u | paste -sd' ' || true)
  echo "${failed:-the whole guest run, console above}" >"$out/failed-$mode"
  echo "driver bench ($mode): FAILED: ${failed:-the whole guest run, console above}"
fi
exit "$status"
