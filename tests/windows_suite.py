#!/usr/bin/env python3
"""Configures, builds and tests tcpsink for Windows in BUILD, running its suite
under Wine; exit 77 (skipped) when this machine lacks the cross compiler or
Wine cannot run the suite.

usage: windows_suite.py ARCH CMAKE CTEST SOURCE BUILD [CACHE-ARGUMENT...]
"""
import os, re, signal, subprocess, sys

SKIPPED = 77
arch, cmake, ctest, source, build, *cache = sys.argv[1:]
toolchain = os.path.join(source, "cmake", f"{arch}-w64-mingw32.cmake")
output = ""
signal.signal(signal.SIGTERM, signal.default_int_handler)  # CTest's timeout, as Ctrl-C
try:
    for step in ([cmake, "-S", source, "-B", build, f"-DCMAKE_TOOLCHAIN_FILE={toolchain}", *cache],
                 [cmake, "--build", build], [ctest, "--test-dir", build, "--output-on-failure", "-V"]):
        run = subprocess.run(step, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        print(run.stdout)
        # The tool-chain file names the package of a missing cross compiler.
        missing = re.search(r"No \S+-w64-mingw32-g\+\+: install\s+Debian\s+package\s+\S+", run.stdout)
        if missing:
            print("skipped: " + " ".join(missing.group(0).split()))
            sys.exit(SKIPPED)
        if run.returncode != 0:
            sys.exit(run.returncode)
        output += run.stdout
except KeyboardInterrupt:
    # Interrupted, the inner run's own cleanup did not run: nothing of its prefix may go on running.
    subprocess.run([ctest, "--test-dir", build, "-R", "^WineServerStop$"], stdout=subprocess.DEVNULL)
    sys.exit(130)
sys.exit(SKIPPED if "Windows suite skipped:" in output else 0)  # built, but not tested here
