#!/usr/bin/env bash
# Debian's own kernel for make hwtest's virtual machine, with its modules:
# fetched with apt-get download into CACHE once, unpacked there, never
# installed. Prints the unpacked package's folder.
# usage: kernel.sh CACHE
set -euo pipefail
. "$(dirname "$0")/../../tools/lib.sh"
cache=${1:?usage: kernel.sh CACHE}
mkdir -p "$cache"

# The package linux-image-amd64 depends on, or nothing when the lists name none.
kernel_name() {
  { apt-cache depends linux-image-amd64 2>/dev/null || true; } \
    | awk '/Depends: linux-image-/ && !name {name = $2} END {print name}'
}
package=$(kernel_name)
if [ -z "$package" ]; then   # the package lists were never fetched, or were cleaned away
  as_root apt-get update -qq >&2
  package=$(kernel_name)
fi
[ -n "$package" ] || die "hwtest: Debian's archive names no linux-image-amd64"
if [ ! -d "$cache/$package" ]; then
  (cd "$cache" && apt-get download -qq "$package" >/dev/null 2>&1) || die "hwtest: cannot fetch $package"
  dpkg-deb -x "$cache/$package"_*.deb "$cache/$package"
fi
echo "$cache/$package"
