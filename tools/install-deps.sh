#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing kd7load need,
# and only those that are missing, so a second run does nothing.
# usage: install-deps.sh [--fuzz] [--with-extras PACKAGE...], the options in any order
set -euo pipefail
. "$(dirname "$0")/lib.sh"

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-serialport-dev qt6-translations-l10n
  libgl-dev
  fonts-noto-cjk fonts-lxgw-wenkai
  xvfb xauth
  dpkg-dev desktop-file-utils file lintian appstream
  python3-markdown
)
while [ $# -gt 0 ]; do
  case $1 in
    # make fuzz: clang with libFuzzer and the sanitizer runtimes (make test's
    # sanitizer build uses g++, whose runtimes come with it).
    --fuzz) packages+=(clang libclang-rt-14-dev); shift ;;
    # What one command needs besides: every name up to the next option.
    --with-extras)
      shift
      while [ $# -gt 0 ] && [[ $1 != --* ]]; do packages+=("$1"); shift; done ;;
    *) die "usage: install-deps.sh [--fuzz] [--with-extras PACKAGE...]" ;;
  esac
done

# A name without an architecture means the machine's own (or an
# architecture-independent package), also where another architecture's copy
# is installed beside it (multiarch: arm64's Qt for the release, i386's Wine).
native=$(dpkg --print-architecture)
missing=()
for p in "${packages[@]}"; do
  arch="($native|all)"
  [[ $p != *:* ]] || arch=${p#*:}
  dpkg-query -W -f='${Status} ${Architecture}\n' "$p" 2>/dev/null | grep -qxE "install ok installed $arch" \
    || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
refresh_package_lists
apt_waiting env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
