#!/usr/bin/env bash
# Builds Qt for Windows (qtbase: Core, Gui, Widgets, Test; the windows and
# offscreen platforms; the Windows styles) from Debian's own source with
# Debian's MinGW-w64, once, and keeps it in the user's cache folder keyed by
# Qt's version and this script, so later runs take it from there.
# Prints the install prefix on its last line.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib.sh"
jobs=${JOBS:-2}

"$here/../install-deps.sh" --with-extras g++-mingw-w64-x86-64-posix dpkg-dev ninja-build cmake qt6-base-dev >&2

version=$(dpkg-query -W -f='${Version}' qt6-base-dev)

# What Qt is built without: nothing the tool uses, and what Debian's source
# or MinGW cannot give. The bundled copies of zlib, PCRE2, libpng, FreeType
# and HarfBuzz are built in.
off=(opengl vulkan sql dbus network printsupport concurrent xml icu zstd jpeg tabletevent
     sql_sqlite harfbuzz_system system_zlib system_pcre2 system_png system_freetype)
configure=(-DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF
           -DQT_BUILD_TESTS=OFF -DINPUT_opengl=no)
for f in "${off[@]}"; do configure+=("-DFEATURE_$f=OFF"); done

# The cache is keyed by Qt's version, the options and the toolchain.
key=$( (echo "${configure[*]}"; cat "$here/mingw-toolchain.cmake") | sha256sum | cut -c1-12)
cache=${KD7_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kd7load}
prefix="$cache/qt-windows-${version//[^A-Za-z0-9.]/_}-$key"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# Debian's source of the very Qt the host tools (moc, rcc, uic) come from.
# (grep reads every line: with -q it would stop early, and apt-cache's broken
# pipe would count as not found.)
if ! apt-cache showsrc qt6-base 2>/dev/null | grep "^Version: $version" >/dev/null; then
  as_root tee /etc/apt/sources.list.d/kd7load-src.sources >/dev/null <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  as_root apt-get update -qq
fi
work="$cache/qt-windows-work"
rm -rf "$work"
mkdir -p "$work"
(cd "$work" && apt-get source -qq "qt6-base=$version" >&2)
src=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)

cmake -S "$src" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  "${configure[@]}" >&2
cmake --build "$work/build" -j "$jobs" >&2
cmake --install "$work/build" >&2
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
