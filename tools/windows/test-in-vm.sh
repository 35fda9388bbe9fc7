#!/usr/bin/env bash
# make test-windows where this machine's kernel runs no 32-bit programs
# (some virtual machines' kernels do not), so that 32-bit Wine cannot start:
# the same checks run in a small virtual machine (QEMU, software
# emulation, which runs them) booting Debian 12's kernel with this
# machine's root, read-only under a writable overlay in its memory; only
# the Windows build's folder OUT is written through. What test.sh prints
# shows here as it goes; its exit status is this script's.
# usage: test-in-vm.sh OUT HOST_BUILD
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/lib.sh"
tell_where_stopped "test-windows (virtual machine)"
out=$(realpath "${1:?usage: test-in-vm.sh OUT HOST_BUILD}")
host=$(realpath "${2:?usage: test-in-vm.sh OUT HOST_BUILD}")
"$root/tools/install-deps.sh" --with-extras qemu-system-x86 busybox-static kmod xz-utils
vm="$out/vm"
rm -rf "$vm"
mkdir -p "$vm"

kernel=$("$root/tests/hw/kernel.sh" "$host/hwtest-cache" bookworm)
vmlinuz=("$kernel"/boot/vmlinuz-*)
"$root/tests/hw/initrd.sh" "$kernel" "$vm/initrd.gz" "$root/tools/windows/vm-init" \
  virtio_pci 9pnet_virtio 9p overlay virtio_console
# Wine cannot run DLLs from the shared folder (Qt's fail to initialise), so
# the programs it runs are copied into the machine's memory first; the
# pictures the checks take go back to OUT.
# Their input is nothing: Wine starts no second process (the uninstaller's
# copy of itself) while its input is the machine's console.
cat >"$vm/command" <<COMMAND
exec </dev/null
export KD7_IN_VM=1 LANG=C.UTF-8 HOME=/root PATH='$PATH' KD7_WINE_ONLY_ZIP='${KD7_WINE_ONLY_ZIP:-}'
for folder in tests stage; do
  cp -a '$out/'\$folder /tmp/\$folder && mount --bind /tmp/\$folder '$out/'\$folder
done
cd '$root' && tools/windows/test.sh '$out' '$host'
status=\$?
cp '$out'/*.png /mnt/ 2>/dev/null
exit \$status
COMMAND
: >"$vm/log"

echo "test-windows: this machine's kernel runs no 32-bit programs; Wine runs in a virtual machine"
# Wine gives each serial port it finds the next COM number the checks do
# not map themselves: one UART, as on the build machines, so COM3 is a port
# and COM4 none. The two Wine prefixes and the programs take about 2 GB of
# memory.
qemu-system-x86_64 -accel tcg,thread=multi -m 6144 -smp 2 -display none -serial none -no-reboot \
  -kernel "${vmlinuz[0]}" -initrd "$vm/initrd.gz" -append "console=hvc0 quiet panic=-1 8250.nr_uarts=1" \
  -device virtio-serial-pci -chardev file,id=console,path="$vm/console.log" -device virtconsole,chardev=console \
  -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap \
  -virtfs local,path="$out",mount_tag=out,security_model=none,multidevs=remap \
  </dev/null >"$vm/qemu.log" 2>&1 &
qemu=$!
tail -n +1 -f --pid="$qemu" "$vm/log" &
follower=$!
status=0
bounded 3600 tail -f /dev/null --pid="$qemu" || { kill "$qemu" 2>/dev/null; status=1; }
wait "$follower" 2>/dev/null || true
[ -f "$vm/status" ] || { echo "test-windows: the virtual machine did not run the tests"; tail -n 20 "$vm/console.log" "$vm/qemu.log"; exit 1; }
[ "$status" -eq 0 ] || exit "$status"
exit "$(cat "$vm/status")"
