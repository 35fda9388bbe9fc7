#!/usr/bin/env bash
# The guest's side of make hwtest, run by the virtual machine's init on this
# machine's root. The adapter is chosen in the port window's list, where it
# must be port 2 (the UART is port 1, the 8250 driver's placeholder ports
# take no number), while nothing opens a placeholder; the real window
# downloads 4096 words through it while the adapter's latency timer is
# watched, run by an operator (the user nobody) whose login has the group
# dialout. Before that, each cause that stops the port from opening, with
# the message box's and the tooltips' word for it: the operator not in
# dialout, then added to it but not logged in again; another program
# holding the adapter's port; a program that took the adapter through usbfs,
# as brltty does, so that it has no port. With SCENARIOS "all" besides: another program holds the adapter
# and the window must refuse it and send nothing; 4096 words go through the
# UART; the cable is pulled mid-download, its port number then opens
# nothing, and once it is plugged back in the next download arrives exact.
# Each step leaves its output and exit status in /mnt, the host's results
# folder.
# usage: guest.sh BUILD SCENARIOS
set -euo pipefail
. "$(dirname "$0")/../../tools/lib.sh"
build=${1:?usage: guest.sh BUILD SCENARIOS}
# The operator must reach the programs even where the build lies in a home
# only its owner may enter (a clone in /root): through /run/build.
mkdir -p /run/build && mount --bind "$build" /run/build && build=/run/build
comport="$build/tests/tst_comport"
scenarios=${2:?usage: guest.sh BUILD SCENARIOS}
latency=/sys/bus/usb-serial/devices/ttyUSB0/latency_timer
# /tmp stays this machine's (a build may live there), read-only: scratch space is on /run.
mkdir -p /run/tmp /run/home /run/user /run/lock
chmod 1777 /run/tmp /run/home
export TMPDIR=/run/tmp HOME=/run/home XDG_RUNTIME_DIR=/run/user
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 KD7_COMPORT_OUT=/mnt KD7_WORDS=4096

# step NAME SECONDS TEST [VARIABLE=VALUE...]: one of tst_comport's tests, with
# its output in /mnt/NAME.log and its exit status in /mnt/NAME.status; run
# as the user the array `as` names, or as root when it is empty. The cause a
# refused port was given is kept in /mnt/NAME-cause.txt.
as=()
step() {
  local name=$1 seconds=$2 test=$3 status=0
  shift 3
  bounded "$seconds" "${as[@]}" env "$@" "$comport" "$test" >"/mnt/$name.log" 2>&1 || status=$?
  echo "$status" >"/mnt/$name.status"
  mv /mnt/refused-cause.txt "/mnt/$name-cause.txt" 2>/dev/null || true
}

# The operator: nobody, with the groups of a login (none, or dialout).
operator() { as=(setpriv --reuid=nobody --regid=nogroup "$@" env XDG_RUNTIME_DIR=/run/operator); }
mkdir -p /run/operator && chown nobody:nogroup /run/operator && chmod 700 /run/operator
# ttyUSB0 as udev leaves it on Debian: for the group dialout alone.
for_dialout() { chgrp dialout /dev/ttyUSB0 && chmod 660 /dev/ttyUSB0; }

# The bytes the window sent in the last download, kept under the line's name.
keep_expected() { mv /mnt/answering-expected.bin "/mnt/$1-expected.bin" || true; }

# kd7load-cli sends the window's last program through the UART and the
# adapter at once, by their port numbers 1 and 2; report.sh compares the end
# of each line's transcript with the window's bytes for that program.
# EXPECTED is what the window sent.
cli_on_both_lines() {
  local cli
  cli="$(dirname "$comport")/../cli/kd7load-cli"
  head -n -1 /mnt/answering-words.txt >/run/tmp/cli.OBJ   # less the frame past the words
  cp "$1" /mnt/cli-expected.bin
  bounded 60 "$cli" --list >/mnt/cli-list.txt 2>&1 || true
  local status=0
  bounded 300 "$cli" --json -p 1 -p 2 /run/tmp/cli.OBJ >/mnt/cli.json 2>/mnt/cli.log || status=$?
  echo "$status" >/mnt/cli.status
}

# The operator may not open the adapter's port, until the next login.
for_dialout
refused="KD7_REFUSED_DEVICE=/dev/ttyUSB0"
operator --clear-groups
says="把用户加入 dialout 组: sudo usermod -aG dialout nobody, 然后注销并重新登录."
step no-permission 60 missingPort "$refused" KD7_REFUSED_SAYS="$says" KD7_TOOLTIP_SAYS="$says"
sed 's/^dialout:\([^:]*:[^:]*\):$/dialout:\1:nobody/; s/^dialout:\([^:]*:[^:]*\):\(..*\)$/dialout:\1:\2,nobody/' \
  /etc/group >/run/group
mount --bind /run/group /etc/group
says="用户 nobody 已在 dialout 组里, 但这次登录还没有这个组: 注销并重新登录就好."
step new-login 60 missingPort "$refused" KD7_REFUSED_SAYS="$says" KD7_TOOLTIP_SAYS="$says"
umount /etc/group
as=()

# Another program holds the adapter's port until the refused download is
# over, however long the emulated machine takes to start it: flock, whose
# command tells its parent's process id.
timeout 300 flock /dev/ttyUSB0 sh -c 'echo $PPID >/run/held; while [ ! -e /run/release ]; do sleep 0.1; done' &
holder=$!
await 300 [ -s /run/held ] || echo "guest: nothing held ttyUSB0 after 30 s"
says="/dev/ttyUSB0 正被 flock (进程 $(cat /run/held)"
step busy 60 missingPort "$refused" KD7_REFUSED_SAYS="$says" KD7_TOOLTIP_SAYS="$says"
touch /run/release
wait "$holder" || echo "guest: the holder of ttyUSB0 ended with $?"

# A program takes the adapter through usbfs, as brltty does: ttyUSB0 goes,
# and port 2 opens nothing. Once the program has let go and the driver has
# the adapter again, ttyUSB0 is back.
adapter=$(readlink -f /sys/bus/usb-serial/devices/ttyUSB0/..)
usb_device=$(printf '/dev/bus/usb/%03d/%03d' "$(cat "$adapter/../busnum")" "$(cat "$adapter/../devnum")")
"$build/tests/usbclaim" "$usb_device" "$(cat "$adapter/bInterfaceNumber")" >/run/claim.out 2>&1 &
claimer=$!
await 100 grep -q claimed /run/claim.out || echo "guest: usbclaim took nothing in 10 s: $(cat /run/claim.out)"
await 100 [ ! -e /dev/ttyUSB0 ] || echo "guest: ttyUSB0 was still there 10 s after usbclaim took the adapter"
says="USB 串口适配器 FTDI ($(cat "$adapter/../product")) 插着, 但被 usbclaim (进程 $claimer) 占用, 没有串口"
step usbfs 60 missingPort KD7_REFUSED_PORT=2 KD7_REFUSED_SAYS="$says" KD7_TOOLTIP_SAYS="$says"
kill "$claimer"
wait "$claimer" || echo "guest: usbclaim ended with $?"
await 200 [ -e /dev/ttyUSB0 ] || echo "guest: no ttyUSB0 20 s after usbclaim let go of the adapter"
for_dialout
sleep 1   # a moment for the driver to finish with the new port before it is opened

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
# The operator has logged in again since joining dialout.
operator --groups dialout
step ftdi 300 downloadsThroughTheAnsweringPort KD7_ANSWERING_DEVICE=/dev/ttyUSB0 KD7_ADAPTER_PORT=2
as=()
kill "$sampler" 2>/dev/null || true
keep_expected ftdi
cat "$latency" >/mnt/latency-after || true
[ "$scenarios" = all ] || { kill "$watcher"; cli_on_both_lines /mnt/ftdi-expected.bin; exit 0; }
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
cli_on_both_lines /mnt/answering-expected.bin
