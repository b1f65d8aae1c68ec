#!/usr/bin/env python3
"""Readies WINEPREFIX for a suite under Wine: one server for the whole suite, then the prefix;
without EMULATOR, after the suite, ends that server and every program of the prefix, which would
else outlive the suite by the server's 10 seconds, or for good where their server died first.

usage: wine_prefix.py WINESERVER [EMULATOR]

Debian's Wine starts its server with -p0: it begins to shut down the moment no program of the
prefix runs, and a program that starts in that moment is cut off with it ("wine client error:
... Connection reset by peer"), as one of the soak's runs was, started as the one before ended.
A server started here stays 10 seconds after the last program: longer than any gap between a
suite's runs; should the suite's cleanup not run, it still goes by itself soon after.
"""
import contextlib, os, re, signal, subprocess, sys, tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # the source tree stays as it was
from test_tcpsink import prefix_processes, until  # noqa: E402

wineserver, *emulator = sys.argv[1:]
os.makedirs(os.environ["WINEPREFIX"], exist_ok=True)  # the server is found through its folder
# A server an earlier run left may be the shutting-down kind: end it; that none runs is fine.
# Wine's programs whose server died (an interrupted run's services, blocked on its pipe for good)
# are killed: nothing else would end them. Not the shell or script that set WINEPREFIX.
subprocess.run([wineserver, "-k"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)


def wine_programs():
    return {pid: name for pid, name in prefix_processes().items() if re.fullmatch(r"wine.*|.*\.exe", name)}


for pid in wine_programs():
    with contextlib.suppress(ProcessLookupError):
        os.kill(pid, signal.SIGKILL)
if not emulator:
    until(lambda: not wine_programs(), 10)
    left = wine_programs()
    sys.exit(f"still running in {os.environ['WINEPREFIX']}: {left}" if left else None)
# The server and the programs that wineboot leaves running (Wine's services) write to a file,
# shown if the prefix cannot be made. On this test's output CTest would wait for them; on a
# tcpsink.exe's stderr, a fault of Wine's own as they stop (once, a 64-bit service's page
# fault) would fail a test that checks it.
with tempfile.TemporaryFile() as log:
    for step in ([wineserver, "-p10"], [*emulator, "wineboot", "--init"]):
        if subprocess.run(step, stdin=subprocess.DEVNULL, stdout=log, stderr=log, timeout=300).returncode != 0:
            log.seek(0)
            sys.exit(f"{' '.join(step)} failed:\n{log.read().decode(errors='replace')}")
