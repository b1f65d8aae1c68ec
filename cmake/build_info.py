"""Writes BUILDINFO beside SHA256SUMS in the release folder: for each package there, the system
that made it and the Debian package and version of each tool and library that makes a difference
to its bytes. A package made elsewhere gives other bytes; this says where the published ones came
from. Sections of packages no longer in the folder are dropped.

usage: build_info.py RELEASE_DIR PACKAGE FILE...  (FILE: a tool or library the package was made with)
"""
import os, platform, re, subprocess, sys

release, package, *files = sys.argv[1:]


def origin(path):
    """'package:architecture version' of the Debian package that holds path (or, for a link, its
    target); elsewhere what the tool is called."""
    # dpkg knows a file by the path its package gave, which may be a link's or, on a system
    # whose /bin and /lib are links into /usr, the path without /usr.
    paths = [path, os.path.normpath(path), os.path.realpath(path)]
    for candidate in dict.fromkeys(paths + [re.sub(r"^/usr(?=/(s?bin|lib)/)", "", p) for p in paths]):
        try:
            found = subprocess.run(["dpkg-query", "-S", candidate], capture_output=True, text=True)
        except FileNotFoundError:
            break  # not a Debian system
        owner = re.match(r"([^\s:,]+(?::[^\s:,]+)?): ", found.stdout) if found.returncode == 0 else None
        if owner:
            return subprocess.run(["dpkg-query", "-W", "-f", "${Package}:${Architecture} ${Version}", owner[1]],
                                  capture_output=True, text=True, check=True).stdout
    shown = subprocess.run([path, "--version"], capture_output=True, text=True).stdout if os.access(path, os.X_OK) else ""
    return f"{os.path.basename(path)} {shown.partition(chr(10))[0]}, not from a Debian package".replace(" ,", ",")


def compressors(program):
    """The compression libraries that program (cpack, Python) loads: they make the bytes of the
    archives; a program that has them built in names none."""
    found = subprocess.run(["ldd", program], capture_output=True, text=True).stdout
    return re.findall(r"=> (\S*/lib(?:archive|z|lzma|zstd|bz2)\.so[.\d]*) ", found)


try:
    with open("/etc/os-release") as os_release:
        system = re.search(r'^PRETTY_NAME="?([^"\n]*)', os_release.read(), re.M)[1]
except (OSError, TypeError):
    system = platform.system()
sections = {}
path = os.path.join(release, "BUILDINFO")
if os.path.exists(path):
    with open(path) as old:
        for section in old.read().split("\n\n")[1:]:
            name = section.split(":\n", 1)[0]
            if os.path.exists(os.path.join(release, name)):
                sections[name] = section.rstrip("\n")
files += [sys.executable] + compressors(sys.executable)
files += [library for file in files if os.path.basename(file) == "cpack" for library in compressors(file)]
lines = sorted(set(origin(file) for file in files))
sections[package] = f"{package}:\n  made on {system}\n" + "\n".join("  " + line for line in lines)
with open(path + ".new", "w") as out:
    out.write("What made each package of this release; the same tools give the same bytes.\n\n")
    out.write("\n\n".join(sections[name] for name in sorted(sections)) + "\n")
os.replace(path + ".new", path)
