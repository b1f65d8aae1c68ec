#!/usr/bin/env python3
"""Builds a Windows preset and runs its suite under Wine; exit 77 (skipped)
when this machine lacks the cross compiler or Wine cannot run the suite."""
import shutil, subprocess, sys

SKIPPED = 77
cmake, arch, preset = sys.argv[1:4]
compiler = f"{arch}-w64-mingw32-g++"
if not shutil.which(compiler):
    print(f"skipped: no {compiler} (Debian package g++-mingw-w64-{arch.replace('_', '-')})")
    sys.exit(SKIPPED)
run = subprocess.run([cmake, "--workflow", "--preset", preset], stdout=subprocess.PIPE,
                     stderr=subprocess.STDOUT, text=True)
print(run.stdout)
if run.returncode == 0 and "Windows suite skipped:" in run.stdout:
    sys.exit(SKIPPED)
sys.exit(run.returncode)
