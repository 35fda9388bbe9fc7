#!/usr/bin/env bash
# Installs what make test-windows runs the Windows edition with: 32-bit Wine
# (Debian's i386 packages) and the virtual display's tools. Exits 3 when
# Debian's mirror is what stops it: a mirror in the middle of a sync can
# serve an i386 package list whose size or hash its signed Release file does
# not give, apt leaves that list out, and no i386 library at the version of
# its amd64 twin (a security update) can then be installed. Nothing weaker
# than the signed lists is tried.
# usage: install-wine.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/lib.sh"
packages=(wine wine32:i386 wine64 xvfb xauth x11-utils x11-apps imagemagick)

dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
# What the install said is kept: apt's words, not its status, tell a mirror's
# mismatched list from any other failure.
said=$(mktemp)
trap 'rm -f "$said"' EXIT
"$root/tools/install-deps.sh" --with-extras "${packages[@]}" 2>&1 | tee "$said" && exit 0
if grep -qE 'binary-i386/Packages.*(unexpected size|Hash Sum mismatch)' "$said"; then
  echo "install-wine: Debian's mirror serves an i386 package list its signed Release file does not match" >&2
  exit 3
fi
exit 1
