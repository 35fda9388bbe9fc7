#!/usr/bin/env bash
# make hwtest's initramfs: busybox, the drivers the virtual machine loads
# (from KERNEL, the unpacked kernel package, each after what it needs) and
# init, which runs the guest's side of the test. Written to OUTPUT.
# usage: initrd.sh KERNEL OUTPUT
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/lib.sh"
kernel=${1:?usage: initrd.sh KERNEL OUTPUT}
output=${2:?usage: initrd.sh KERNEL OUTPUT}
drivers=(virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci netfs fscache
         9pnet 9pnet_virtio 9p usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio)

start_work
tree="$work/tree"
mkdir -p "$tree"/{bin,modules,proc,sys,dev,host}
cp /bin/busybox "$tree/bin/"
for applet in sh mount insmod chroot poweroff sleep; do ln -s busybox "$tree/bin/$applet"; done
modules=("$kernel"/lib/modules/*/kernel)
for driver in "${drivers[@]}"; do
  found=$(find "${modules[0]}" -name "$driver.ko" -print -quit)
  [ -n "$found" ] || die "hwtest: the kernel in $kernel has no $driver.ko"
  cp "$found" "$tree/modules/"
done
printf '%s\n' "${drivers[@]}" >"$tree/modules/order"
cp "$here/init" "$tree/init"
(cd "$tree" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1) >"$output"
