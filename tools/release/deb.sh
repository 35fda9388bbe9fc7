#!/usr/bin/env bash
# One Debian package of a release: builds SOURCE in BUILD for ARCH, amd64
# natively or arm64 with Debian's cross compiler and its arm64 Qt 6, and
# leaves kd7load_VERSION_ARCH.deb in OUT. The programs keep no path of the
# source or the build folder; CPack takes every time in the package from
# SOURCE_DATE_EPOCH, with root as owner, in a fixed order. A cross build
# takes the icon a native build drew (ICON).
# usage: deb.sh SOURCE BUILD ARCH OUT [ICON]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib.sh"
tell_where_stopped "make release ($3)"
src=$(realpath "$1")
build=$(realpath -m "$2")
arch=$3
out=$(realpath -m "$4")
[ -n "${SOURCE_DATE_EPOCH:-}" ] || die "deb.sh: SOURCE_DATE_EPOCH is not set (make release sets it from the commit)"

options=()
if [ "$arch" = arm64 ]; then
  options=(-DCMAKE_TOOLCHAIN_FILE="$here/aarch64-toolchain.cmake" -DKD7_ICON_PNG="${5:?deb.sh: the arm64 build needs the icon a native build drew}")
  # dpkg-shlibdeps, run by CPack, then reads the dependencies of the arm64 libraries.
  export DEB_HOST_ARCH=$arch
fi
rm -rf "$build"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKD7_WARNINGS_AS_ERRORS=ON \
  -DBUILD_TESTING=OFF -DCPACK_DEBIAN_PACKAGE_ARCHITECTURE="$arch" \
  -DKD7_REPRODUCIBLE=ON "${options[@]}" >/dev/null
cmake --build "$build" -j "${JOBS:-2}"
(cd "$build" && cpack -G DEB >/dev/null)
mkdir -p "$out"
cp "$build"/kd7load_*_"$arch".deb "$out/"
