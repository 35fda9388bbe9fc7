#!/usr/bin/env bash
# The initramfs of a small test machine (make hwtest's, and make
# test-windows' where this machine runs no 32-bit programs): busybox, the
# drivers MODULE... (from KERNEL, the unpacked kernel package, each after the
# modules it depends on, unpacked where the kernel keeps them compressed;
# none that is built in) in the order to load them, and INIT, the first
# process, which runs the guest's side of the test. Written to OUTPUT.
# usage: initrd.sh KERNEL OUTPUT INIT MODULE...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/lib.sh"
usage="usage: initrd.sh KERNEL OUTPUT INIT MODULE..."
kernel=${1:?$usage}
output=${2:?$usage}
init=${3:?$usage}
shift 3
wanted=("$@")

PATH=$PATH:/usr/sbin:/sbin   # modinfo, outside root's own path
start_work
tree="$work/tree"
mkdir -p "$tree"/{bin,modules,proc,sys,dev,host}
cp /bin/busybox "$tree/bin/"
for applet in sh mount insmod chroot poweroff sleep; do ln -s busybox "$tree/bin/$applet"; done
modules=("$kernel"/lib/modules/*)
dir=${modules[0]}
order=()

# A module's name with - and _ alike, as the kernel takes them.
pattern() { echo "${1//[-_]/[-_]}"; }
# add MODULE: adds it after what it depends on, unless it is there already or built in.
add() {
  local name=${1//-/_} file dependency
  [[ " ${order[*]} " != *" $name "* ]] || return 0
  ! grep -Eq "/$(pattern "$name")\.ko\$" "$dir/modules.builtin" || return 0
  file=$(find "$dir/kernel" -regextype egrep -regex ".*/$(pattern "$name")\.ko(\.xz)?" -print -quit)
  [ -n "$file" ] || die "hwtest: the kernel in $kernel has no $name module"
  for dependency in $(modinfo -F depends "$file" | tr ',' ' '); do add "$dependency"; done
  case $file in
    *.xz) xz -dc "$file" >"$tree/modules/$name.ko" ;;
    *) cp "$file" "$tree/modules/$name.ko" ;;
  esac
  order+=("$name")
}
for module in "${wanted[@]}"; do add "$module"; done
printf '%s\n' "${order[@]}" >"$tree/modules/order"
cp "$init" "$tree/init"
(cd "$tree" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1) >"$output"
