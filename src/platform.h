// The few Windows Sockets 2 names tcpsink uses. On Windows they are the real
// ones; elsewhere they are written here over POSIX sockets, so the entry and
// the loop read the same on every platform.
#ifndef TCPSINK_PLATFORM_H
#define TCPSINK_PLATFORM_H

#ifdef _WIN32

// The C runtime's own printf, not mingw-w64's replacement. To an unbuffered
// stdout, Windows' msvcrt writes one character per _write call, as the
// replacement does; Wine's msvcrt writes each call in one piece. Either way
// every byte has reached stdout when printf returns.
#define __USE_MINGW_ANSI_STDIO 0

#include <stdio.h>
#include <winsock2.h>

#include <fcntl.h>
#include <io.h>

// Binary mode: text mode would turn each received line feed into CR LF.
// Unbuffered: a redirected stdout shows every byte at once and a stopped
// process loses nothing. Neither call fails on an open stdout, and without
// one there is nothing to show.
inline void prepare_stdout()
{
    (void)_setmode(_fileno(stdout), _O_BINARY);
    (void)setvbuf(stdout, nullptr, _IONBF, 0);
}

// In binary mode msvcrt writes wprintf's wide text as raw UTF-16 (Windows and
// Wine alike). The text is ASCII, so narrow printf writes the very bytes that
// the wide text stands for.
inline void print_startup_failure(long code)
{
    (void)printf("WSAStartup failed with error: %ld\n", code);
}

// Windows rebinds a port over its old connections without the option, and with
// it a second socket may bind a port that a listener holds, sharing it. Left
// unset, a second tcpsink on the same port fails its bind as it should.
inline void allow_address_reuse(SOCKET)
{
}

// accept failures caused by the one pending connection, not by the listener:
// the peer reset it before it was accepted, or the call was interrupted.
inline bool accept_error_is_transient(int code)
{
    return code == WSAECONNRESET || code == WSAEINTR;
}

#else

#include <errno.h>
#include <netinet/in.h>
#include <stdio.h>
#include <sys/socket.h>
#include <unistd.h>
#include <wchar.h>

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

// Unbuffered: a pipe or file shows every byte at once, and a stopped process
// loses nothing held back in a buffer. setvbuf cannot fail this early.
inline void prepare_stdout()
{
    (void)setvbuf(stdout, nullptr, _IONBF, 0);
}

// Never called here, as start-up cannot fail; wide output gives the same bytes
// as narrow for this ASCII text.
inline void print_startup_failure(long code)
{
    (void)wprintf(L"WSAStartup failed with error: %ld\n", code);
}

// POSIX keeps a port from a new bind while its old connections linger in
// TIME_WAIT; the option lets a restarted tcpsink take it back at once, and
// still refuses a port that a listener holds. If it cannot be set, bind still
// says whether the port can be had.
inline void allow_address_reuse(SOCKET listening)
{
    const int reuse = 1;
    (void)setsockopt(listening, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
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

#endif
