// Windows: the real Windows Sockets 2, and the few helpers whose work differs
// between the platforms, written for Windows and its C runtime.
#ifndef TCPSINK_PLATFORM_WINDOWS_H
#define TCPSINK_PLATFORM_WINDOWS_H

#include <stdio.h>
#include <winsock2.h>

#include <mstcpip.h>

#include <fcntl.h>
#include <io.h>

// Whether there is a stdout to write to. A process whose parent gave it no
// standard output has no stream behind stdout: _fileno then answers -2 (-1 in
// older runtimes), which is no descriptor, or, where the runtime still gives
// descriptor 1, _get_osfhandle answers -1 or -2. Wine, when the parent closed
// descriptor 1, gives that descriptor to the directory it opens at start, and
// every write to it fails.
inline bool stdout_is_usable()
{
    const int descriptor = _fileno(stdout);
    // No descriptor, no handle: _get_osfhandle is not asked about one.
    const intptr_t out = descriptor < 0 ? -1 : _get_osfhandle(descriptor);
    if (out == -1 || out == -2) {
        return false;
    }
    // A console may not answer the question; it is usable.
    FILE_STANDARD_INFO info = {}; // zero, should a call that succeeds leave it unfilled
    return GetFileInformationByHandleEx(reinterpret_cast<HANDLE>(out), FileStandardInfo, &info,
                                        sizeof info) == 0 ||
           info.Directory == 0;
}

// Binary mode: text mode would turn each received line feed into CR LF, and
// the one line on stderr would end in CR LF too. Unbuffered: a redirected
// stdout shows every byte at once and a stopped process loses nothing.
// Sockets are handles here, never standard descriptors, so nothing else needs
// care. Neither _setmode nor setvbuf fails on an open stream; what can be
// missing is a stream itself, and a missing stderr only has no mode to set.
inline bool prepare_standard_streams()
{
    const int errors = _fileno(stderr);
    if (errors >= 0) {
        (void)_setmode(errors, _O_BINARY); // first: it may have to say stdout is gone
    }
    if (!stdout_is_usable()) {
        return false;
    }
    (void)_setmode(_fileno(stdout), _O_BINARY);
    (void)setvbuf(stdout, nullptr, _IONBF, 0);
    return true;
}

// After a failed write: whether the stream (stdout or stderr) was only full
// for now. Files and pipes block unless the parent made its pipe non-blocking
// (PIPE_NOWAIT), and the C runtime offers no wait for one: every failed write
// is taken as final, and tcpsink ends with status 6.
inline bool stream_takes_more_later(FILE *)
{
    return false;
}

// Windows lets another socket of the same user bind a specific address of
// tcpsink's port (127.0.0.1, say) beside its wildcard listener, with no
// option at all (another user's is refused), and that socket then takes the
// local clients. SO_EXCLUSIVEADDRUSE, Microsoft's advice for servers, keeps
// the port for tcpsink alone; SO_REUSEADDR would let a second program share
// it. If it cannot be set, bind still says whether the port can be had.
inline void set_port_rule(SOCKET listening)
{
    const int exclusive = 1;
    (void)setsockopt(listening, SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                     reinterpret_cast<const char *>(&exclusive), sizeof exclusive);
}

// Keep-alive (see platform.h). The timing is set per connection with
// SIO_KEEPALIVE_VALS, which every Windows from Vista on takes (TCP_KEEPIDLE
// only from Windows 10, version 1709); Vista and later send 10 probes. Under
// Wine the values become Linux's options, with Linux's own count. If it
// cannot be set, the connection is served as before, so the result is not
// looked at.
inline void give_up_on_vanished_client(SOCKET client)
{
    tcp_keepalive timing = {1, KEEPALIVE_IDLE_SECONDS * 1000UL,
                            KEEPALIVE_INTERVAL_SECONDS * 1000UL};
    DWORD returned = 0; // a call without overlapping must have a place for it
    (void)WSAIoctl(client, SIO_KEEPALIVE_VALS, &timing, sizeof timing, nullptr, 0, &returned,
                   nullptr, nullptr);
}

// accept failures caused by the one pending connection, not by the listener:
// the peer reset it before it was accepted, or the call was interrupted.
inline bool accept_error_is_transient(int code)
{
    return code == WSAECONNRESET || code == WSAEINTR;
}

#endif
