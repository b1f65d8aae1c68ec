#!/usr/bin/env python3
"""Puts a package that CPack made into a fixed form, so that the same files give
the same bytes whoever builds them, wherever and under whatever umask.

A zip is written again: members by name, each dated DATE (seconds since 1970,
as UTC), mode 0644 or 0755 as its execute bit says, no owner and no extra
fields, deflated at level 9. A Debian package keeps its bytes but for the
mode of each ar member, which CPack takes from the umask: it becomes 0644.

usage: reproducible_package.py PACKAGE DATE
"""
import os, sys, time, zipfile

AR_MAGIC, AR_HEADER = b"!<arch>\n", 60  # a member's header: name, mtime, uid, gid, mode (8 at 40), size (10 at 48)


def fix_zip(path, date):
    stamp = tuple(time.gmtime(max(date, 315532800)))[:6]  # zip dates start in 1980
    with zipfile.ZipFile(path) as old:
        members = [(info, old.read(info)) for info in sorted(old.infolist(), key=lambda info: info.filename)]
    with zipfile.ZipFile(path + ".new", "w") as new:
        for old_info, data in members:
            info = zipfile.ZipInfo(old_info.filename, date_time=stamp)
            executable = (old_info.external_attr >> 16) & 0o111
            info.external_attr = (0o100755 if executable else 0o100644) << 16
            info.create_system, info.compress_type = 3, zipfile.ZIP_DEFLATED  # Unix modes
            new.writestr(info, data, compresslevel=9)
    os.replace(path + ".new", path)


def fix_deb(path):
    with open(path, "r+b") as deb:
        data = bytearray(deb.read())
        if not data.startswith(AR_MAGIC):
            sys.exit(f"{path}: not an ar archive")
        at = len(AR_MAGIC)
        while at < len(data):
            data[at + 40:at + 48] = b"100644  "
            size = int(data[at + 48:at + 58])
            at += AR_HEADER + size + size % 2  # members start at even offsets
        deb.seek(0)
        deb.write(data)


path, date = sys.argv[1], int(sys.argv[2])
fix_zip(path, date) if path.endswith(".zip") else fix_deb(path)
