#!/usr/bin/python3
"""Writes the notices that the Windows edition ships beside Qt's DLLs and
MinGW's runtime: the licence texts of Qt and of the libraries built into it,
read from the Qt source package the DLLs were built from, and those of the
MinGW-w64 and GCC runtime DLLs, from Debian's packages that gave them.

usage: notices.py QT_SOURCE_DIR DEST_DIR
QT_SOURCE_DIR holds Debian's source package as built (.dsc, .orig.tar.*,
.debian.tar.*). Every file is written with Windows line ends, so that
Notepad on Windows 7 shows it as well."""
import glob
import hashlib
import json
import os
import re
import sys
import tarfile

# Licence texts by the name they get, from the Qt source tree.
QT_TEXTS = {
    "Qt-LGPL-3.0.txt": "LICENSE.LGPL3",
    "Qt-GPL-3.0.txt": "LICENSE.GPL3",
    "zlib.txt": "src/3rdparty/zlib/LICENSE",
    "libpng.txt": "src/3rdparty/libpng/LICENSE",
    "FreeType.txt": "src/3rdparty/freetype/docs/FTL.TXT",
    "HarfBuzz.txt": "src/3rdparty/harfbuzz-ng/COPYING",
    "PCRE2.txt": "src/3rdparty/pcre2/LICENCE",
}
# From the Debian packages whose DLLs are shipped.
RUNTIME_TEXTS = {
    "MinGW-w64.txt": "/usr/share/doc/mingw-w64-i686-dev/copyright",
    "GCC-runtime.txt": "/usr/share/doc/gcc-mingw-w64-i686-posix-runtime/copyright",
    # Qt's Chinese catalogues (its dialogs' texts), built into the programs.
    "Qt-translations.txt": "/usr/share/doc/qt6-translations-l10n/copyright",
}
# Code in Qt's tree that the DLLs shipped do not hold: modules and features
# left out of the build, other platforms, the test library.
NOT_SHIPPED = re.compile(
    r"/(VulkanMemoryAllocator|android|angle|forkfd|gradle|harfbuzz|libjpeg|md4|pixman|wasm|xcb"
    r"|dbus|opengl|vulkan|cocoa|testlib)/")


def windows_text(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


def write(dest, name, text, bom=False):
    with open(os.path.join(dest, name), "w", encoding="utf-8-sig" if bom else "utf-8", newline="") as f:
        f.write(windows_text(text))


def read_members(orig, wanted):
    """The texts of the tarball's members that `wanted` accepts, read in one
    pass over the (compressed) stream, by their paths below the top folder."""
    texts = {}
    with tarfile.open(orig, "r|*") as tar:
        for member in tar:
            path = member.name.split("/", 1)[-1]
            if member.isfile() and wanted(path):
                texts[path] = tar.extractfile(member).read().decode("utf-8", errors="replace")
    return texts


def attributions(orig):
    """Qt's record of the third-party code in its tree, for what is shipped,
    each with the text of its licence."""
    records = read_members(orig, lambda p: p.endswith("/qt_attribution.json") and not NOT_SHIPPED.search("/" + p))
    entries = []
    for path in sorted(records):
        found = json.loads(records[path], strict=False)
        for entry in found if isinstance(found, list) else [found]:
            licence = entry.get("LicenseFile")
            entries.append((entry, os.path.normpath(os.path.join(os.path.dirname(path), licence)) if licence else None))
    texts = read_members(orig, lambda p: p in {licence for _, licence in entries} | set(QT_TEXTS.values()))
    return [(entry, texts.get(licence, "")) for entry, licence in entries], texts


def third_party_text(entries):
    parts = ["Third-party code inside Qt 5.15's Qt5Core, Qt5Gui, Qt5Widgets and plugins,\n"
             "as Qt's source records it (qt_attribution.json).\n"]
    for entry, text in entries:
        parts.append("=" * 72)
        for key in ("Name", "Version", "License", "Copyright"):
            if entry.get(key):
                parts.append(f"{key}: {entry[key]}")
        if text:
            parts.append("\n" + text.strip())
        parts.append("")
    return "\n".join(parts) + "\n"


def readme(dsc_name, version, sums):
    files = "\n".join(f"  {name}  (SHA-256 {digest})" for name, digest in sums)
    return f"""第三方软件的许可证 / Licences of third-party software
=====================================================

本文件夹里是 KD7 用户程序下载工具 Windows 版带有的第三方软件的许可证原文。
This folder holds the licence texts of the third-party software that the
Windows edition of the KD7 program download tool ships.

Qt 5.15 (Qt5Core.dll, Qt5Gui.dll, Qt5Widgets.dll, platforms\\qwindows.dll,
styles\\qwindowsvistastyle.dll): GNU Lesser General Public License 3.0,
Qt-LGPL-3.0.txt, with the GNU GPL 3.0 it builds on, Qt-GPL-3.0.txt. Built
into them: zlib (zlib.txt), libpng (libpng.txt), FreeType (FreeType.txt),
HarfBuzz (HarfBuzz.txt), PCRE2 (PCRE2.txt), and the further code listed in
Qt-third-party.txt.
MinGW-w64's libwinpthread-1.dll: MinGW-w64.txt.
GCC's libgcc_s_dw2-1.dll and libstdc++-6.dll: GPL 3.0 with the GCC Runtime
Library Exception, in GCC-runtime.txt.
Qt's Chinese catalogues, built into kd7load.exe and kd7load-cli.exe: GPL 3.0
with The Qt Company GPL Exception 1.0, in Qt-translations.txt.

Qt 的源代码 / The source of Qt
------------------------------
这些 Qt DLL 是用 Debian 的源码包 qtbase-opensource-src {version}（带 Debian 的补丁）
编译的。这份源码和程序放在同一个发布文件夹里（qt-source），文件如下；Debian 的
软件仓库和 snapshot.debian.org 也都能按这个版本号找到它。
These Qt DLLs were built from Debian's source package qtbase-opensource-src
{version}, with Debian's patches. That source, exactly as built, is
published beside the program in the same release folder (qt-source):

{files}

Unpack it with `dpkg-source -x {dsc_name}`. It is also available, by this
version, from Debian's archive and from snapshot.debian.org. You may replace
the Qt DLLs in the program's folder with ones you build yourself from it.
"""


def main(source_dir, dest):
    os.makedirs(dest, exist_ok=True)
    dsc = glob.glob(os.path.join(source_dir, "*.dsc"))[0]
    orig = glob.glob(os.path.join(source_dir, "*.orig.tar.*"))[0]
    with open(dsc, encoding="utf-8", errors="replace") as f:
        version = re.search(r"^Version: (\S+)", f.read(), re.M).group(1)
    entries, texts = attributions(orig)
    for name, path in QT_TEXTS.items():
        write(dest, name, texts[path])
    write(dest, "Qt-third-party.txt", third_party_text(entries))
    for name, path in RUNTIME_TEXTS.items():
        with open(path, encoding="utf-8", errors="replace") as f:
            write(dest, name, f.read())
    sums = []
    for path in sorted(glob.glob(os.path.join(source_dir, "*"))):
        with open(path, "rb") as f:
            sums.append((os.path.basename(path), hashlib.sha256(f.read()).hexdigest()))
    write(dest, "README.txt", readme(os.path.basename(dsc), version, sums), bom=True)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
