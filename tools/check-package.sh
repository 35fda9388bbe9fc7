#!/usr/bin/env bash
# Builds the Debian package and checks it: its dependencies and contents, and,
# when run as root on a machine that does not have the package yet, that it
# installs, that the installed program starts, and that it removes cleanly.
set -euo pipefail
build=${1:?usage: check-package.sh BUILD_DIR}
cd "$build"
rm -f kd7load_*.deb
cpack -G DEB >/dev/null
deb=$(ls kd7load_*.deb)
echo "package: $deb"

depends=$(dpkg-deb --field "$deb" Depends)
for need in libqt6serialport6 libqt6widgets6 qt6-qpa-plugins fonts-noto-cjk; do
  grep -q "$need" <<<"$depends" || { echo "Depends lacks $need: $depends"; exit 1; }
done

contents=$(dpkg-deb --contents "$deb")
for path in ./usr/bin/kd7load ./usr/share/applications/org.kd7lab.kd7load.desktop \
            ./usr/share/icons/hicolor/48x48/apps/org.kd7lab.kd7load.png \
            ./usr/share/icons/hicolor/scalable/apps/org.kd7lab.kd7load.svg; do
  grep -q " $path\$" <<<"$contents" || { echo "package lacks $path"; exit 1; }
done

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb --extract "$deb" "$unpacked"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$unpacked/usr/share/applications/org.kd7lab.kd7load.desktop"
fi
file_type=$(head -c 8 "$unpacked/usr/share/icons/hicolor/48x48/apps/org.kd7lab.kd7load.png" | od -An -c | tr -d ' ')
[[ $file_type == *PNG* ]] || { echo "icon is not a PNG"; exit 1; }

if [ "$(id -u)" -ne 0 ] || dpkg -s kd7load >/dev/null 2>&1; then
  echo "install check skipped (needs root and no kd7load installed)"
  exit 0
fi
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
trap 'rm -rf "$unpacked"; dpkg -r kd7load >/dev/null 2>&1 || true' EXIT
set +e
QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/kd7load
status=$?
set -e
# Still running when stopped (124) means the installed program started.
[ $status -eq 124 ] || { echo "installed kd7load exited with $status"; exit 1; }
dpkg -r kd7load >/dev/null
echo "installed, started and removed: ok"
