#!/usr/bin/env bash
# make release: every file of a release in build/release/, for the version in
# CMakeLists.txt, built from the commit checked out (as its source archive,
# unpacked, so uncommitted changes stay out): the Debian packages for amd64
# and arm64, the source, the Windows installer and zip with the source of the
# Qt they were built from, SHA256SUMS over them all, and the version's entry
# of CHANGELOG.md as RELEASE-NOTES.md. The same commit gives the same bytes in
# any folder at any time: times come from the commit (SOURCE_DATE_EPOCH).
# KD7_RELEASE_WINDOWS=no leaves the Windows files out, and says so.
# usage: release.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/lib.sh"
tell_where_stopped "make release"
cd "$root"

# Debian's arm64 Qt 6 beside the machine's own, for the arm64 package.
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  echo "make release: adding arm64 to dpkg's architectures, for Debian's arm64 Qt 6 beside this machine's"
  as_root dpkg --add-architecture arm64
fi
tools/install-deps.sh --with-extras g++-aarch64-linux-gnu qt6-base-dev:arm64 qt6-serialport-dev:arm64

version=$(sed -n 's/^project(kd7load VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
commit=$(git rev-parse HEAD)
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C.UTF-8
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
umask 022
[ -z "$(git status --porcelain --untracked-files=no)" ] \
  || echo "make release: uncommitted changes are left out; the release is built from commit ${commit:0:12}"

out=build/release
src=$root/build/release-src/kd7load-$version
rm -rf "$out" build/release-src
mkdir -p "$out" build/release-src
git -c tar.umask=0022 -c core.autocrlf=false archive --format=tar --prefix="kd7load-$version/" "$commit" \
  | gzip -9n >"$out/kd7load-$version.tar.gz"
tar -xzf "$out/kd7load-$version.tar.gz" -C build/release-src

# One version throughout: the changelog's newest, the Debian package's, the program's and the installer's.
newest=$(sed -n 's/^## \[\([^]]*\)\].*/\1/p' "$src/CHANGELOG.md" | head -n 1)
debian=$(dpkg-parsechangelog -l "$src/packaging/changelog" -S Version)
[ "$newest" = "$version" ] && [ "$debian" = "$version" ] \
  || die "make release: the versions disagree: CHANGELOG.md's newest is $newest, packaging/changelog's $debian, CMakeLists.txt's (the program's and the installer's) $version. Give all three the release's version, commit, and run it again."
awk -v head="## [$version]" 'index($0, "## [") == 1 { if (on) exit; on = index($0, head) == 1 } on' \
  "$src/CHANGELOG.md" >"$out/RELEASE-NOTES.md"

tools/release/deb.sh "$src" build/release-amd64 amd64 "$out"
tools/release/deb.sh "$src" build/release-arm64 arm64 "$out" build/release-amd64/icons/org.kd7lab.kd7load.png

if [ "${KD7_RELEASE_WINDOWS:-yes}" = no ]; then
  echo "make release: KD7_RELEASE_WINDOWS=no: the Windows installer, the zip and Qt's source are left out"
else
  "$src/tools/windows/build.sh" build/release-windows build/release-amd64
  cp "build/release-windows/kd7load-$version-setup.exe" "build/release-windows/kd7load-$version-windows.zip" "$out/"
  cp -r build/release-windows/qt-source "$out/"
fi

(cd "$out" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs -d '\n' sha256sum >SHA256SUMS)
echo "release $version (commit ${commit:0:12}) in $out:"
(cd "$out" && sed 's/^/  /' SHA256SUMS)
