#!/usr/bin/env bash
# make hwtest: the real window downloading over real Linux serial drivers. A
# small virtual machine (QEMU, software emulation) boots Debian's own kernel
# with an emulated FTDI USB adapter (ftdi_sio) and a 16550 UART (8250); it
# shares this machine's root filesystem read-only and runs tst_comport there,
# while kd7sim answers on this side of each emulated line. One line per
# scenario, then the tally.
# usage: hwtest.sh BUILD
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:?usage: hwtest.sh BUILD}")
"$root/tools/install-deps.sh" --with-extras qemu-system-x86 busybox-static socat || exit 1

cache="$build/hwtest-cache"
work=$(mktemp -d)
out="$work/out"
mkdir -p "$cache" "$out"
passed=0
failed=0
finish() { pkill -P $$ 2>/dev/null; rm -rf "$work"; }
trap finish EXIT
[ -n "${KEEP_HW:-}" ] && trap - EXIT && echo "hwtest: keeping $work"

# await TENTHS TEST...: runs TEST each tenth of a second until it holds, at most TENTHS times.
await() { local n=$1; shift; for _ in $(seq 1 "$n"); do "$@" && return 0; sleep 0.1; done; return 1; }

report() {   # report NAME OK [WHY]
  if [ "$2" = yes ]; then passed=$((passed + 1)); echo "PASS  $1"
  else failed=$((failed + 1)); echo "FAIL  $1${3:+: $3}"; fi
}

# Debian's kernel and its modules, unpacked, never installed; kept between runs.
kernel_name() { apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/{print $2; exit}'; }
kernel_package=$(kernel_name)
if [ -z "$kernel_package" ]; then   # the package lists were never fetched, or were cleaned away
  $([ "$(id -u)" -ne 0 ] && echo sudo) apt-get update -qq
  kernel_package=$(kernel_name)
fi
[ -n "$kernel_package" ] || { echo "hwtest: Debian's archive names no linux-image-amd64"; exit 1; }
if [ ! -d "$cache/$kernel_package" ]; then
  (cd "$cache" && apt-get download -qq "$kernel_package" 2>/dev/null) || { echo "hwtest: cannot fetch $kernel_package"; exit 1; }
  dpkg-deb -x "$cache/$kernel_package"_*.deb "$cache/$kernel_package"
fi
kroot="$cache/$kernel_package"
vmlinuz=$(ls "$kroot"/boot/vmlinuz-*)
modules=$(ls -d "$kroot"/lib/modules/*)/kernel

# A busybox initramfs: load the drivers (each after what it needs), mount the
# shared root and the results folder, run the guest's script, power off.
load_order="virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci netfs fscache"
load_order+=" 9pnet 9pnet_virtio 9p usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio"
initrd="$work/initrd"
mkdir -p "$initrd"/{bin,modules,proc,sys,dev,host}
cp /bin/busybox "$initrd/bin/"
for applet in sh mount insmod chroot poweroff sleep; do ln -s busybox "$initrd/bin/$applet"; done
for m in $load_order; do cp "$(find "$modules" -name "$m.ko" | head -n1)" "$initrd/modules/"; done
cat >"$initrd/init" <<INIT
#!/bin/sh
mount -t proc proc /proc; mount -t sysfs sys /sys; mount -t devtmpfs dev /dev
for m in $load_order; do insmod /modules/\$m.ko; done
mount -t 9p -o trans=virtio,version=9p2000.L,ro host /host
mount -t 9p -o trans=virtio,version=9p2000.L out /host/mnt
mount -t proc proc /host/proc; mount -t sysfs sys /host/sys; mount -t devtmpfs dev /host/dev
mount -t tmpfs run /host/run
sleep 1
chroot /host /bin/sh /mnt/guest.sh >/host/mnt/guest.log 2>&1
echo \$? >/host/mnt/status
poweroff -f
INIT
chmod +x "$initrd/init"
(cd "$initrd" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1 >"$work/initrd.gz")

# Inside: another program holds the adapter, and the window must refuse it
# and send nothing; then the real window downloads 4096 words through each
# driver, while the adapter's latency timer is watched.
cat >"$out/guest.sh" <<GUEST
$(declare -f await)
# /tmp stays this machine's (a build may live there), read-only: scratch space is on /run.
mkdir -p /run/tmp /run/home /run/user /run/lock
export TMPDIR=/run/tmp HOME=/run/home XDG_RUNTIME_DIR=/run/user
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 KD7_COMPORT_OUT=/mnt KD7_WORDS=4096
comport="$build/tests/tst_comport"
latency=/sys/bus/usb-serial/devices/ttyUSB0/latency_timer
# The holder keeps the adapter until the refused download is over, however
# long the emulated machine takes to start it.
flock /dev/ttyUSB0 sh -c 'touch /run/held; while [ ! -e /run/release ]; do sleep 0.1; done' &
holder=\$!
await 300 [ -e /run/held ]
KD7_REFUSED_DEVICE=/dev/ttyUSB0 timeout 60 "\$comport" missingPort >/mnt/busy.log 2>&1
echo \$? >/mnt/busy.status
touch /run/release
wait \$holder
cat \$latency >/mnt/latency-before
for line in ftdi:/dev/ttyUSB0 uart:/dev/ttyS1; do
  name=\${line%%:*}
  [ \$name = ftdi ] && (while :; do cat \$latency; sleep 0.2; done >/mnt/latency-during) & sampler=\$!
  KD7_ANSWERING_DEVICE=\${line#*:} timeout 300 "\$comport" downloadsThroughTheAnsweringPort \
    >/mnt/\$name.log 2>&1
  echo \$? >/mnt/\$name.status
  kill \$sampler 2>/dev/null
  mv /mnt/answering-expected.bin /mnt/\$name-expected.bin 2>/dev/null
done
cat \$latency >/mnt/latency-after
KD7_PULL_AT=100 KD7_ANSWERING_DEVICE=/dev/ttyUSB0 timeout 120 "\$comport" cablePulled >/mnt/pull.log 2>&1
echo \$? >/mnt/pull.status
await 100 [ ! -e /dev/ttyUSB0 ]
# The adapter is gone: its port number, as the operator chose it, opens nothing.
KD7_REFUSED_PORT=\$(cat /mnt/adapter-port) timeout 60 "\$comport" missingPort >/mnt/absent.log 2>&1
echo \$? >/mnt/absent.status
echo plug >/mnt/plug-now
await 200 [ -e /dev/ttyUSB0 ]
sleep 1
KD7_WORDS=1000 KD7_ANSWERING_DEVICE=/dev/ttyUSB0 timeout 300 "\$comport" downloadsThroughTheAnsweringPort \
  >/mnt/replug.log 2>&1
echo \$? >/mnt/replug.status
GUEST

# This side of each emulated line: a socket QEMU connects to, a pseudo-terminal
# behind it, and kd7sim on that.
for line in ftdi uart; do
  socat UNIX-LISTEN:"$work/$line.sock" PTY,link="$work/$line.pty",raw,echo=0 &
done
await 100 [ -S "$work/ftdi.sock" -a -S "$work/uart.sock" ]
boot() {
  timeout 600 qemu-system-x86_64 -accel tcg -m 1024 -smp 1 -nographic -no-reboot \
    -kernel "$vmlinuz" -initrd "$work/initrd.gz" -append "console=ttyS0,115200 quiet panic=-1" \
    -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap \
    -virtfs local,path="$out",mount_tag=out,security_model=none \
    -device qemu-xhci -chardev socket,id=ftdi,path="$work/ftdi.sock" -device usb-serial,id=adapter,chardev=ftdi \
    -monitor unix:"$work/monitor.sock",server,nowait \
    -chardev socket,id=uart,path="$work/uart.sock" -device isa-serial,chardev=uart,index=1 \
    -trace 'usb_serial_set_*' -trace serial_update_parameters -D "$work/trace.log" \
    </dev/null >"$work/console.log" 2>&1
}
boot &
qemu=$!
await 100 [ -e "$work/ftdi.pty" -a -e "$work/uart.pty" ]
# The adapter's device serves every download until it is told to stop; the
# UART's the first download only.
"$build/tools/kd7sim" --device "$work/ftdi.pty" --transcript "$work/ftdi.bin" --words "$work/ftdi.words" \
  >/dev/null 2>&1 &
ftdi_sim=$!
"$build/tools/kd7sim" --device "$work/uart.pty" --once --transcript "$work/uart.bin" >/dev/null 2>&1 &

# The cable pulled and plugged back in, when the guest asks.
monitor() { echo "$1" | socat - UNIX-CONNECT:"$work/monitor.sock" >/dev/null 2>&1; }
(
  await 3000 [ -e "$out/pull-now" ] && monitor "device_del adapter"
  await 3000 [ -e "$out/plug-now" ] && monitor "device_add usb-serial,id=adapter,chardev=ftdi"
) &
wait "$qemu"
kill -TERM "$ftdi_sim" 2>/dev/null
wait "$ftdi_sim" 2>/dev/null

if [ ! -f "$out/status" ]; then
  echo "hwtest: the virtual machine did not run the test"
  tail -n 20 "$work/console.log"
  if [ -z "${KD7_HWTEST_RETRIED:-}" ]; then   # a boot that fails is tried once more
    echo "hwtest: booting again"
    finish
    trap - EXIT
    KD7_HWTEST_RETRIED=1 exec "$0" "$@"
  fi
fi
# Why a step in the guest failed, or nothing when it passed.
failure() {   # failure STEP
  local status
  status=$(cat "$out/$1.status" 2>/dev/null)
  [ "$status" = 0 ] && return
  echo "exit ${status:-none}: $(grep -m1 -A2 FAIL "$out/$1.log" 2>/dev/null | tr '\n' ' ' || true)$(tail -n1 "$out/$1.log" 2>/dev/null)"
}
busy_why=$(failure busy)
report port-busy "$([ -z "$busy_why" ] && echo yes || echo no)" "$busy_why"
for line in ftdi uart; do
  why=$(failure "$line")
  # the transcript from its start: the refused download before it sent nothing
  [ -z "$why" ] && ! cmp -s -n "$(stat -c %s "$out/$line-expected.bin" 2>/dev/null || echo 1)" \
    "$out/$line-expected.bin" "$work/$line.bin" && why="the device received other bytes"
  report "$line-download" "$([ -z "$why" ] && echo yes || echo no)" "$why"
done
end=$(tail -c 4 "$work/uart.bin" 2>/dev/null | od -An -tx1 | tr -d ' \n')
report end-marker "$([ "$end" = 02454e44 ] && echo yes || echo no)" "the UART's last bytes were $end"
before=$(cat "$out/latency-before" 2>/dev/null)
during=$(sort -u "$out/latency-during" 2>/dev/null | tr '\n' ' ')
after=$(cat "$out/latency-after" 2>/dev/null)
latency_ok=no
grep -qx 1 "$out/latency-during" 2>/dev/null && [ -n "$before" ] && [ "$after" = "$before" ] && latency_ok=yes
report low-latency "$latency_ok" "latency_timer before $before, during $during, after $after"
pull_why=$(failure pull)
report cable-pull "$([ -z "$pull_why" ] && echo yes || echo no)" \
  "${pull_why:-传输字数 showed $(cat "$out/pulled-label4" 2>/dev/null)}"
absent_why=$(failure absent)
report no-adapter "$([ -z "$absent_why" ] && echo yes || echo no)" "$absent_why"
replug_why=$(failure replug)
[ -z "$replug_why" ] && ! cmp -s "$out/answering-words.txt" "$work/ftdi.words" && replug_why="the device stored other words"
report replug "$([ -z "$replug_why" ] && echo yes || echo no)" "$replug_why"

# The console runs at 115200, so 9600 on a UART can only be the tool's.
settings_ok=yes
grep -q "usb_serial_set_baud .*baud rate 9600" "$work/trace.log" || settings_ok=no
grep -q "usb_serial_set_data .*parity N, data bits 8, stop bits 1" "$work/trace.log" || settings_ok=no
grep -q "serial_update_parameters baudrate=9600 parity='N' data=8 stop=1" "$work/trace.log" || settings_ok=no
report line-settings "$settings_ok" "$(grep -E 'usb_serial_set|update_parameters' "$work/trace.log" | sort -u | tr '\n' ' ')"

echo "hwtest: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
