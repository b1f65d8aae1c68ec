#!/usr/bin/env python3
"""Black-box tests: run tcpsink as a child process, talk to it over 127.0.0.1.

usage: test_tcpsink.py PROGRAM [--emulator CMD] [--preload SO] [unittest args]
"""
import argparse, errno, os, re, select, shutil, signal, socket, struct, subprocess, sys, time, unittest

ARGS = None
CONNECTED, DISCONNECT = b"connected, reading data\n", b"\n\nDisconnect\n\n"
USAGE = b"command line:  port number\n"
TIMEOUT = 30.0


def windows():
    return bool(ARGS.emulator)


def free_port():
    with socket.socket() as s:
        s.bind(("0.0.0.0", 0))
        return s.getsockname()[1]


def listening_ports(pid=None):
    """Ports in LISTEN state (of one process, if pid is given), from the kernel's table."""
    inodes = None
    if pid is not None:
        inodes = set()
        for fd in os.listdir(f"/proc/{pid}/fd"):
            try:
                inodes.update(re.findall(r"socket:\[(\d+)\]", os.readlink(f"/proc/{pid}/fd/{fd}")))
            except FileNotFoundError:
                pass  # closed while we looked
    with open("/proc/net/tcp") as table:
        rows = [line.split() for line in table.readlines()[1:]]
    return {int(r[1].split(":")[1], 16) for r in rows if r[3] == "0A" and (inodes is None or r[9] in inodes)}


def wait_listening(proc, port=None):
    """The ports proc listens on once it listens, or nothing if it ends or TIMEOUT passes first.
    With port given, any process's socket counts: under Wine or strace it is not proc's own."""
    deadline = time.monotonic() + TIMEOUT
    while proc.poll() is None and time.monotonic() < deadline:
        ports = listening_ports() & {port} if port is not None else listening_ports(proc.pid)
        if ports:
            return ports
        time.sleep(0.01)
    return set()


def stop_traced(tracer):
    """Stops the program that strace runs; strace itself ignores SIGTERM."""
    with open(f"/proc/{tracer.pid}/task/{tracer.pid}/children") as children:
        os.kill(int(children.read().split()[0]), signal.SIGTERM)


def run(*args, env=None):
    r = subprocess.run(ARGS.emulator + [ARGS.program, *args], capture_output=True, env=env, timeout=TIMEOUT)
    return r.stdout, r.stderr, r.returncode


def client(port, data=b"", close=True):
    c = socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT)
    c.sendall(data)
    if close:
        c.close()
    return c


def reset(c):
    c.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    c.close()


class Sink:
    def __init__(self, test, arg, port=None, env=None, prefix=None):
        self.test, self.out = test, b""
        prefix = ARGS.emulator if prefix is None else prefix
        self.proc = subprocess.Popen(prefix + [ARGS.program, arg], stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, env=env)
        test.addCleanup(self.stop)
        if port is not None and not wait_listening(self.proc, port):
            test.fail(f"not listening on {port}: status {self.proc.poll()}")


    def read(self, size, timeout):
        deadline = time.monotonic() + timeout
        while len(self.out) < size and select.select([self.proc.stdout], [], [], max(0, deadline - time.monotonic()))[0]:
            chunk = os.read(self.proc.stdout.fileno(), 65536)
            if not chunk:
                break
            self.out += chunk

    def expect(self, expected, settle=0.05):
        """All output so far equals expected: nothing missing, nothing more within settle seconds."""
        self.read(len(expected), TIMEOUT)
        self.read(len(expected) + 1, settle)
        self.test.assertEqual(self.out, expected)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
        rest, err = self.proc.communicate(timeout=TIMEOUT)
        self.out += rest
        sys.stderr.write(err.decode(errors="replace"))  # a sanitizer's report, say
        return self.proc.returncode, err


class CommandLine(unittest.TestCase):
    def test_usage_for_other_than_one_argument(self):
        for args in ([], ["9000", "9001"], ["1", "2", "3"]):
            with self.subTest(args=args):
                self.assertEqual(run(*args), (USAGE, b"", 0))

    def test_port_forms(self):
        port = free_port()
        forms = [f" \t\n\v\f\r{port}", f"+{port}", f"{port}abc", f"{port + 65536}", f"{port - 65536}",
                 f"-{3 * 65536 - port}", f"{port + 65536 * 10**30}", f"-0{2**32 - port}"]
        for arg in forms:
            with self.subTest(arg=arg):
                sink = Sink(self, arg, port)
                client(port, b"x")
                sink.expect(CONNECTED + b"x" + DISCONNECT)
                sink.stop()

    @unittest.skipIf(65535 in listening_ports(), "port 65535 is taken")
    def test_minus_one_is_port_65535(self):
        Sink(self, "-1", 65535)

    def test_no_digits_is_a_system_chosen_port(self):
        if windows():
            self.skipTest("the listening socket is held by the emulator, not by this process")
        sink = Sink(self, "http")
        (port,) = wait_listening(sink.proc)
        client(port, b"any")
        sink.expect(CONNECTED + b"any" + DISCONNECT)


class Clients(unittest.TestCase):
    def setUp(self):
        self.port = free_port()
        self.sink = Sink(self, str(self.port), self.port)

    def test_bytes_close_and_reset_then_next_client(self):
        every_byte = bytes(range(256))
        client(self.port, every_byte)
        expected = CONNECTED + every_byte + DISCONNECT
        self.sink.expect(expected)
        client(self.port)
        expected += CONNECTED + DISCONNECT
        self.sink.expect(expected)
        c = client(self.port, b"then reset\r\n", close=False)
        expected += CONNECTED + b"then reset\r\n"
        self.sink.expect(expected)
        reset(c)
        expected += DISCONNECT
        self.sink.expect(expected)
        client(self.port, b"next")
        self.sink.expect(expected + CONNECTED + b"next" + DISCONNECT)

    def test_one_client_at_a_time(self):
        first = client(self.port, b"first ", close=False)
        self.sink.expect(CONNECTED + b"first ")
        second = client(self.port, b"second", close=False)
        self.sink.expect(CONNECTED + b"first ", settle=0.5)  # held in the backlog, not shown
        first.sendall(b"more")
        first.close()
        expected = CONNECTED + b"first more" + DISCONNECT + CONNECTED + b"second"
        self.sink.expect(expected)
        second.close()
        self.sink.expect(expected + DISCONNECT)

    def test_output_visible_at_once_and_kept_when_stopped(self):
        c = client(self.port, b"no line end", close=False)
        self.sink.expect(CONNECTED + b"no line end")
        status, err = self.sink.stop()
        c.close()
        self.assertEqual((self.sink.out, err), (CONNECTED + b"no line end", b""))
        if not windows():
            self.assertEqual(status, -signal.SIGTERM)


class Failures(unittest.TestCase):
    def test_refused_bind(self):
        with socket.socket() as holder:
            holder.bind(("0.0.0.0", 0))
            holder.listen()
            out, err, status = run(str(holder.getsockname()[1]))
        codes = (10048, 10013) if windows() else (errno.EADDRINUSE,)
        self.assertIn(out, [b"Could not bind socket to port: %d\n" % code for code in codes])
        self.assertEqual((err, status), (b"", 2))

    def fault_env(self, fault):
        if not ARGS.preload:
            self.skipTest("fault injection needs LD_PRELOAD, which this build does not have")
        return dict(os.environ, LD_PRELOAD=ARGS.preload, TCPSINK_FAULT=fault)

    def test_injected_failures(self):
        self.fault_env("")
        for fault, message, status in [(f"socket:{errno.EMFILE}", b"Could not create socket", 5),
                                       (f"listen:{errno.EADDRINUSE}", b"Error in listening on port", 3),
                                       (f"accept:{errno.EMFILE}", b"Error in accepting connection", 4)]:
            with self.subTest(fault=fault):
                self.assertEqual(run("0", env=self.fault_env(fault)), (message, b"", status))

    def test_accept_retried_after_pending_connection_errors(self):
        names = ["ECONNABORTED", "EINTR", "EPROTO", "ENOPROTOOPT", "ENETDOWN", "ENETUNREACH", "EHOSTDOWN",
                 "EHOSTUNREACH", "ENONET", "EOPNOTSUPP"]
        self.fault_env("")
        for name in names:
            with self.subTest(error=name):
                port = free_port()
                sink = Sink(self, str(port), port, env=self.fault_env(f"accept:{getattr(errno, name)}:1"))
                client(port, b"served")
                sink.expect(CONNECTED + b"served" + DISCONNECT)
                sink.stop()


class SystemCalls(unittest.TestCase):
    def test_one_receive_and_one_write_per_byte(self):
        if windows() or not shutil.which("strace"):
            self.skipTest("needs strace and a native build")
        port, trace = free_port(), os.path.join(ARGS.workdir, "strace.txt")
        sink = Sink(self, str(port), port, prefix=["strace", "-qq", "-o", trace])
        client(port, b"abc")
        sink.expect(CONNECTED + b"abc" + DISCONNECT)
        stop_traced(sink.proc)
        sink.stop()
        with open(trace) as lines:
            calls = [m.group(1) for m in map(re.compile(r"(\w+)\(").match, lines) if m]
        calls = calls[calls.index("listen"):]
        per_byte = ["recvfrom", "write"]
        self.assertEqual(calls, ["listen", "accept", "write"] + per_byte * 3 +
                         ["recvfrom", "write", "close", "listen", "accept"])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--emulator", default="", help="command that runs the program, e.g. wine")
    parser.add_argument("--preload", default="", help="fault-injection shared object")
    parser.add_argument("--workdir", default=os.getcwd())
    ARGS, rest = parser.parse_known_args()
    ARGS.emulator = ARGS.emulator.split()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
