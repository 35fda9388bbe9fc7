#!/usr/bin/env bash
# make hwtest: the real window downloading over real Linux serial drivers. A
# small virtual machine (QEMU, software emulation) boots Debian's own kernel
# with an emulated FTDI USB adapter (ftdi_sio) and a 16550 UART (8250); it
# shares this machine's root filesystem read-only and runs guest.sh there,
# while kd7sim answers on this side of each emulated line. report.sh then
# prints one line per scenario and the tally.
# usage: hwtest.sh BUILD
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/lib.sh"
build=$(realpath "${1:?usage: hwtest.sh BUILD}")
"$here/../../tools/install-deps.sh" --with-extras qemu-system-x86 busybox-static socat

kernel=$("$here/kernel.sh" "$build/hwtest-cache")
vmlinuz=("$kernel"/boot/vmlinuz-*)
start_work ${KEEP_HW:+keep}
out="$work/out"
mkdir "$out"
"$here/initrd.sh" "$kernel" "$work/initrd.gz"
# What the virtual machine's init runs, in this machine's root.
printf 'exec %q %q\n' "$here/guest.sh" "$build" >"$out/guest.command"

# This side of each emulated line: a socket QEMU connects to, a pseudo-terminal
# behind it, and kd7sim on that.
for line in ftdi uart; do
  socat UNIX-LISTEN:"$work/$line.sock" PTY,link="$work/$line.pty",raw,echo=0 &
  started $!
done
await 100 [ -S "$work/ftdi.sock" -a -S "$work/uart.sock" ] || die "hwtest: socat opened no sockets in 10 s"
qemu-system-x86_64 -accel tcg -m 1024 -smp 1 -nographic -no-reboot \
  -kernel "${vmlinuz[0]}" -initrd "$work/initrd.gz" -append "console=ttyS0,115200 quiet panic=-1" \
  -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap \
  -virtfs local,path="$out",mount_tag=out,security_model=none \
  -device qemu-xhci -chardev socket,id=ftdi,path="$work/ftdi.sock" -device usb-serial,id=adapter,chardev=ftdi \
  -monitor unix:"$work/monitor.sock",server,nowait \
  -chardev socket,id=uart,path="$work/uart.sock" -device isa-serial,chardev=uart,index=1 \
  -trace 'usb_serial_set_*' -trace serial_update_parameters -D "$work/trace.log" \
  </dev/null >"$work/console.log" 2>&1 &
qemu=$!
started "$qemu"
await 300 [ -e "$work/ftdi.pty" -a -e "$work/uart.pty" ] || die "hwtest: QEMU connected to no line in 30 s"
# The adapter's device serves every download until it is told to stop; the
# UART's the first download only.
"$build/tools/kd7sim" --device "$work/ftdi.pty" --transcript "$work/ftdi.bin" --words "$work/ftdi.words" \
  >/dev/null 2>&1 &
sims=($!)
"$build/tools/kd7sim" --device "$work/uart.pty" --once --transcript "$work/uart.bin" >/dev/null 2>&1 &
sims+=($!)
started "${sims[@]}"

# The cable pulled and plugged back in, through QEMU's monitor, when the guest asks.
monitor() { echo "$1" | socat - UNIX-CONNECT:"$work/monitor.sock" >/dev/null 2>&1; }
pull_and_replug() {
  await 3000 [ -e "$out/pull-now" ] || { echo "hwtest: the guest asked for no cable pull in 300 s"; return; }
  monitor "device_del adapter" || echo "hwtest: QEMU's monitor did not take device_del"
  await 3000 [ -e "$out/plug-now" ] || { echo "hwtest: the guest asked for no replug in 300 s"; return; }
  monitor "device_add usb-serial,id=adapter,chardev=ftdi" || echo "hwtest: QEMU's monitor did not take device_add"
}
pull_and_replug &
started $!

await 6000 stopped "$qemu" || echo "hwtest: the virtual machine still ran after 600 s"
end_processes "$qemu" "${sims[@]}"   # the devices save what they received as they end

if [ ! -f "$out/status" ]; then
  echo "hwtest: the virtual machine did not run the test"
  tail -n 20 "$work/console.log"
  if [ -z "${KD7_HWTEST_RETRIED:-}" ]; then   # a boot that fails is tried once more
    echo "hwtest: booting again"
    clean_up
    KD7_HWTEST_RETRIED=1 exec "$0" "$@"
  fi
fi
"$here/report.sh" "$out" "$work"
