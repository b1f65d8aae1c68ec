#!/usr/bin/env python3
"""Writes a zip again in a fixed form: members by name, each dated DATE (seconds
since 1970, as UTC), mode 0644 or 0755 as its execute bit says, no owner and no
extra fields, deflated at level 9. The same files give the same bytes.

usage: reproducible_zip.py ZIP DATE
"""
import os, sys, time, zipfile

path, date = sys.argv[1], time.gmtime(max(int(sys.argv[2]), 315532800))  # zip dates start in 1980
with zipfile.ZipFile(path) as old:
    members = [(info, old.read(info)) for info in sorted(old.infolist(), key=lambda info: info.filename)]
with zipfile.ZipFile(path + ".new", "w") as new:
    for old_info, data in members:
        info = zipfile.ZipInfo(old_info.filename, date_time=tuple(date)[:6])
        executable = (old_info.external_attr >> 16) & 0o111
        info.external_attr = (0o100755 if executable else 0o100644) << 16
        info.create_system, info.compress_type = 3, zipfile.ZIP_DEFLATED  # Unix modes
        new.writestr(info, data, compresslevel=9)
os.replace(path + ".new", path)
