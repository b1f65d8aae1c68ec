// POSIX: the Windows Sockets 2 names that tcpsink uses, written over POSIX
// sockets, and the helpers whose work differs between the platforms.
#ifndef TCPSINK_PLATFORM_POSIX_H
#define TCPSINK_PLATFORM_POSIX_H

#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdio.h>
#include <sys/socket.h>
#include <unistd.h>

typedef int SOCKET;
constexpr SOCKET INVALID_SOCKET = -1;

// Nothing in the start-up record is ever read.
typedef struct {
    unsigned short wVersion;
} WSADATA;

inline unsigned short MAKEWORD(unsigned char low, unsigned char high)
{
    return static_cast<unsigned short>(low | (high << 8));
}

// POSIX sockets need no start-up.
inline int WSAStartup(unsigned short version, WSADATA *data)
{
    data->wVersion = version;
    return 0;
}

inline int WSAGetLastError()
{
    return errno;
}

inline int closesocket(SOCKET s)
{
    return close(s);
}

// A closed standard descriptor would be the next one open() or socket()
// hands out: the listening or a client socket would become stdout, and the
// client's bytes would go back to the network. A closed stdin or stderr is
// given the null device; a closed stdout means nothing could ever be shown.
// Unbuffered: a pipe or file shows every byte at once, and a stopped process
// loses nothing held back in a buffer. setvbuf cannot fail this early.
inline bool null_device_if_closed(int fd)
{
    return fcntl(fd, F_GETFD) >= 0 || open("/dev/null", O_RDWR) == fd;
}

inline bool prepare_standard_streams()
{
    // With stdout open, open() takes the lowest closed descriptor: 0, then 2.
    if (fcntl(STDOUT_FILENO, F_GETFD) < 0 || !null_device_if_closed(STDIN_FILENO) ||
        !null_device_if_closed(STDERR_FILENO)) {
        return false;
    }
    (void)setvbuf(stdout, nullptr, _IONBF, 0);
    return true;
}

// After a failed write: whether the stream (stdout or stderr) was only full
// for now. A non-blocking descriptor, inherited from the parent, answers a
// full pipe, terminal or socket with EAGAIN; then wait until it takes more,
// so the rest can be written. Any other failure is final.
inline bool stream_takes_more_later(FILE *stream)
{
    switch (errno) {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN // one code on Linux, two on some systems
    case EWOULDBLOCK:
#endif
        break;
    default:
        return false;
    }
    clearerr(stream);
    pollfd out = {fileno(stream), POLLOUT, 0};
    while (poll(&out, 1, -1) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true; // on POLLERR or POLLHUP the next write fails for good
}

// POSIX keeps a port from a new bind while its old connections linger in
// TIME_WAIT; the option lets a restarted tcpsink take it back at once, and
// still refuses a port that a listener holds. If it cannot be set, bind still
// says whether the port can be had.
inline void set_port_rule(SOCKET listening)
{
    const int reuse = 1;
    (void)setsockopt(listening, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
}

// Keep-alive (see platform.h). Linux, the BSDs and macOS take the timing per
// socket; macOS names the idle time TCP_KEEPALIVE. Where a system has none of
// these (OpenBSD), its own timing holds. Each option that cannot be set
// leaves the connection served as before, so no result is looked at.
inline void give_up_on_vanished_client(SOCKET client)
{
    const int on = 1;
    (void)setsockopt(client, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
#if defined(TCP_KEEPIDLE)
    (void)setsockopt(client, IPPROTO_TCP, TCP_KEEPIDLE, &KEEPALIVE_IDLE_SECONDS,
                     sizeof KEEPALIVE_IDLE_SECONDS);
#elif defined(TCP_KEEPALIVE)
    (void)setsockopt(client, IPPROTO_TCP, TCP_KEEPALIVE, &KEEPALIVE_IDLE_SECONDS,
                     sizeof KEEPALIVE_IDLE_SECONDS);
#endif
#ifdef TCP_KEEPINTVL
    (void)setsockopt(client, IPPROTO_TCP, TCP_KEEPINTVL, &KEEPALIVE_INTERVAL_SECONDS,
                     sizeof KEEPALIVE_INTERVAL_SECONDS);
#endif
#ifdef TCP_KEEPCNT
    (void)setsockopt(client, IPPROTO_TCP, TCP_KEEPCNT, &KEEPALIVE_PROBES, sizeof KEEPALIVE_PROBES);
#endif
}

// accept failures caused by the one pending connection, not by the listener:
// the peer aborted it, the call was interrupted, or Linux passed on a network
// error of the new connection (see accept(2)).
inline bool accept_error_is_transient(int code)
{
    switch (code) {
    case ECONNABORTED:
    case EINTR:
    case EPROTO:
    case ENOPROTOOPT:
    case ENETDOWN:
    case ENETUNREACH:
    case EHOSTDOWN:
    case EHOSTUNREACH:
#ifdef ENONET // Linux only
    case ENONET:
#endif
    case EOPNOTSUPP:
        return true;
    default:
        return false;
    }
}

#endif
