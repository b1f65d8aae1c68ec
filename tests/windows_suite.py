#!/usr/bin/env python3
"""Configures, builds and tests tcpsink for Windows in BUILD, running its suite
under Wine; exit 77 (skipped) when this machine lacks the cross compiler or
Wine cannot run the suite.

usage: windows_suite.py ARCH CMAKE CTEST SOURCE BUILD [CACHE-ARGUMENT...]
"""
import os, shutil, subprocess, sys

SKIPPED = 77
arch, cmake, ctest, source, build, *cache = sys.argv[1:]
compiler = f"{arch}-w64-mingw32-g++"
if not shutil.which(compiler):
    print(f"skipped: no {compiler} (Debian package g++-mingw-w64-{arch.replace('_', '-')})")
    sys.exit(SKIPPED)
toolchain = os.path.join(source, "cmake", f"{arch}-w64-mingw32.cmake")
output = ""
for step in ([cmake, "-S", source, "-B", build, f"-DCMAKE_TOOLCHAIN_FILE={toolchain}", *cache],
             [cmake, "--build", build], [ctest, "--test-dir", build, "--output-on-failure", "-V"]):
    run = subprocess.run(step, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    print(run.stdout)
    if run.returncode != 0:
        sys.exit(run.returncode)
    output += run.stdout
sys.exit(SKIPPED if "Windows suite skipped:" in output else 0)  # built, but not tested here
