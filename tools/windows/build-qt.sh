#!/usr/bin/env bash
# Builds Qt 5.15 for 32-bit Windows (qtbase: Core, Gui, Widgets, Test; the
# windows and offscreen platforms; the Windows styles) from Debian's own
# source with Debian's MinGW-w64, once, and keeps it in the user's cache
# folder keyed by Qt's version and the options, so later runs take it from
# there. Qt 5.15 runs on Windows 7 SP1 to 11, 32- and 64-bit; a 32-bit
# program runs on both.
# The same source and options give the same DLLs on any machine: no build
# folder in them (-ffile-prefix-map, and a fixed prefix as Windows would see
# it, installed elsewhere with -extprefix), no link time (--no-insert-timestamp),
# resource times from the source package's date. Debian's source package, as
# built (the .dsc with its tarballs and patches), stays in the prefix's
# debian-source folder, for whoever receives the DLLs.
# Prints the install prefix on its last line.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib.sh"
jobs=${JOBS:-2}
mingw=i686-w64-mingw32

tell_where_stopped build-qt

"$here/../install-deps.sh" --with-extras "g++-mingw-w64-i686-posix" "binutils-mingw-w64-i686" \
  dpkg-dev python3 perl debian-archive-keyring >&2 || die "build-qt: cannot install the cross compilers"

cache=${KD7_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kd7load}

# Debian's source of Qt 5.15, the version Debian 12 keeps patched. Its source
# lists come through an apt configuration of the cache's own, so the
# machine's apt set-up is not changed; the archive is the one its sources name.
private_apt "$cache/apt-src" deb-src "bookworm bookworm-updates"
source_version() {
  { apt-cache "${apt_options[@]}" showsrc qtbase-opensource-src 2>/dev/null || true; } \
    | awk '/^Version: / {print $2}' | sort -V | tail -n1
}
version=$(source_version)
if [ -z "$version" ]; then
  apt-get "${apt_options[@]}" update -qq >&2 || die "build-qt: cannot fetch Debian's source lists from $(machine_archive)"
  version=$(source_version)
fi
[ -n "$version" ] || die "build-qt: Debian serves no source of qtbase-opensource-src"

# What Qt is built without: nothing the tool uses (networking, SQL, XML,
# printing, OpenGL, the Direct2D copy of the windows platform), and what
# Debian's source cannot give (the tablet support needs wintab, which it
# leaves out). The bundled zlib, PCRE2, libpng, FreeType (the offscreen
# platform draws text with it) and HarfBuzz are built in. Qt 5.15's own
# headers ask for Windows 7 (0x0601) and no later.
off=(network sql xml concurrent printer vulkan tabletevent jpeg gif ico sessionmanager direct2d)
configure=(-xplatform win32-g++ -device-option CROSS_COMPILE=$mingw-
           -release -shared -opensource -confirm-license -nomake examples -nomake tests
           -no-opengl -no-dbus -no-icu -no-zstd -no-openssl -no-sql-sqlite
           -qt-zlib -qt-libpng -qt-pcre -qt-freetype -qt-harfbuzz -no-libjpeg)
for f in "${off[@]}"; do configure+=("-no-feature-$f"); done

# Options for reproducible bytes; the build folder is mapped to a fixed name.
reproducible=(-prefix /kd7load-qt5 'QMAKE_CFLAGS+=-ffile-prefix-map=@WORK@=/qt5'
              'QMAKE_CXXFLAGS+=-ffile-prefix-map=@WORK@=/qt5' 'QMAKE_LFLAGS+=-Wl,--no-insert-timestamp')
configure+=("${reproducible[@]}")

key=$(echo "${configure[*]}" | sha256sum | cut -c1-12)
prefix="$cache/qt5-win32-${version//[^A-Za-z0-9.]/_}-$key"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work="$cache/qt5-win32-work"
rm -rf "$work"
mkdir -p "$work/bin"
mkdir -p "$work/debian-source"
(cd "$work/debian-source" && apt-get "${apt_options[@]}" source --download-only -qq "qtbase-opensource-src=$version" >&2) \
  || die "build-qt: cannot fetch the source of qtbase-opensource-src $version"
(cd "$work" && dpkg-source -x debian-source/*.dsc >&2)
src=$(find "$work" -maxdepth 1 -type d -name 'qtbase-opensource-src-*' | head -n1)
export SOURCE_DATE_EPOCH QT_RCC_SOURCE_DATE_OVERRIDE
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l "$src/debian/changelog" -STimestamp)
QT_RCC_SOURCE_DATE_OVERRIDE=$SOURCE_DATE_EPOCH
configure=("${configure[@]//@WORK@/$work}")

# The compilers by their plain names, in the posix-threads flavour whatever
# Debian's alternatives point at (the win32 flavour lacks std::thread).
for tool in gcc g++; do ln -s "/usr/bin/$mingw-$tool-posix" "$work/bin/$mingw-$tool"; done

mkdir -p "$work/build"
(cd "$work/build" && PATH="$work/bin:$PATH" MAKEFLAGS="-j$jobs" "$src/configure" -extprefix "$prefix" "${configure[@]}" >&2)
PATH="$work/bin:$PATH" make -C "$work/build" -j "$jobs" >&2
PATH="$work/bin:$PATH" make -C "$work/build" install >&2
mv "$work/debian-source" "$prefix/debian-source"
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
