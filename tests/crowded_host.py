#!/usr/bin/env python3
"""Runs a command as on a crowded container host, where the suite must pass as it does here:
ptrace refused, as a container's seccomp profile may refuse it, and other servers holding ports
that the tests may draw: IPv6 listeners on [::] that take the IPv4 port too (many Node and Java
servers) on half of them, IPv6-only ones on [::1] and IPv4 ones on 127.0.0.1, on port 65535 and
every STRIDEth port, as many as this user may open. Ends with the command's status.

usage: crowded_host.py [--stride N] COMMAND [ARGUMENT...]
"""
import argparse, ctypes, errno, platform, resource, socket, struct, subprocess, sys

# Each system call convention a program here may use: its seccomp architecture, ptrace's number.
PTRACE_CALLS = {"x86_64": [(0xC000003E, 101), (0x40000003, 26)], "aarch64": [(0xC00000B7, 117), (0x40000028, 26)]}


def refuse_ptrace():
    """Run in the child before the command: from then on ptrace fails with EPERM, for the command
    and everything it starts."""
    load, jump_if_equal, give = 0x20, 0x15, 0x06  # classic BPF: load word, jump if equal, return

    def instruction(code, value, skip_if_not=0):
        return struct.pack("HBBI", code, 0, skip_if_not, value)

    program = b""
    for architecture, number in PTRACE_CALLS[platform.machine()]:
        program += (instruction(load, 4) + instruction(jump_if_equal, architecture, 3) + instruction(load, 0) +
                    instruction(jump_if_equal, number, 1) + instruction(give, 0x00050000 | errno.EPERM))
    program += instruction(give, 0x7FFF0000)  # allowed

    class Filter(ctypes.Structure):
        _fields_ = [("length", ctypes.c_ushort), ("instructions", ctypes.c_char_p)]

    libc = ctypes.CDLL(None, use_errno=True)
    no_new_privileges, seccomp, mode_filter = 38, 22, 2
    if libc.prctl(no_new_privileges, 1, 0, 0, 0) or \
            libc.prctl(seccomp, mode_filter, ctypes.byref(Filter(len(program) // 8, program)), 0, 0):
        raise OSError(ctypes.get_errno(), "seccomp filter refused")


def hold_ports(stride):
    """Listeners on 65535 and every strideth port, the kinds in turn; a port this user may not
    bind, or another program's, is passed over."""
    ports = [65535] + list(range(stride, 65535, stride))
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, len(ports) + soft), hard))
    kinds = [(socket.AF_INET6, "::", 0), (socket.AF_INET6, "::1", 1), (socket.AF_INET6, "::", 0),
             (socket.AF_INET, "127.0.0.1", None)]
    held = {address: [] for _, address, _ in kinds}
    for index, port in enumerate(ports):
        family, address, v6only = kinds[index % len(kinds)]
        try:
            s = socket.socket(family)
        except OSError:  # no more descriptors
            break
        if v6only is not None:
            s.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, v6only)
        try:
            s.bind((address, port))
            s.listen(1)
            held[address].append(s)
        except OSError:
            s.close()
    return held, soft


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--stride", type=int, default=8)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    if platform.machine() not in PTRACE_CALLS:
        sys.exit(f"crowded_host.py: ptrace's number on {platform.machine()} is not known here")
    held, soft = hold_ports(args.stride)
    print(f"crowded host: ptrace refused; listening on 65535 (dual-stack) and every {args.stride}th port: " +
          ", ".join(f"{len(sockets)} on {address}" for address, sockets in held.items()), file=sys.stderr, flush=True)

    def child():
        resource.setrlimit(resource.RLIMIT_NOFILE, (soft, resource.getrlimit(resource.RLIMIT_NOFILE)[1]))
        refuse_ptrace()

    status = subprocess.run(args.command, preexec_fn=child).returncode
    sys.exit(status if status >= 0 else 128 - status)


if __name__ == "__main__":
    main()
