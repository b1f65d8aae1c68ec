#!/usr/bin/env python3
"""Side-by-side benchmark of tcpsink and the sinks a user would otherwise reach
for: latency, throughput, peak memory and CPU per MiB, each with stdout on a
pipe that this script reads. The sinks are measured in interleaved rounds, the
order reversed every other round, so that none alone pays for the machine
warming up; with two or more CPUs the sinks run on one and this script, the
client, on another. Not a test; prints one Markdown table.

usage: bench.py PATH/TO/tcpsink [--size MiB] [--samples N] [--rounds N]
"""
import argparse, os, platform, re, select, shutil, socket, statistics, subprocess, sys, tempfile, threading, time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
sys.dont_write_bytecode = True  # the source tree stays as it was
from test_tcpsink import free_port, stop_traced, strace_refused, wait_listening, wrapped  # noqa: E402

TIMEOUT = 120.0
GNU_TIME = "/usr/bin/time"
TCPSINK_ANNOUNCEMENT = b"connected, reading data\n"


def peers(tcpsink):
    """(name, command for a port, bytes it writes before a client's data) for each installed sink."""
    found = [("tcpsink", lambda p: [tcpsink, str(p)], TCPSINK_ANNOUNCEMENT)]
    if shutil.which("socat"):
        found.append(("socat", lambda p: ["socat", "-u", f"TCP-LISTEN:{p},reuseaddr", "STDOUT"], b""))
    nc_help = subprocess.run(["nc", "-h"], capture_output=True).stderr if shutil.which("nc") else b""
    if b"OpenBSD" in nc_help:
        found.append(("nc (OpenBSD)", lambda p: ["nc", "-d", "-l", "-k", str(p)], b""))
    if shutil.which("ncat"):
        found.append(("ncat", lambda p: ["ncat", "-l", "-k", "--recv-only", str(p)], b""))
    names = [name for name, _, _ in found]
    for wanted in ("socat", "nc (OpenBSD)", "ncat"):
        if wanted not in names:
            print(f"skipped {wanted}: not installed", file=sys.stderr)
    return found


SINK_CPUS = None  # the CPUs the sinks run on, apart from the client's, where there are two or more


def start(command, port, wrapper=False):
    """The sink, listening on port; under a wrapper (GNU time, strace), the wrapper, whose child
    holds the socket. One that does not listen is ended."""
    pin = (lambda: os.sched_setaffinity(0, SINK_CPUS)) if SINK_CPUS else None
    proc = subprocess.Popen(command(port), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, preexec_fn=pin)
    if port not in wait_listening(proc, (lambda: wrapped(proc)) if wrapper else None):
        end(proc)
        raise RuntimeError(f"{command(port)} did not listen")
    return proc


def end(proc):
    """Ends a sink, and the sink a wrapper runs, whatever went wrong."""
    if proc.poll() is None:
        stop_traced(proc)
        proc.kill()
    proc.communicate(timeout=TIMEOUT)


def read_exactly(proc, size):
    fd, got = proc.stdout.fileno(), 0
    while got < size:
        if not select.select([fd], [], [], TIMEOUT)[0]:
            raise RuntimeError("sink stopped writing")
        chunk = os.read(fd, min(1 << 20, size - got))
        if not chunk:
            raise RuntimeError("sink closed its output")
        got += len(chunk)


def latency(command, prefix, samples):
    port = free_port()
    proc = start(command, port)
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT) as c:
            c.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            c.sendall(b"x")
            read_exactly(proc, len(prefix) + 1)
            times = []
            for _ in range(samples):
                t0 = time.perf_counter_ns()
                c.send(b"x")
                read_exactly(proc, 1)
                times.append((time.perf_counter_ns() - t0) / 1000)
    finally:
        end(proc)
    times.sort()
    return statistics.median(times), times[min(len(times) - 1, int(len(times) * 0.99))]


def measured(command, figures):
    """command under GNU time, which reaps it with wait4 and writes its peak RSS (KiB) to figures,
    whether it ends by itself or is stopped. Not this script's own wait4 for the peak: a child of
    this script starts as a copy of it, and ru_maxrss counts that copy."""
    return lambda port: [GNU_TIME, "-f", "%M", "-o", figures, *command(port)]


def stop_and_measure(proc, figures):
    """(peak RSS in KiB, user plus system CPU seconds) of the sink that GNU time runs. The CPU time
    is wait4's for GNU time, which counts the sink it reaped in microseconds (GNU time's own
    report has centiseconds), and GNU time's own start-up, about 1 ms here."""
    stop_traced(proc)  # unless it has ended by itself
    proc.stdout.close()
    _, proc.returncode, usage = os.wait4(proc.pid, 0)  # reaped here, not by Popen
    with open(figures) as report:  # after "Command terminated by signal 15", if it was stopped
        peak_kib = int(report.read().split()[-1])
    return peak_kib, usage.ru_utime + usage.ru_stime


def throughput(command, prefix, payload):
    port, figures = free_port(), tempfile.NamedTemporaryFile(suffix=".time")
    proc = start(measured(command, figures.name), port, wrapper=True)
    try:
        c = socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT)
        sender = threading.Thread(target=lambda: (c.sendall(payload), c.close()))
        t0 = time.perf_counter()
        sender.start()
        read_exactly(proc, len(prefix) + len(payload))
        seconds = time.perf_counter() - t0
        sender.join()
        hwm_kib, cpu = stop_and_measure(proc, figures.name)
    finally:
        end(proc)
    mib = len(payload) / (1 << 20)
    return mib / seconds, hwm_kib, cpu / mib


def syscalls_per_byte(tcpsink, size):
    """System calls per byte received, or why strace cannot count them here."""
    refused = strace_refused()
    if refused:
        return refused
    port = free_port()
    with tempfile.NamedTemporaryFile(suffix=".strace") as out:
        proc = start(lambda p: ["strace", "-c", "-o", out.name, tcpsink, str(p)], port, wrapper=True)
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT) as c:
                c.sendall(os.urandom(size))
            read_exactly(proc, len(TCPSINK_ANNOUNCEMENT) + size)
            stop_traced(proc)
            proc.communicate(timeout=TIMEOUT)
        finally:
            end(proc)
        with open(out.name) as counts:
            total = re.search(r"\s(\d+)\s+(?:\d+\s+)?total", counts.read())
    return f"{int(total.group(1)) / size:.4f}"


def pin_client():
    """Keeps this script on one CPU and gives the sinks the others; says where each runs."""
    global SINK_CPUS
    cpus = sorted(os.sched_getaffinity(0))
    if len(cpus) < 2:
        return f"one CPU ({cpus[0]}) for client and sinks"
    os.sched_setaffinity(0, {cpus[0]})
    SINK_CPUS = set(cpus[1:])
    return f"client on CPU {cpus[0]}, sinks on CPU {', '.join(map(str, cpus[1:]))}"


def middle(values):
    """The median of the rounds' figures and their spread, lowest to highest."""
    return statistics.median(values), min(values), max(values)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tcpsink")
    parser.add_argument("--size", type=float, default=4, help="throughput payload in MiB")
    parser.add_argument("--samples", type=int, default=1000, help="latency samples per round")
    parser.add_argument("--rounds", type=int, default=4, help="rounds over all sinks, order reversed every other")
    args = parser.parse_args()
    if not os.access(GNU_TIME, os.X_OK):
        sys.exit(f"needs GNU time as {GNU_TIME} (Debian package time) to measure memory and CPU")
    placement = pin_client()
    payload = os.urandom(int(args.size * (1 << 20)))
    sinks = peers(os.path.abspath(args.tcpsink))
    figures, failed = {name: [] for name, _, _ in sinks}, {}
    for round_ in range(args.rounds):
        for name, command, prefix in sinks if round_ % 2 == 0 else sinks[::-1]:
            if name in failed:
                continue
            try:
                figures[name].append(latency(command, prefix, args.samples) + throughput(command, prefix, payload))
            except (RuntimeError, OSError) as error:  # a sink that fails must not end the run
                failed[name] = f"| {name} | {error} | | | | | |"
    rows = [(name, *(middle([r[i] for r in figures[name]]) for i in range(5))) for name, _, _ in sinks
            if name not in failed]

    print(f"Machine: {platform.node()}, {os.cpu_count()} cores, {platform.platform()}, {placement}; "
          f"payload {args.size:g} MiB, {args.samples} latency samples, {args.rounds} rounds, over loopback\n")
    print("Latency: one byte sent with TCP_NODELAY until it is read from the sink's stdout pipe. "
          "Throughput: from the first byte sent until the last is read. Peak RSS and CPU (user plus "
          "system): the throughput run's own resource usage from wait4, however the sink ended, "
          "through GNU time. The sink starts as a copy of GNU time, so the peak is at least that "
          "copy's (about 1 MiB); the CPU time includes GNU time's own start-up (about 1 ms). Each "
          "figure is the median of the rounds' figures; the spread is their lowest and highest.\n")
    print("| sink | latency median (µs) | its spread (µs) | latency p99 (µs) | throughput (MiB/s) | "
          "peak RSS (KiB) | CPU s per MiB |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for name, median, p99, mibps, hwm, cpu in rows:
        print(f"| {name} | {median[0]:.1f} | {median[1]:.1f}–{median[2]:.1f} | {p99[0]:.1f} | {mibps[0]:.2f} | "
              f"{hwm[0]:.0f} | {cpu[0]:.4f} |")
    print("\n".join(failed.values()))
    if not rows or rows[0][0] != "tcpsink":
        sys.exit("tcpsink itself could not be measured")
    ours = [figure[0] for figure in rows[0][1:]]
    print()
    for name, *theirs in rows[1:]:
        median, p99, mibps, hwm, cpu = (figure[0] for figure in theirs)
        print(f"- tcpsink / {name}: latency median {ours[0] / median:.2f}x, p99 {ours[1] / p99:.2f}x, "
              f"throughput {ours[2] / mibps:.3f}x, peak RSS {ours[3] / hwm:.2f}x, CPU per MiB "
              + (f"{ours[4] / cpu:.0f}x" if cpu else "n/a (no CPU time counted)"))
    print("- tcpsink system calls per received byte (strace -c, 100,000 bytes): " +
          syscalls_per_byte(os.path.abspath(args.tcpsink), 100_000))
    if failed:
        sys.exit("not every sink could be measured")


if __name__ == "__main__":
    main()
