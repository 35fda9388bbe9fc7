#!/usr/bin/env bash
# The guest's side of make hwtest, run by the virtual machine's init on this
# machine's root. The adapter is chosen in the port window's list, where it
# must be port 2 (the UART is port 1, the 8250 driver's placeholder ports
# take no number), while nothing opens a placeholder; the real window
# downloads 4096 words through it while the adapter's latency timer is
# watched. With SCENARIOS "all" besides: another program holds the adapter
# and the window must refuse it and send nothing; 4096 words go through the
# UART; the cable is pulled mid-download, its port number then opens
# nothing, and once it is plugged back in the next download arrives exact.
# Each step leaves its output and exit status in /mnt, the host's results
# folder.
# usage: guest.sh BUILD SCENARIOS
set -euo pipefail
. "$(dirname "$0")/../../tools/lib.sh"
comport="${1:?usage: guest.sh BUILD SCENARIOS}/tests/tst_comport"
scenarios=${2:?usage: guest.sh BUILD SCENARIOS}
latency=/sys/bus/usb-serial/devices/ttyUSB0/latency_timer
# /tmp stays this machine's (a build may live there), read-only: scratch space is on /run.
mkdir -p /run/tmp /run/home /run/user /run/lock
export TMPDIR=/run/tmp HOME=/run/home XDG_RUNTIME_DIR=/run/user
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 KD7_COMPORT_OUT=/mnt KD7_WORDS=4096

# step NAME SECONDS TEST [VARIABLE=VALUE...]: one of tst_comport's tests, with
# its output in /mnt/NAME.log and its exit status in /mnt/NAME.status.
step() {
  local name=$1 seconds=$2 test=$3 status=0
  shift 3
  bounded "$seconds" env "$@" "$comport" "$test" >"/mnt/$name.log" 2>&1 || status=$?
  echo "$status" >"/mnt/$name.status"
}

# The bytes the window sent in the last download, kept under the line's name.
keep_expected() { mv /mnt/answering-expected.bin "/mnt/$1-expected.bin" || true; }

# The holder keeps the adapter until the refused download is over, however
# long the emulated machine takes to start it.
if [ "$scenarios" = all ]; then
  timeout 300 flock /dev/ttyUSB0 sh -c 'touch /run/held; while [ ! -e /run/release ]; do sleep 0.1; done' &
  holder=$!
  await 300 [ -e /run/held ] || echo "guest: nothing held ttyUSB0 after 30 s"
  step busy 60 missingPort KD7_REFUSED_DEVICE=/dev/ttyUSB0
  touch /run/release
  wait "$holder" || echo "guest: the holder of ttyUSB0 ended with $?"
fi

# The 8250 driver's placeholders: ports that stand for no UART (type 0).
for tty in /sys/class/tty/ttyS*; do
  [ "$(cat "$tty/type")" != 0 ] || echo "/dev/${tty##*/}"
done >/mnt/placeholders
mapfile -t placeholders </mnt/placeholders
inotifywait -m -e open --format '%w' "${placeholders[@]}" >/mnt/placeholder-opens 2>/run/watch.log &
watcher=$!
await 100 grep -q 'Watches established' /run/watch.log || echo "guest: no watch on the placeholders after 10 s"

cat "$latency" >/mnt/latency-before || true
(while cat "$latency"; do sleep 0.2; done >/mnt/latency-during) &
sampler=$!
step ftdi 300 downloadsThroughTheAnsweringPort KD7_ANSWERING_DEVICE=/dev/ttyUSB0 KD7_ADAPTER_PORT=2
kill "$sampler" 2>/dev/null || true
keep_expected ftdi
cat "$latency" >/mnt/latency-after || true
[ "$scenarios" = all ] || { kill "$watcher"; exit 0; }
step uart 300 downloadsThroughTheAnsweringPort KD7_ANSWERING_DEVICE=/dev/ttyS1 KD7_REPORTS_TRANSMITTER=1
keep_expected uart
kill "$watcher"

step pull 120 cablePulled KD7_PULL_AT=100 KD7_ANSWERING_DEVICE=/dev/ttyUSB0
await 100 [ ! -e /dev/ttyUSB0 ] || echo "guest: ttyUSB0 was still there 10 s after the pull"
# The adapter is gone: its port number, as the operator chose it, opens nothing.
step absent 60 missingPort KD7_REFUSED_PORT="$(cat /mnt/adapter-port || true)"
echo plug >/mnt/plug-now
await 200 [ -e /dev/ttyUSB0 ] || echo "guest: no ttyUSB0 20 s after the adapter was plugged back in"
sleep 1   # a moment for the driver to finish with the new port before it is opened
step replug 300 downloadsThroughTheAnsweringPort KD7_WORDS=1000 KD7_ANSWERING_DEVICE=/dev/ttyUSB0
