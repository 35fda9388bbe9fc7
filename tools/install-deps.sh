#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing kd7load need,
# and only those that are missing, so a second run does nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-serialport-dev qt6-translations-l10n
  libgl-dev
  fonts-noto-cjk fonts-lxgw-wenkai
  xvfb xauth
  dpkg-dev desktop-file-utils file lintian appstream
  python3-markdown
)
# make fuzz: clang with libFuzzer and the sanitizer runtimes (make test's
# sanitizer build uses g++, whose runtimes come with it).
if [ "${1:-}" = "--fuzz" ]; then
  shift
  packages+=(clang libclang-rt-14-dev)
fi
if [ "${1:-}" = "--with-extras" ]; then
  shift
  packages+=("$@")
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
