#!/usr/bin/env python3
"""Black-box tests: run tcpsink as a child process, talk to it over 127.0.0.1.

usage: test_tcpsink.py PROGRAM [--emulator CMD [--probe EXE] [--launcher EXE]] [--injector SO_OR_DLL] [unittest args]
"""
import argparse, contextlib, errno, fcntl, os, pathlib, re, resource, select, shutil, signal, socket, struct, subprocess, sys, threading, time, tty
import unittest

ARGS = None
CONNECTED, DISCONNECT = b"connected, reading data\n", b"\n\nDisconnect\n\n"
USAGE = b"command line:  port number\n"
TIMEOUT = 30.0  # for a program to start, or to end when stopped
OVERDUE = []  # cases whose bytes did not come: later waits for bytes do not wait, the group stops


def due():
    """Seconds without a new byte after which the bytes awaited are overdue (Wine's calls are slow)."""
    return 10.0 if windows() else 5.0


def windows():
    return bool(ARGS.emulator)


def skip_where_wine_cannot_run(emulator, probe):
    """Ends the run as skipped (77), saying why, where this Wine cannot run programs of the build's
    kind: the probe, built as tcpsink is, ends with status 42 wherever Wine runs it."""
    if not emulator or not probe:
        return
    status = subprocess.run(emulator + [probe], capture_output=True, timeout=TIMEOUT).returncode
    if status == 42:
        return
    why = (f"this Wine cannot run a program of this build's kind (a probe that ends with 42 ended with "
           f"{status}); a 32-bit build needs wine32:i386, after dpkg --add-architecture i386")
    with open(probe, "rb") as exe:  # the machine in the PE header, which starts where 0x3C says
        image = exe.read(4096)
    machine = struct.unpack_from("<H", image, struct.unpack_from("<I", image, 0x3C)[0] + 4)[0]
    prefix = os.environ.get("WINEPREFIX", "")
    with contextlib.suppress(OSError), open(os.path.join(prefix, "system.reg")) as registry:
        if machine == 0x8664 and "#arch=win32" in registry.read(4096):
            why = (f"the Wine prefix {prefix} was made by a Wine without its 64-bit half (wine64) and runs "
                   f"no 64-bit program: delete it and run again")
    print(f"Windows suite skipped: {why}")
    sys.exit(77)


def free_port():
    with socket.socket() as s:
        s.bind(("0.0.0.0", 0))
        return s.getsockname()[1]


def bind_refused(port, reuse=True):
    """Whether a bind to 0.0.0.0:port is refused now: held in either address family (an IPv6
    listener on [::] takes IPv4 too), or not this user's. reuse: with SO_REUSEADDR, as the POSIX
    build binds; without it, lingering connections hold the port too."""
    with socket.socket() as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, reuse)
        try:
            s.bind(("0.0.0.0", port))
        except OSError as error:
            return error.errno in (errno.EADDRINUSE, errno.EACCES)
    return False


def until(condition, seconds, step=0.01):
    """condition()'s first true value, asked again every step until seconds pass; then its last."""
    deadline = time.monotonic() + seconds
    while not (value := condition()) and time.monotonic() < deadline:
        time.sleep(step)
    return value


def listening_ports(pid=None):
    """Ports in LISTEN state on every IPv4 address (of one process, if pid is given), from the
    kernel's table: a socket bound to one address is not what tcpsink promises."""
    inodes = None if pid is None else socket_inodes(pid)
    return {int(r[1].split(":")[1], 16) for r in tcp_table()
            if r[1].startswith("00000000:") and r[3] == "0A" and (inodes is None or r[9] in inodes)}


def tcp_table():
    """The kernel's IPv4 TCP sockets, a row of fields each (field 9: the socket's inode)."""
    with open("/proc/net/tcp") as table:
        return [line.split() for line in table.readlines()[1:]]


def socket_inodes(pid):
    """The inodes of the sockets that process pid holds: none once it ends, or while it ends, when
    only root may read its table."""
    inodes = set()
    with contextlib.suppress(FileNotFoundError, PermissionError):
        for fd in os.listdir(f"/proc/{pid}/fd"):
            with contextlib.suppress(FileNotFoundError):  # closed while we looked
                inodes.update(re.findall(r"socket:\[(\d+)\]", os.readlink(f"/proc/{pid}/fd/{fd}")))
    return inodes


def wait_listening(proc, holder=None):
    """The ports proc listens on once it listens, or nothing if it ends or TIMEOUT passes first.
    holder() names the process whose sockets count where they are not proc's own: under Wine its
    server, under strace its tracee."""
    deadline = time.monotonic() + TIMEOUT
    while proc.poll() is None and time.monotonic() < deadline:
        ports = listening_ports(holder() if holder else proc.pid)
        if ports:
            return ports
        time.sleep(0.01)
    return set()


def prefix_processes():
    """{pid: command name} of this user's processes that run in the Wine prefix WINEPREFIX names
    (its server, services and programs), but this one."""
    found, prefix = {}, b"\0WINEPREFIX=" + os.environ.get("WINEPREFIX", "").encode() + b"\0"
    for pid in filter(str.isdigit, os.listdir("/proc")):
        with contextlib.suppress(OSError):  # ended while we looked, or another user's
            with open(f"/proc/{pid}/environ", "rb") as environ, open(f"/proc/{pid}/comm") as comm:
                if prefix in b"\0" + environ.read() and int(pid) != os.getpid():
                    found[int(pid)] = comm.read().strip()
    return found


def wine_server():
    """The Wine server of this prefix: it, not the Windows process, holds the sockets."""
    servers = [pid for pid, name in prefix_processes().items() if name.startswith("wineserver")]
    return servers[0] if servers else -1  # none yet: nothing listens


def children(pid):
    with contextlib.suppress(FileNotFoundError), open(f"/proc/{pid}/task/{pid}/children") as listed:
        return [int(child) for child in listed.read().split()]
    return []  # ended


def wrapped(proc):
    """The program that a wrapper (strace, GNU time) runs, whose sockets are the program's; -1 if none."""
    return (children(proc.pid) or [-1])[0]


def stop_traced(tracer):
    """Stops the program that a wrapper runs, if it still runs: strace ignores SIGTERM, GNU time
    would end without its child."""
    for pid in children(tracer.pid):
        os.kill(pid, signal.SIGTERM)


def waits_in_poll(proc):
    """Whether proc comes to wait in poll, for a full stdout, before it ends or makes no read or
    write for due() seconds: however long the work takes on a busy machine."""
    wchan, io = pathlib.Path(f"/proc/{proc.pid}/wchan"), pathlib.Path(f"/proc/{proc.pid}/io")
    done, since = [], time.monotonic()
    while proc.poll() is None and time.monotonic() - since < due():
        if "poll" in wchan.read_text():
            return True
        now = io.read_text().split()[:4]  # bytes read and written; a failing call is none
        if now != done:
            done, since = now, time.monotonic()
        time.sleep(0.001)
    return False


def strace_refused():
    """Why strace cannot trace a program here (missing, or ptrace refused, as a container may), or None."""
    if not shutil.which("strace"):
        return "needs strace (Debian package strace)"
    probe = subprocess.run(["strace", "-qq", "-o", os.devnull, "true"], capture_output=True, text=True, timeout=TIMEOUT)
    return f"strace cannot trace here: {probe.stderr.partition(chr(10))[0]}" if probe.returncode else None


def keep_alive_timer(port, peer):
    """Seconds until the first keep-alive probe of tcpsink's end of peer's connection to port, as ss
    shows it; None without that timer."""
    connection = f"sport = :{port} and dport = :{peer.getsockname()[1]}"
    shown = subprocess.run(["ss", "-Htno", "state", "established", connection], capture_output=True, text=True,
                           timeout=TIMEOUT).stdout
    timer = re.search(r"timer:\(keepalive,(?:(\d+)min)?(?:(\d+)(?:sec|\.))?(?:(\d+)ms)?,", shown)
    return timer and int(timer[1] or 0) * 60 + int(timer[2] or 0) + int(timer[3] or 0) / 1000


def injected(fault="", trace=None):
    """Keyword arguments for run or Sink that put the fault injector under the program:
    LD_PRELOAD natively, the Windows Sockets stand-in (which also writes the trace) on Windows."""
    if not ARGS.injector:
        raise unittest.SkipTest("no fault injector for this build")
    if trace and os.path.exists(trace):
        os.remove(trace)  # an earlier run's trace would pass for this one's
    env = dict(os.environ, TCPSINK_FAULT=fault, TCPSINK_TRACE=trace or "")
    if not windows():  # LD_PRELOAD splits at blanks; the library path does not
        folder, name = os.path.split(ARGS.injector)
        return {"env": dict(env, LD_PRELOAD=name, LD_LIBRARY_PATH=os.pathsep.join(filter(None, (
            folder, os.environ.get("LD_LIBRARY_PATH")))))}
    return {"env": env, "program": standin_copy()}


def standin_copy():
    """A copy of tcpsink.exe that imports the stand-in beside it in place of WS2_32.dll."""
    folder = os.path.join(ARGS.workdir, "standin")
    os.makedirs(folder, exist_ok=True)
    shutil.copy(ARGS.injector, folder)
    with open(ARGS.program, "rb") as exe:
        image, count = re.subn(rb"(?i)ws2_32\.dll", os.path.basename(ARGS.injector).encode(), exe.read())
    assert count == 1 and len(os.path.basename(ARGS.injector)) == len("ws2_32.dll"), "import not renamed"
    copy = os.path.join(folder, "tcpsink.exe")
    with open(copy + ".new", "wb") as out:
        out.write(image)
    os.replace(copy + ".new", copy)  # groups may run at once
    return copy


def run(*args, program=None, **popen):
    r = subprocess.run(ARGS.emulator + [program or ARGS.program, *args], capture_output=True, timeout=TIMEOUT,
                       **popen)
    return r.stdout, r.stderr, r.returncode


def client(port, data=b"", close=True):
    c = socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT)
    c.sendall(data)
    if close:
        c.close()
    return c


def sent_back(c):
    """What tcpsink sent a client before the connection ended: must be nothing. Closing
    with the client's bytes unread may reset the connection instead of closing it."""
    try:
        return c.recv(1)
    except ConnectionResetError:
        return b""
    finally:
        c.close()


def reset(c):
    c.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    c.close()


class Sink:
    """tcpsink as a child; its output is read from a pipe, by default its own stdout pipe."""

    def __init__(self, test, arg, port=None, prefix=None, program=None, reader=None, **popen):
        """arg: the one argument, or a list of them."""
        self.test, self.out, self.err, self.port, self.wrapped = test, b"", b"", port, prefix is not None
        self.stopped = False
        prefix = ARGS.emulator if prefix is None else prefix
        self.proc = subprocess.Popen(prefix + [program or ARGS.program, *([arg] if isinstance(arg, str) else arg)],
                                     **{"stdout": subprocess.PIPE, "stderr": subprocess.PIPE, **popen})
        self.reader = reader if reader is not None else self.proc.stdout and self.proc.stdout.fileno()
        test.addCleanup(self.stop)
        if port is not None and port not in wait_listening(self.proc, self.holder):
            test.fail(f"not listening on 0.0.0.0:{port} but on {listening_ports(self.holder())}: "
                      f"status {self.proc.poll()}")

    def holder(self):
        """The process whose sockets are tcpsink's: under Wine its server, under strace its tracee."""
        if windows():
            return wine_server()
        return wrapped(self.proc) if self.wrapped else self.proc.pid

    def read(self, size, timeout, chunk=65536, pause=0.0):
        """Reads until size bytes are in, the output ends, or no byte comes for timeout seconds;
        in all, for no longer than timeout for each 64 KiB awaited and twice the pauses."""
        awaited = max(0, size - len(self.out))
        deadline = time.monotonic() + timeout * (1 + awaited / 65536) + 2 * awaited / chunk * pause
        while len(self.out) < size and time.monotonic() < deadline and \
                select.select([self.reader], [], [], 0 if OVERDUE else timeout)[0]:
            data = os.read(self.reader, chunk)
            if not data:
                break
            self.out += data
            time.sleep(pause)

    def expect(self, expected, settle=0.05):
        """All output so far equals expected: nothing missing, nothing more within settle seconds."""
        self.read(len(expected), due())
        if len(self.out) < len(expected):
            OVERDUE.append(self.test.id())
        self.read(len(expected) + 1, settle)
        self.test.assertEqual(self.out, expected)

    def stop(self):
        """Ends tcpsink, killed if SIGTERM does not end it in time (a failure), and gives its
        status and standard error."""
        if self.proc.poll() is None:
            if self.wrapped:
                stop_traced(self.proc)
            self.proc.terminate()
        if self.stopped:
            return self.proc.returncode, self.err
        self.stopped = True
        try:
            rest, self.err = self.proc.communicate(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.communicate(timeout=TIMEOUT)
            self.test.fail(f"still running {TIMEOUT:g} s after SIGTERM: killed")
        self.out += rest or b""
        self.err = self.err or b""
        if windows():  # Wine's server closes the socket a moment after the process ends
            until(lambda: self.port not in listening_ports(wine_server()), due(), 0.001)
        sys.stderr.write(self.err.decode(errors="replace"))  # a sanitizer's report, say
        return self.proc.returncode, self.err


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

    def test_minus_one_is_port_65535(self):
        def attempt():  # a refused bind is tried again: another program may hold the port a moment
            sink = Sink(self, "-1")
            ports = wait_listening(sink.proc, sink.holder)
            if 65535 in ports:
                return "listening on {65535}"
            return None if sink.stop()[0] == 2 else f"listening on {ports}, status {sink.proc.returncode}"

        outcome = until(attempt, due(), 0.1)
        if outcome is None and bind_refused(65535, reuse=not windows()):
            self.skipTest("port 65535 is held by another program")
        self.assertEqual(outcome, "listening on {65535}")

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

    def test_bytes_urgent_close_and_reset_then_next_client(self):
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
        urgent = client(self.port, b"before \xff\xf4\xff", close=False)  # telnet's IAC IP IAC DM, DM urgent
        urgent.send(b"\xf2", socket.MSG_OOB)
        urgent.sendall(b" after")
        urgent.close()
        expected += CONNECTED + b"before \xff\xf4\xff\xf2 after" + DISCONNECT
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

    def test_silent_client_probed_after_15_seconds(self):
        if not shutil.which("ss"):
            self.skipTest("needs ss (Debian package iproute2)")
        started = time.monotonic()
        with client(self.port, b"x", close=False) as c:
            self.sink.expect(CONNECTED + b"x")
            timer, elapsed = keep_alive_timer(self.port, c), time.monotonic() - started
        self.assertIsNotNone(timer, "no keep-alive timer on the connection")
        self.assertTrue(15 - elapsed - 1 <= timer <= 15, f"first probe in {timer:g} s, {elapsed:.1f} s after connecting")

    def test_output_visible_at_once_and_kept_when_stopped(self):
        c = client(self.port, b"no line end", close=False)
        self.sink.expect(CONNECTED + b"no line end")
        status, err = self.sink.stop()
        c.close()
        self.assertEqual((self.sink.out, err), (CONNECTED + b"no line end", b""))
        if not windows():
            self.assertEqual(status, -signal.SIGTERM)


def traced_calls(path):
    """(call, arguments, result or None if unfinished) for each line of the injector's trace."""
    if not os.path.exists(path):
        raise AssertionError(f"no trace at {path}: the fault injector was not loaded")
    with open(path) as trace:
        return [re.fullmatch(r"(\w+)\((.*)\)(?: = (.+))?", line.rstrip("\n")).groups() for line in trace]


class Failures(unittest.TestCase):
    def test_second_instance_refused_and_restart_takes_port_back(self):
        port = free_port()
        first = Sink(self, str(port), port)
        # Wine answers WSAEACCES to a bind against an exclusive holder; Windows documents WSAEADDRINUSE.
        code = 10013 if windows() else errno.EADDRINUSE
        # Through the stand-in, whose closesocket clears the code as a Windows may.
        self.assertEqual(run(str(port), **injected()), (b"Could not bind socket to port: %d\n" % code, b"", 2))
        c = client(port, b"held", close=False)
        first.expect(CONNECTED + b"held")
        first.stop()
        c.close()  # tcpsink's side of it lingers in TIME_WAIT
        restarted = Sink(self, str(port), port)
        client(port, b"back")
        restarted.expect(CONNECTED + b"back" + DISCONNECT)

    def test_stdout_that_fails_ends_with_status_6(self):
        def file_of_30_bytes():  # the announcement fits, the seventh byte does not
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (30, 30))

        # The client stays connected: only the failed write can end tcpsink. Wine itself does
        # not start under the file limit.
        limited = [] if windows() else [(os.path.join(ARGS.workdir, "capture.bin"), file_of_30_bytes, b"x" * 16)]
        for path, limit, data in [("/dev/full", None, b"lost"), ("/dev/full", None, b"")] + limited:
            with self.subTest(stdout=path, sent=data):
                port = free_port()
                with open(path, "wb") as out:
                    sink = Sink(self, str(port), port, stdout=out, preexec_fn=limit)
                c = client(port, data, close=False)
                self.assertEqual(sink.proc.wait(due()), 6)
                self.assertEqual(sink.stop()[1], b"Could not write to standard output\n")
                self.assertEqual(sent_back(c), b"")

    def test_closed_standard_descriptors(self):
        fault = "WSAStartup:10091" if windows() else f"socket:{errno.EMFILE}"
        # Under Wine a closed descriptor 1 goes to whatever Wine opens first, most often a folder:
        # a folder is given here, so that the outcome does not hang on Wine's start-up.
        close = (lambda: os.dup2(os.open("/", os.O_RDONLY), 1)) if windows() else (lambda: os.close(1))
        closed_stdout = run("0", preexec_fn=close, **injected(fault))
        self.assertEqual(closed_stdout, (b"", b"Could not write to standard output\n", 6))  # 1 or 5: sockets ran
        if windows():  # no stdout at all: at once, before any socket call; no stderr: nothing to set
            standin = injected(fault)
            no_stdout = run("ie", standin.pop("program"), "0", program=ARGS.launcher, **standin)
            self.assertEqual(no_stdout, (b"", b"Could not write to standard output\n", 6))
            self.assertEqual(run("io", ARGS.program, program=ARGS.launcher), (USAGE, b"", 0))
            return  # Windows sockets are handles, never standard descriptors
        port = free_port()
        sink = Sink(self, str(port), port, preexec_fn=lambda: (os.close(0), os.close(2)))
        c = client(port, b"x", close=False)
        sink.expect(CONNECTED + b"x")
        self.assertEqual([os.readlink(f"/proc/{sink.proc.pid}/fd/{fd}") for fd in (0, 2)], ["/dev/null"] * 2)
        c.shutdown(socket.SHUT_WR)
        sink.expect(CONNECTED + b"x" + DISCONNECT)
        self.assertEqual(sent_back(c), b"")

    def test_full_non_blocking_stdout_is_waited_for(self):
        if windows():
            self.skipTest("a Windows pipe is non-blocking only where a Windows parent made it so")

        def full_pipe(filled=0):  # non-blocking, full after a few thousand bytes
            r, w = os.pipe()
            fcntl.fcntl(w, getattr(fcntl, "F_SETPIPE_SZ", 1031), 4096)  # named from Python 3.10 on
            os.set_blocking(w, False)
            os.write(w, b"x" * filled)
            self.addCleanup(os.close, r)
            return r, w

        r, w = full_pipe()
        port, data = free_port(), os.urandom(100_000)
        sink = Sink(self, str(port), port, reader=r, stdout=w)
        os.close(w)
        threading.Thread(target=client, args=(port, data), daemon=True).start()
        expected = CONNECTED + data + DISCONNECT
        sink.read(len(expected), due(), chunk=256, pause=0.002)  # slower than tcpsink writes
        self.assertEqual(sink.out, expected)
        bind_failed = b"Could not bind socket to port: %d\n" % errno.EADDRINUSE
        no_stdout = b"Could not write to standard output\n"
        for args, stream, ending, status in ((["1", "2"], "stdout", USAGE, 0), ([str(port)], "stdout", bind_failed, 2),
                                             (["0"], "stderr", no_stdout, 6)):
            with self.subTest(args=args, full=stream):  # full from the start: the ending message is waited for too
                r, w = full_pipe(4096)
                closed_stdout = (lambda: os.close(1)) if stream == "stderr" else None
                ending_sink = Sink(self, args, reader=r, preexec_fn=closed_stdout, **{stream: w})
                os.close(w)
                self.assertTrue(waits_in_poll(ending_sink.proc), "not waiting for the full pipe")
                ending_sink.expect(b"x" * 4096 + ending)
                self.assertEqual(ending_sink.proc.wait(TIMEOUT), status)

    def test_terminal_shows_each_byte_once(self):
        def terminal(blocking=False):  # raw, so the bytes compare as sent; a terminal can take part of a write
            leader, follower = os.openpty()
            tty.setraw(follower)
            os.set_blocking(follower, blocking)
            return leader, follower

        if windows():  # no non-blocking consoles; Wine makes the terminal a console, which adds escapes
            port, (leader, follower) = free_port(), terminal(blocking=True)
            self.addCleanup(os.close, leader)
            sink = Sink(self, str(port), port, reader=leader, stdout=follower)
            os.close(follower)
            client(port, b"typed")
            shown, seen = CONNECTED.replace(b"\n", b"\r\n") + b"typed", -1
            screen = lambda: re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", sink.out)  # noqa: E731
            while shown not in screen() and len(sink.out) > seen:  # until due() passes without a byte
                seen = len(sink.out)
                sink.read(len(sink.out) + 1, due())
            self.assertIn(shown, screen())
            return

        leader, follower = terminal()
        room = 0
        with contextlib.suppress(BlockingIOError):
            while True:
                room += os.write(follower, b"x")  # one byte at a time, as tcpsink writes them
        os.close(leader), os.close(follower)
        for early in range(0, 18, 3):  # the terminal fills inside the messages after the first client
            with self.subTest(early=early):
                port, (leader, follower) = free_port(), terminal()
                self.addCleanup(os.close, leader)
                sink = Sink(self, str(port), port, reader=leader, stdout=follower)
                os.close(follower)
                expected = b""
                for payload in [b"y" * (room - len(CONNECTED) - early), b"1", b"2", b"3", b"4"]:
                    client(port, payload)
                    expected += CONNECTED + payload + DISCONNECT
                # read only once tcpsink waits for the full terminal
                self.assertTrue(waits_in_poll(sink.proc), "not waiting for the full terminal")
                sink.expect(expected)
                sink.stop()

    def test_injected_failures(self):
        injected()
        codes = ({"WSAStartup": 10091, "socket": 10024, "listen": 10048, "accept": 10024} if windows() else
                 {"socket": errno.EMFILE, "listen": errno.EADDRINUSE, "accept": errno.EMFILE})
        endings = {"WSAStartup": (b"WSAStartup failed with error: 10091\n", 1), "socket": (b"Could not create socket", 5),
                   "listen": (b"Error in listening on port", 3), "accept": (b"Error in accepting connection", 4)}
        for call, code in codes.items():
            with self.subTest(call=call):
                out, err, status = run("0", **injected(f"{call}:{code}"))
                self.assertEqual((out, err, status), (endings[call][0], b"", endings[call][1]))

    def test_accept_retried_after_pending_connection_errors(self):
        names = ["ECONNABORTED", "EINTR", "EPROTO", "ENOPROTOOPT", "ENETDOWN", "ENETUNREACH", "EHOSTDOWN",
                 "EHOSTUNREACH", "ENONET", "EOPNOTSUPP"]
        codes = {"WSAECONNRESET": 10054, "WSAEINTR": 10004} if windows() else {n: getattr(errno, n) for n in names}
        injected()
        for name, code in codes.items():
            with self.subTest(error=name):
                port, trace = free_port(), os.path.join(ARGS.workdir, "retry.trace")
                sink = Sink(self, str(port), port, **injected(f"accept:{code}:1", trace))
                client(port, b"served")
                sink.expect(CONNECTED + b"served" + DISCONNECT)
                sink.stop()
                calls = [(call, result) for call, _, result in traced_calls(trace) if call in ("listen", "accept")]
                self.assertEqual(calls[:3], [("listen", "0"), ("accept", f"failed {code}"), ("listen", "0")])


class SystemCalls(unittest.TestCase):
    def test_one_receive_and_one_write_per_byte(self):
        if windows():
            self.skipTest("the native build's; the Windows calls are traced by the stand-in")
        refused = strace_refused()
        if refused:
            self.skipTest(refused)
        port, trace = free_port(), os.path.join(ARGS.workdir, "strace.txt")
        sink = Sink(self, str(port), port, prefix=["strace", "-qq", "-o", trace])
        client(port, b"abc")
        sink.expect(CONNECTED + b"abc" + DISCONNECT)
        sink.stop()
        with open(trace) as lines:
            calls = re.findall(r"^(\w+)\((.*)\) += (\S+)", lines.read(), re.M)
        calls = calls[[name for name, _, _ in calls].index("socket"):]
        role = {calls[0][2]: "listener", next(fd for name, _, fd in calls if name == "accept"): "client"}
        # Socket options in any order, named by socket; the other calls in order.
        options = {(role[args.split(", ")[0]], args.split(", ", 1)[1])
                   for name, args, _ in calls if name == "setsockopt"}
        option = "SOL_{}, [{}], 4".format
        self.assertEqual([name for name, _, _ in calls if name != "setsockopt"],
                         ["socket", "bind", "listen", "accept", "write"] + ["recvfrom", "write"] * 4 +
                         ["close", "listen", "accept"])
        # Keep-alive's idle time shows in the connection's timer; its interval and count only here.
        self.assertLessEqual({("listener", option("SOCKET, SO_REUSEADDR", 1)),
                              ("listener", option("SOCKET, SO_OOBINLINE", 1)),
                              ("client", option("TCP, TCP_KEEPINTVL", 15)), ("client", option("TCP, TCP_KEEPCNT", 10))},
                             options)

    def test_windows_sockets_calls(self):
        if not windows():
            self.skipTest("Windows only; the native build's calls are checked with strace")
        port, trace = free_port(), os.path.join(ARGS.workdir, "calls.trace")
        sink = Sink(self, str(port), port, **injected(trace=trace))
        client(port, b"abc")
        sink.expect(CONNECTED + b"abc" + DISCONNECT)
        deadline = time.monotonic() + due()
        while traced_calls(trace)[-1][0] != "accept" and time.monotonic() < deadline:
            time.sleep(0.01)  # the next listen and accept follow the disconnect text
        sink.stop()
        calls = traced_calls(trace)
        s, c = calls[1][2], calls[7][2]
        accept = ("accept", f"{s}, 0, 0")
        self.assertEqual(calls, [("WSAStartup", "0x0202", "0"), ("socket", "2, 1, 0", s),
                                 ("setsockopt", f"{s}, 65535, -5, 1, 4", "0"),  # SO_EXCLUSIVEADDRUSE
                                 ("setsockopt", f"{s}, 65535, 256, 1, 4", "0"),  # SO_OOBINLINE
                                 ("htons", str(port), str(socket.htons(port))), ("bind", f"{s}, 2:{port}:0, 16", "0"),
                                 ("listen", f"{s}, 5", "0"), accept + (c,),
                                 ("WSAIoctl", f"{c}, 0x98000004, 1, 15000, 15000", "0")] +  # SIO_KEEPALIVE_VALS
                         [("recv", f"{c}, 1, 0", "1")] * 3 +
                         [("recv", f"{c}, 1, 0", "0"), ("closesocket", c, "0"), ("listen", f"{s}, 5", "0"),
                          accept + (None,)])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--emulator", default="", help="command that runs the program, e.g. wine")
    parser.add_argument("--injector", default="", help="fault injector: LD_PRELOAD object or Windows Sockets stand-in")
    parser.add_argument("--workdir", default=os.getcwd())
    parser.add_argument("--probe", default="", help="under an emulator: a program of the build's kind that ends with 42")
    parser.add_argument("--launcher", default="", help="under an emulator: starts a program with the standard handles asked for")
    ARGS, rest = parser.parse_known_args()
    ARGS.emulator = ARGS.emulator.split()
    skip_where_wine_cannot_run(ARGS.emulator, ARGS.probe)
    result = unittest.main(argv=[sys.argv[0]] + rest, verbosity=2, failfast=True, exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    sys.exit(77 if len(result.skipped) == result.testsRun else 0)  # a group that ran nothing passed nothing
