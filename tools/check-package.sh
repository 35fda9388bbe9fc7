#!/usr/bin/env bash
# Builds the Debian package and checks it: its dependencies and contents, and,
# when run as root on a machine that does not have the package yet, that it
# installs, that the installed program starts, and that it removes cleanly.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build=${1:?usage: check-package.sh BUILD_DIR}
cd "$build"
rm -f kd7load_*.deb
cpack -G DEB >/dev/null
deb=$(ls kd7load_*.deb)
echo "package: $deb"

depends=$(dpkg-deb --field "$deb" Depends)
for need in libqt6serialport6 libqt6widgets6 qt6-qpa-plugins fonts-noto-cjk; do
  grep -q "$need" <<<"$depends" || die "Depends lacks $need: $depends"
done

contents=$(dpkg-deb --contents "$deb")
for path in ./usr/bin/kd7load ./usr/bin/kd7load-cli ./usr/share/man/man1/kd7load-cli.1.gz \
            ./usr/share/applications/org.kd7lab.kd7load.desktop \
            ./usr/share/icons/hicolor/48x48/apps/org.kd7lab.kd7load.png \
            ./usr/share/icons/hicolor/scalable/apps/org.kd7lab.kd7load.svg \
            ./usr/share/man/man1/kd7load.1.gz ./usr/share/metainfo/org.kd7lab.kd7load.metainfo.xml \
            ./usr/share/doc/kd7load/guide.zh_CN.html; do
  grep -q " $path\$" <<<"$contents" || die "package lacks $path"
done

# Debian's own checks: any lintian error or warning fails. No tag is accepted
# today; one accepted later goes in --suppress-tags here, with its reason.
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$deb"
else
  echo "lintian check skipped: lintian is not installed (Debian package lintian)"
fi

start_work
unpacked="$work/unpacked"
dpkg-deb --extract "$deb" "$unpacked"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$unpacked/usr/share/applications/org.kd7lab.kd7load.desktop"
fi
# The metainfo as installed, and that its launchable names the desktop entry.
if command -v appstreamcli >/dev/null; then
  appstreamcli validate-tree --pedantic --no-net "$unpacked"
else
  echo "metainfo check skipped: appstreamcli is not installed (Debian package appstream)"
fi
file_type=$(head -c 8 "$unpacked/usr/share/icons/hicolor/48x48/apps/org.kd7lab.kd7load.png" | od -An -c | tr -d ' ')
[[ $file_type == *PNG* ]] || die "icon is not a PNG"

if [ "$(id -u)" -ne 0 ] || dpkg -s kd7load >/dev/null 2>&1; then
  echo "install check skipped (needs root and no kd7load installed)"
  exit 0
fi
# Another package manager at work (an install step elsewhere) holds the lock a while.
apt_wait=(-o DPkg::Lock::Timeout=300)
# At exit, unless the last step below removed it already.
remove_package() { ! dpkg -s kd7load >/dev/null 2>&1 || apt-get remove "${apt_wait[@]}" -y -qq kd7load >/dev/null 2>&1; }
DEBIAN_FRONTEND=noninteractive apt-get install "${apt_wait[@]}" -y -qq "./$deb" >/dev/null
at_exit remove_package
status=0
QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/kd7load || status=$?
# Still running when stopped (124) means the installed program started.
[ $status -eq 124 ] || die "installed kd7load exited with $status"
/usr/bin/kd7load-cli --version | grep -q '^kd7load-cli ' || die "installed kd7load-cli did not say its version"
apt-get remove "${apt_wait[@]}" -y -qq kd7load >/dev/null
echo "installed, started and removed: ok"
