#!/usr/bin/env python3
"""Readies WINEPREFIX for a suite under Wine: one server for the whole suite, then the prefix;
without EMULATOR, after the suite, ends that server and the prefix's programs, which would else
outlive the suite by the server's 10 seconds.

usage: wine_prefix.py WINESERVER [EMULATOR]

Debian's Wine starts its server with -p0: it begins to shut down the moment no program of the
prefix runs, and a program that starts in that moment is cut off with it ("wine client error:
... Connection reset by peer"), as one of the soak's runs was, started as the one before ended.
A server started here stays 10 seconds after the last program: longer than any gap between a
suite's runs; should the suite's cleanup not run, it still goes by itself soon after.
"""
import os, subprocess, sys, tempfile

wineserver, *emulator = sys.argv[1:]
os.makedirs(os.environ["WINEPREFIX"], exist_ok=True)  # the server is found through its folder
# A server an earlier run left may be the shutting-down kind: end it; that none runs is fine.
subprocess.run([wineserver, "-k"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
if not emulator:
    sys.exit()
# The server and the programs that wineboot leaves running (Wine's services) write to a file,
# shown if the prefix cannot be made. On this test's output CTest would wait for them; on a
# tcpsink.exe's stderr, a fault of Wine's own as they stop (once, a 64-bit service's page
# fault) would fail a test that checks it.
with tempfile.TemporaryFile() as log:
    for step in ([wineserver, "-p10"], [*emulator, "wineboot", "--init"]):
        if subprocess.run(step, stdin=subprocess.DEVNULL, stdout=log, stderr=log, timeout=300).returncode != 0:
            log.seek(0)
            sys.exit(f"{' '.join(step)} failed:\n{log.read().decode(errors='replace')}")
