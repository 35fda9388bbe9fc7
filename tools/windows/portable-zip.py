#!/usr/bin/python3
"""Packs a folder into a zip that unpacks to one folder of the given name,
the same bytes from the same files wherever and whenever it is made: the
entries in one order (by path), every time SOURCE_DATE_EPOCH's, the same
attributes for every file and folder, names in UTF-8 (flagged so, which
Windows' own unpacking reads since Windows 7).

usage: portable-zip.py FOLDER TOP_NAME OUT.zip"""
import os
import sys
import time
import zipfile


def entry(name, when, is_dir):
    info = zipfile.ZipInfo(name, date_time=when)
    info.create_system = 0   # MS-DOS attributes, as Windows' own zips carry
    info.external_attr = 0x10 if is_dir else 0x20   # directory / archive
    info.compress_type = zipfile.ZIP_STORED if is_dir else zipfile.ZIP_DEFLATED
    return info


def main(folder, top, out):
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "315532800"))
    # A zip keeps local time without a zone: the commit's time in UTC, read
    # the same on every machine; zips cannot hold times before 1980.
    when = time.gmtime(max(epoch, 315532800))[:6]
    paths = []
    for here, dirs, files in os.walk(folder):
        rel = os.path.relpath(here, folder)
        for name in dirs:
            paths.append((os.path.normpath(os.path.join(rel, name)), True))
        for name in files:
            paths.append((os.path.normpath(os.path.join(rel, name)), False))
    partial = out + ".partial"
    with zipfile.ZipFile(partial, "w", compresslevel=9) as archive:
        archive.writestr(entry(top + "/", when, True), b"")
        for rel, is_dir in sorted(paths):
            name = f"{top}/{rel.replace(os.sep, '/')}" + ("/" if is_dir else "")
            if is_dir:
                archive.writestr(entry(name, when, True), b"")
            else:
                with open(os.path.join(folder, rel), "rb") as f:
                    archive.writestr(entry(name, when, False), f.read())
    os.replace(partial, out)


if __name__ == "__main__":
    main(*sys.argv[1:4])
