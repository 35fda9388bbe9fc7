#!/usr/bin/env bash
# make hwtest: the real window downloading over real Linux serial drivers. A
# small virtual machine (QEMU, software emulation) boots a Debian kernel with
# an emulated FTDI USB adapter (ftdi_sio) and a 16550 UART (8250) as the
# second COM port, the first standing empty; it shares this machine's root
# filesystem read-only and runs guest.sh there, while kd7sim answers on this
# side of each emulated line. It boots Debian 12's own kernel, with every
# scenario, and the newer one of bookworm-backports, where the 8250 ports
# hang under serial-base, with the port-numbering scenario; both with the
# causes that stop a port from opening. report.sh prints
# one line per scenario and a tally for each kernel.
# usage: hwtest.sh BUILD
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/lib.sh"
build=$(realpath "${1:?usage: hwtest.sh BUILD}")
"$here/../../tools/install-deps.sh" --with-extras qemu-system-x86 busybox-static socat kmod xz-utils inotify-tools
start_work ${KEEP_HW:+keep}

# run_vm KERNEL SCENARIOS RESULTS: boots the kernel, runs the guest's side
# and leaves what it and the devices recorded in RESULTS; false when the
# virtual machine did not run the test.
run_vm() {
  local kernel=$1 scenarios=$2 vm=$3 vmlinuz qemu sims lines=()
  vmlinuz=("$kernel"/boot/vmlinuz-*)
  mkdir -p "$vm/out"
  chmod 777 "$vm/out"   # the guest's operator is not root
  # This machine's root over 9p, the USB host and the FTDI adapter's driver, and the console.
  "$here/initrd.sh" "$kernel" "$vm/initrd.gz" "$here/init" virtio_pci 9pnet_virtio 9p xhci_pci ftdi_sio virtio_console
  # What the virtual machine's init runs, in this machine's root.
  printf 'exec %q %q %q\n' "$here/guest.sh" "$build" "$scenarios" >"$vm/out/guest.command"

  # This side of each emulated line: a socket QEMU connects to, a
  # pseudo-terminal behind it, and kd7sim on that.
  for line in ftdi uart; do
    socat UNIX-LISTEN:"$vm/$line.sock" PTY,link="$vm/$line.pty",raw,echo=0 &
    lines+=($!)
  done
  started "${lines[@]}"
  await 100 [ -S "$vm/ftdi.sock" -a -S "$vm/uart.sock" ] || die "hwtest: socat opened no sockets in 10 s"
  # The console is a virtio one: no UART stands at the first COM port.
  qemu-system-x86_64 -accel tcg -m 1024 -smp 1 -display none -serial none -no-reboot \
    -kernel "${vmlinuz[0]}" -initrd "$vm/initrd.gz" -append "console=hvc0 quiet panic=-1" \
    -device virtio-serial-pci -chardev file,id=console,path="$vm/console.log" -device virtconsole,chardev=console \
    -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap \
    -virtfs local,path="$vm/out",mount_tag=out,security_model=none \
    -device qemu-xhci -chardev socket,id=ftdi,path="$vm/ftdi.sock" -device usb-serial,id=adapter,chardev=ftdi \
    -monitor unix:"$vm/monitor.sock",server,nowait \
    -chardev socket,id=uart,path="$vm/uart.sock" -device isa-serial,chardev=uart,index=1 \
    -trace 'usb_serial_set_*' -trace serial_update_parameters -D "$vm/trace.log" \
    </dev/null >"$vm/qemu.log" 2>&1 &
  qemu=$!
  started "$qemu"
  await 300 [ -e "$vm/ftdi.pty" -a -e "$vm/uart.pty" ] || die "hwtest: QEMU connected to no line in 30 s"
  # Each device serves every download until it is told to stop: the window's,
  # then kd7load-cli's through both lines at once.
  "$build/tools/kd7sim" --device "$vm/ftdi.pty" --transcript "$vm/ftdi.bin" --words "$vm/ftdi.words" \
    >/dev/null 2>&1 &
  sims=($!)
  "$build/tools/kd7sim" --device "$vm/uart.pty" --transcript "$vm/uart.bin" >/dev/null 2>&1 &
  sims+=($!)
  started "${sims[@]}"

  # The cable pulled and plugged back in, through QEMU's monitor, when the guest asks.
  monitor() { echo "$1" | socat - UNIX-CONNECT:"$vm/monitor.sock" >/dev/null 2>&1; }
  pull_and_replug() {
    await 3000 [ -e "$vm/out/pull-now" ] || { echo "hwtest: the guest asked for no cable pull in 300 s"; return; }
    monitor "device_del adapter" || echo "hwtest: QEMU's monitor did not take device_del"
    await 3000 [ -e "$vm/out/plug-now" ] || { echo "hwtest: the guest asked for no replug in 300 s"; return; }
    monitor "device_add usb-serial,id=adapter,chardev=ftdi" || echo "hwtest: QEMU's monitor did not take device_add"
  }
  if [ "$scenarios" = all ]; then
    pull_and_replug &
    started $!
  fi

  await 6000 stopped "$qemu" || echo "hwtest: the virtual machine still ran after 600 s"
  end_processes "$qemu" "${sims[@]}" "${lines[@]}"   # the devices save what they received as they end
  [ -f "$vm/out/status" ] && return 0
  echo "hwtest: the virtual machine did not run the test"
  tail -n 20 "$vm/console.log" "$vm/qemu.log"
  return 1
}

failed_kernels=0
for suite in bookworm bookworm-backports; do
  kernel=$("$here/kernel.sh" "$build/hwtest-cache" "$suite")
  scenarios=numbering
  [ "$suite" != bookworm ] || scenarios=all
  vm="$work/$suite"
  # A boot that fails is tried once more.
  run_vm "$kernel" "$scenarios" "$vm" || { echo "hwtest: booting again"; rm -rf "$vm"; run_vm "$kernel" "$scenarios" "$vm"; } \
    || true
  "$here/report.sh" "$vm/out" "$vm" "${kernel##*/linux-image-}" "$scenarios" || failed_kernels=$((failed_kernels + 1))
done
[ "$failed_kernels" -eq 0 ]
