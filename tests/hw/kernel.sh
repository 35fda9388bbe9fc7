#!/usr/bin/env bash
# A Debian kernel for make hwtest's virtual machine, with its modules: the
# one Debian SUITE's linux-image-amd64 depends on (bookworm: Debian 12's own;
# bookworm-backports: the newer one Debian 12 offers), fetched with
# apt-get download into CACHE once, unpacked there, never installed. The
# suite's package lists come through an apt configuration of the cache's
# own, from the archive the machine's sources name, so the machine's apt
# set-up is not changed. Prints the unpacked package's folder.
# usage: kernel.sh CACHE SUITE
set -euo pipefail
. "$(dirname "$0")/../../tools/lib.sh"
cache=$(realpath -m "${1:?usage: kernel.sh CACHE SUITE}")
suite=${2:?usage: kernel.sh CACHE SUITE}
private_apt "$cache/apt-$suite" deb "$suite" amd64

# The package linux-image-amd64 depends on, or nothing when the lists name none.
kernel_name() {
  { apt-cache "${apt_options[@]}" depends linux-image-amd64 2>/dev/null || true; } \
    | awk '/Depends: linux-image-/ && !name {name = $2} END {print name}'
}
# Kept from an earlier run when the lists still name it; else the lists are
# fetched afresh, as the archive serves a newer kernel in time.
package=$(kernel_name)
if [ -z "$package" ] || [ ! -d "$cache/$package" ]; then
  apt-get "${apt_options[@]}" update -qq >&2 || die "hwtest: cannot fetch $suite's package lists"
  package=$(kernel_name)
  [ -n "$package" ] || die "hwtest: Debian's $suite names no linux-image-amd64"
fi
if [ ! -d "$cache/$package" ]; then
  (cd "$cache" && apt-get "${apt_options[@]}" download -qq "$package" >/dev/null 2>&1) \
    || die "hwtest: cannot fetch $package from $suite"
  dpkg-deb -x "$cache/$package"_*.deb "$cache/$package"
  rm -f "$cache/$package"_*.deb
fi
echo "$cache/$package"
