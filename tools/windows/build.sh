#!/usr/bin/env bash
# make windows: cross-builds kd7load.exe and kd7load-cli.exe for 32-bit Windows (and the test
# programs that run under Wine) with Qt 5.15 for Windows from the cache,
# gathers the program with the libraries and plugins it loads, and makes the
# installer OUT/kd7load-VERSION-setup.exe: one program and one installer for
# Windows 7 SP1 to 11, 32- and 64-bit. The same files, unpacked and run where
# they lie, are OUT/kd7load-VERSION-windows.zip; the source of the Qt they
# carry, as built, is in OUT/qt-source.
# The same commit gives the same bytes on any machine: times are the
# commit's (SOURCE_DATE_EPOCH), no build folder is compiled in, the linker
# writes no time stamp, and the archives list their files in one order.
# usage: build.sh OUT HOST_BUILD
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/lib.sh"
tell_where_stopped "make windows"
out=$(realpath -m "${1:?usage: build.sh OUT HOST_BUILD}")
host=$(realpath -m "${2:?usage: build.sh OUT HOST_BUILD}")
jobs=${JOBS:-2}
mingw=i686-w64-mingw32

"$root/tools/install-deps.sh" --with-extras nsis binutils-mingw-w64-i686 g++-mingw-w64-i686-posix
qt=$("$root/tools/windows/build-qt.sh" | tail -n1)
version=$(sed -n 's/^project(kd7load VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
# The commit's time; a source tree from git archive has it as its files' time.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null \
  || stat -c %Y "$root/CMakeLists.txt")}

# The icon, drawn on the host by the same code as the window's.
mkdir -p "$out"
cmake --build "$host" --target kd7iconexport >/dev/null
"$host/tools/kd7iconexport" 32 "$out/kd7load.ico"

cmake -S "$root" -B "$out/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/tools/windows/mingw-toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$qt" \
  -DKD7_WINDOWS_ICON="$out/kd7load.ico" -DKD7_WARNINGS_AS_ERRORS=ON -DKD7_REPRODUCIBLE=ON >/dev/null
cmake --build "$out/build" -j "$jobs" --target kd7load kd7load-cli kd7guide tst_objectfile tst_downloadprocedure tst_portrules tst_comport \
  tst_windowsdesk

dll_dirs=("$qt/bin" "/usr/lib/gcc/$mingw/12-posix" "/usr/$mingw/lib")

# Copies into DIR every DLL that the programs and libraries in DIR load,
# found among Qt's and MinGW's; Windows' own are left to Windows.
gather_dlls() {
  local dir=$1 added=1
  while [ "$added" -eq 1 ]; do
    added=0
    for dll in $(find "$dir" \( -iname '*.exe' -o -iname '*.dll' \) -print0 | xargs -0 -r "$mingw-objdump" -p \
                 | sed -n 's/^\s*DLL Name: //p' | sort -u); do
      [ -e "$dir/$dll" ] && continue
      for d in "${dll_dirs[@]}"; do
        if [ -e "$d/$dll" ]; then cp "$d/$dll" "$dir/"; added=1; break; fi
      done
    done
  done
}

stage="$out/stage"
rm -rf "$stage"
mkdir -p "$stage/platforms" "$stage/styles"
cp "$out/build/kd7load.exe" "$out/build/cli/kd7load-cli.exe" "$out/kd7load.ico" "$out/build/guide/guide.zh_CN.html" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
gather_dlls "$stage"
find "$stage" \( -iname '*.exe' -o -iname '*.dll' \) -print0 | xargs -0 "$mingw-strip" --strip-unneeded
/usr/bin/python3 "$root/tools/windows/notices.py" "$qt/debian-source" "$stage/licenses"
rm -rf "$out/qt-source"
cp -r "$qt/debian-source" "$out/qt-source"

# The test programs beside the same libraries, with the offscreen platform.
tests="$out/tests"
rm -rf "$tests"
cp -r "$stage" "$tests"
cp "$qt/plugins/platforms/qoffscreen.dll" "$tests/platforms/"
for t in tst_objectfile tst_downloadprocedure tst_portrules tst_comport tst_windowsdesk; do
  cp "$out/build/tests/$t.exe" "$tests/"
done
gather_dlls "$tests"

# Every file the installer and the zip hold carries the commit's time.
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
setup="$out/kd7load-$version-setup.exe"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$setup" "$root/packaging/windows/kd7load.nsi"
echo "windows: $setup ($(du -h "$setup" | cut -f1)); installs $(du -sh "$stage" | cut -f1)"
zip="$out/kd7load-$version-windows.zip"
/usr/bin/python3 "$root/tools/windows/portable-zip.py" "$stage" "kd7load-$version-windows" "$zip"
echo "windows: $zip ($(du -h "$zip" | cut -f1)), runs where it is unpacked"
