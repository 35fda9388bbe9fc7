#!/usr/bin/env bash
# make test-release: each package of a release tried where it is installed,
# with apt-get into a clean chroot: amd64 in Debian 12, 13 and testing, arm64
# in Debian 12 through qemu-user. There kd7load-cli downloads a program to
# kd7sim (on this side of a pseudo-terminal), which must hold it exactly, and
# kd7load draws its window and runs until it is ended. The base systems are
# made once (mmdebstrap) in ~/.cache/kd7load/chroots; each run works on an
# overlay, and every mount goes at exit. Logs, pictures: test-release/ by RELEASE.
# usage: test-release.sh RELEASE BUILD
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib.sh"
release=$(realpath "${1:?usage: test-release.sh RELEASE BUILD}")
build=$(realpath "${2:?usage: test-release.sh RELEASE BUILD}")
cache=${KD7_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kd7load}/chroots
[ "$(id -u)" -eq 0 ] || die "test-release: chroots and mounts need root: run it as root"
version=$(sed -n 's/^project(kd7load VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")
"$here/../install-deps.sh" --with-extras mmdebstrap arch-test qemu-user-static binfmt-support
start_work
logs=$(dirname "$release")/test-release
rm -rf "$logs" && mkdir -p "$logs"

# Mounts under the work folder go at exit; were one to stay, the folder stays too.
unmount_all() {
  findmnt -rn -o TARGET | grep "^$work/" | sort -r | xargs -r umount -l
  ! findmnt -rn -o TARGET | grep -q "^$work/" || { keep_work=keep; echo "mounts stay under $work" >&2; }
}
at_exit unmount_all

# qemu-user runs the arm64 programs. Where no init system mounted binfmt_misc,
# it is mounted here; what this run turned on, it turns off again at exit.
binfmt=/proc/sys/fs/binfmt_misc
undo_binfmt=()
[ -e $binfmt/status ] || { mount -t binfmt_misc binfmt_misc $binfmt; undo_binfmt+=("umount $binfmt"); }
[ -e $binfmt/qemu-aarch64 ] || { update-binfmts --enable qemu-aarch64; undo_binfmt=("update-binfmts --disable qemu-aarch64" "${undo_binfmt[@]}"); }
restore_binfmt() { local undo; for undo in "${undo_binfmt[@]}"; do $undo || true; done; }
at_exit restore_binfmt

# base SUITE ARCH: makes the suite's base system (essential packages and apt)
# once. The testing archive's Release may be past its validity date here:
# that chroot's apt alone is told not to mind.
base() {
  local dir=$cache/$1-$2 options=() mirror
  [ ! -d "$dir" ] || return 0
  [ "$1" != forky ] || options=(--aptopt='Acquire::Check-Valid-Until "false"')
  mirror=$(machine_archive)
  rm -rf "$dir.new" && mkdir -p "$cache"
  mmdebstrap --quiet --variant=apt --architectures="$2" "${options[@]}" "$1" "$dir.new" "$mirror"
  mv "$dir.new" "$dir"
}

# download_in ROOT: kd7load-cli in the chroot to kd7sim outside; the device
# must have stored every word, then the extra 0 frame.
download_in() {
  local sim port
  "$build/tools/kd7sim" --once --words "$1/tmp/words.txt" >"$1/tmp/port" &
  sim=$!
  trap "kill $sim 2>/dev/null || true" EXIT
  await 100 [ -s "$1/tmp/port" ] || return 1
  port=$(head -n 1 "$1/tmp/port")
  bounded 300 chroot "$1" kd7load-cli -p "$port" /tmp/program.OBJ || return 1
  await 300 stopped "$sim" || return 1
  diff <(cat "$1/tmp/program.OBJ"; echo 0) "$1/tmp/words.txt"
}

# window_in ROOT NAME: kd7load on Qt's minimal platform, which saves what the
# window drew, until the picture is whole, then ended by TERM; on its standard
# error nothing but the platform's own lines.
window_in() {
  local kd7load status=0
  install -d -m 700 "$1/tmp/session"
  chroot "$1" env -C /tmp XDG_RUNTIME_DIR=/tmp/session QT_QPA_PLATFORM=minimal:enable_fonts QT_DEBUG_BACKINGSTORE=1 \
    kd7load 2>"$1/tmp/window.log" &
  kd7load=$!
  trap "kill $kd7load 2>/dev/null || true" EXIT
  await 1200 eval "tail -c 12 '$1/tmp/output0000.png' 2>/dev/null | grep -q IEND" || { cat "$1/tmp/window.log"; return 1; }
  kill -TERM "$kd7load"
  wait "$kd7load" || status=$?
  cp "$1/tmp/output0000.png" "$logs/window-$2.png"
  ! grep -vE '^(QMinimalBackingStore|This plugin does not support propagateSizeHints)' "$1/tmp/window.log" || return 1
  [ "$status" -eq 143 ]
}

# try_in SUITE ARCH: the package installed into a fresh overlay of the suite's
# base system, with the apt cache kept beside the base, and tried there.
try_in() {
  local name=$1-$2 deb=kd7load_${version}_$2.deb root=$work/$1-$2/root
  base "$1" "$2"
  mkdir -p "$root" "$work/$name/upper" "$work/$name/work" "$cache/debs-$name/partial"
  mount -t overlay overlay -o "lowerdir=$cache/$name,upperdir=$work/$name/upper,workdir=$work/$name/work" "$root"
  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev"
  mount --bind "$cache/debs-$name" "$root/var/cache/apt/archives"
  cp /etc/resolv.conf "$root/etc/"
  cp "$release/$deb" "$root/tmp/"
  seq 0 65 65000 >"$root/tmp/program.OBJ"
  check "$name-install" chroot "$root" sh -c "apt-get update -q && cd /tmp &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q ./$deb"
  check "$name-download" download_in "$root"
  check "$name-window" window_in "$root" "$name"
  umount -R "$root"
}

check sha256sums sh -c "cd '$release' && sha256sum --strict -c SHA256SUMS"
for arch in amd64 arm64; do
  check "lintian-$arch" lintian --fail-on error,warning "$release/kd7load_${version}_$arch.deb"
done
try_in bookworm amd64
try_in trixie amd64
try_in forky amd64
try_in bookworm arm64
# The Windows zip under Wine as Windows 7, from a folder with Chinese and spaces.
zip=$release/kd7load-$version-windows.zip
[ ! -e "$zip" ] || check windows-zip-under-wine env KD7_WINE_ONLY_ZIP="$zip" \
  "$here/../windows/test.sh" "$(dirname "$release")/release-windows" "$build"
tally test-release
