#!/usr/bin/env python3
"""Soak: holds tcpsink under load and faults and checks that nothing is lost.

usage: soak.py PROGRAM [--emulator CMD [--probe EXE]] [--clients N] [--bursts N] [--arguments N] [--seed N]
"""
import argparse, atexit, os, random, re, signal, socket, subprocess, sys, threading, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # the source tree stays as it was
from test_tcpsink import (CONNECTED, DISCONNECT, bind_refused, free_port, listening_ports, reset,  # noqa: E402
                          skip_where_wine_cannot_run, socket_inodes, tcp_table, until, wait_listening, wine_server)

TIMEOUT = 30.0
DUE = 5.0  # seconds without new output after which the bytes awaited are overdue (Wine: twice that)
EMULATOR = []  # the command that runs a Windows program: wine or wine64
CHILDREN = []
atexit.register(lambda: [child.kill() for child in CHILDREN if child.poll() is None])


def start(*args):
    CHILDREN.append(subprocess.Popen(EMULATOR + list(args), stdout=subprocess.PIPE))
    return CHILDREN[-1]


def listens_on(proc):
    """The ports that proc is seen to listen on; under Wine those of its server."""
    return wait_listening(proc, holder=wine_server if EMULATOR else None)


class Output:
    """Everything the program writes, collected by a thread so its pipe never fills."""

    def __init__(self, proc):
        self.data, self.more = bytearray(), threading.Condition()
        threading.Thread(target=self.collect, args=(proc.stdout,), daemon=True).start()

    def collect(self, pipe):
        while chunk := os.read(pipe.fileno(), 65536):
            with self.more:
                self.data += chunk
                self.more.notify_all()

    def wait_for(self, size):
        """Until size bytes are in: fails once none has come for DUE seconds, or after DUE for
        each 64 KiB awaited."""
        with self.more:
            have, deadline = -1, time.monotonic() + DUE * (1 + max(0, size - len(self.data)) / 65536)
            while len(self.data) < size and len(self.data) > have and time.monotonic() < deadline:
                have = len(self.data)
                self.more.wait_for(lambda: len(self.data) >= size, DUE)
            if len(self.data) < size:
                sys.exit(f"FAIL: waited for {size} bytes of output, have {len(self.data)}")


def figures(pid):
    """Open descriptors and resident KiB of the program. Under Wine a socket handle is a
    descriptor of the Wine server, not of the process, so the server's TCP sockets are counted:
    its other descriptors come and go with the prefix's own services."""
    with open(f"/proc/{pid}/status") as status:
        rss = int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))
    if not EMULATOR:
        return len(os.listdir(f"/proc/{pid}/fd")), rss
    return len(socket_inodes(wine_server()) & {row[9] for row in tcp_table()}), rss


def soak_clients(program, rng, clients, bursts):
    port = free_port()
    proc = start(program, str(port))
    out, expected, resets = Output(proc), bytearray(), 0
    if port not in listens_on(proc):
        sys.exit(f"FAIL: not listening on {port}")

    def connect(payload):
        c = socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT)
        c.sendall(payload)
        return c

    def measure():  # always with one client connected and shown, so the counts compare
        nonlocal expected
        c = connect(b"measure")
        expected += CONNECTED + b"measure"
        out.wait_for(len(expected))
        result = figures(proc.pid)
        c.close()
        expected += DISCONNECT
        return result

    for i in range(1, clients + 1):
        payload = b"" if i % 100 == 0 else random_bytes(rng)
        c = connect(payload)
        expected += CONNECTED + payload
        if i % 10 == 0 and payload:
            out.wait_for(len(expected))  # shown, so the reset cannot discard it
            reset(c)
            resets += 1
        else:
            c.close()
        expected += DISCONNECT
        out.wait_for(len(expected))
        if i == min(10, clients):
            before = measure()
        if i == max(clients // 2, min(10, clients)):
            middle = measure()
    for b in range(bursts):
        held = connect(b"held %d" % b)
        queued = [random_bytes(rng) for _ in range(5)]
        for payload in queued:
            connect(payload).close()
        expected += CONNECTED + b"held %d" % b
        out.wait_for(len(expected))
        held.close()
        expected += DISCONNECT + b"".join(CONNECTED + p + DISCONNECT for p in queued)
        out.wait_for(len(expected))
    after = measure()
    out.wait_for(len(expected))
    proc.send_signal(signal.SIGTERM)
    proc.wait(TIMEOUT)
    if out.data != expected:
        at = next(i for i, (a, b) in enumerate(zip(out.data + b"\0", expected + b"\1")) if a != b)
        sys.exit(f"FAIL: output differs from the prediction at byte {at} of {len(expected)}")
    print(f"clients served: {clients + 6 * bursts} ({clients} sequential, {bursts} bursts of 5 queued behind 1)")
    print(f"bytes checked: {len(expected)}; resets survived: {resets}")
    held = "Wine server TCP sockets" if EMULATOR else "descriptors"
    print(f"{held} before/after: {before[0]}/{after[0]}; "
          f"resident KiB before/half-way/after: {before[1]}/{middle[1]}/{after[1]}")
    # A leak grows with the clients served, in the second half as in the first; what a runtime
    # takes once, as it warms up (a sanitizer's fake stacks, say), stays in the first.
    if after[0] != before[0] or after[1] > middle[1] + 64:
        sys.exit("FAIL: descriptors or memory grew")


def random_bytes(rng):
    """1 to 64 random bytes (Random.randbytes is Python 3.9's)."""
    size = rng.randint(1, 64)
    return rng.getrandbits(8 * size).to_bytes(size, "little")


def reference_port(argument):
    """The conversion rule: white space, sign, digits; the numeric value modulo 65536."""
    sign, digits = re.match(r"[ \t\n\v\f\r]*([+-]?)([0-9]*)", argument).groups()
    value = int(digits or "0")
    return (-value if sign == "-" else value) % 65536


def random_argument(rng):
    return ("".join(rng.choice(" \t\n\v\f\r") for _ in range(rng.randint(0, 3))) + rng.choice(["", "", "+", "-"])
            + "".join(rng.choice("0123456789") for _ in range(rng.randint(0, 30)))
            + rng.choice(["", "", "abc", " 7", "x9", ":80", "-", "."]))


def soak_arguments(program, rng, count):
    taken = 0
    for argument in [""] + [random_argument(rng) for _ in range(count - 1)]:
        # Whether a bind of the reference port is refused, as tcpsink's must be, just before and
        # after tcpsink's own: the port may be another program's, in either address family, or
        # not this user's. Under Wine, lingering connections hold a port too.
        port = reference_port(argument)
        refused = port != 0 and bind_refused(port, reuse=not EMULATOR)
        proc = start(program, argument)
        bound = listens_on(proc)
        proc.terminate()
        output = proc.communicate(timeout=TIMEOUT)[0]
        if EMULATOR:  # Wine's server closes the socket a moment after the process ends
            until(lambda: not bound & listening_ports(wine_server()), DUE, 0.001)
        if bound and (port == 0 or bound == {port}):
            continue
        refused = refused or port != 0 and bind_refused(port, reuse=not EMULATOR)
        if proc.returncode == 2 and output.startswith(b"Could not bind socket to port: ") and refused:
            taken += 1
            continue
        sys.exit(f"FAIL: argument {argument!r}: expected port {port}, listened on {bound}, "
                 f"status {proc.returncode}, output {output!r}")
    print(f"argument strings tried: {count}; reference port taken or not this user's (bind refused): {taken}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--clients", type=int, default=10_000)
    parser.add_argument("--bursts", type=int, default=100)
    parser.add_argument("--arguments", type=int, default=300)
    parser.add_argument("--seed", type=int, help="replays the run that printed it; else one is drawn")
    parser.add_argument("--emulator", default="", help="command that runs the program, e.g. wine")
    parser.add_argument("--probe", default="", help="under an emulator: a program of the build's kind that ends with 42")
    args = parser.parse_args()
    global DUE
    EMULATOR.extend(args.emulator.split())
    skip_where_wine_cannot_run(EMULATOR, args.probe)
    DUE *= 2 if EMULATOR else 1
    # Drawn for each run, so that two runs at once on one host walk different ports.
    seed = random.SystemRandom().randrange(2**32) if args.seed is None else args.seed
    print(f"seed: {seed} (soak.py ... --seed {seed} replays this run)", flush=True)
    rng = random.Random(seed)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("FAIL: stopped"))  # so children are ended too
    soak_clients(args.program, rng, args.clients, args.bursts)
    soak_arguments(args.program, rng, args.arguments)
    print("soak passed")


if __name__ == "__main__":
    main()
