// Test-only stand-in for Windows Sockets: the Windows counterpart of the
// LD_PRELOAD injector and of strace. The suite gives a copy of tcpsink.exe
// this DLL in place of WS2_32.dll (same name length) and puts it beside the
// copy. Each call goes on to the real ws2_32 and is written, with its
// arguments and its result, to the file that TCPSINK_TRACE names; a call that
// TCPSINK_FAULT names fails with that Windows Sockets code (see fault_rule.h).
#define WINSOCK_API_LINKAGE __declspec(dllexport)
#include <winsock2.h>

#include <mstcpip.h>

#include "fault_rule.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

template <typename Function> static Function real(const char *name)
{
    static const HMODULE ws2_32 = LoadLibraryA("ws2_32.dll");
    // Through void (*)(): GetProcAddress's own type matches no function.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(ws2_32, name)));
}

// Flushed at once, so each line stands even if tcpsink is stopped in its next
// call. Keeps the thread's last error, which is WSAGetLastError's answer.
static void trace(const char *format, ...)
{
    const DWORD last_error = GetLastError();
    static FILE *const file = [] {
        const char *path = getenv("TCPSINK_TRACE");
        return path == nullptr ? nullptr : fopen(path, "w");
    }();
    if (file != nullptr) {
        va_list arguments;
        va_start(arguments, format);
        (void)vfprintf(file, format, arguments);
        va_end(arguments);
        (void)fflush(file);
    }
    SetLastError(last_error);
}

static int traced(int result)
{
    trace(" = %d\n", result);
    return result;
}

static SOCKET traced(SOCKET result)
{
    trace(" = %lld\n", static_cast<long long>(result));
    return result;
}

static long long handle(SOCKET s)
{
    return static_cast<long long>(s);
}

// A call that fails as Windows Sockets reports it: the code is left for
// WSAGetLastError.
static bool failed(const char *call)
{
    const int code = injected_fault(call);
    if (code == 0) {
        return false;
    }
    trace(" = failed %d\n", code);
    real<void(WSAAPI *)(int)>("WSASetLastError")(code);
    return true;
}

int WSAAPI WSAStartup(WORD version, LPWSADATA data)
{
    trace("WSAStartup(0x%04x)", version);
    const int code = injected_fault("WSAStartup");
    if (code != 0) {
        return traced(code); // start-up reports its error as its result
    }
    return traced(real<int(WSAAPI *)(WORD, LPWSADATA)>("WSAStartup")(version, data));
}

SOCKET WSAAPI socket(int family, int type, int protocol)
{
    trace("socket(%d, %d, %d)", family, type, protocol);
    if (failed("socket")) {
        return INVALID_SOCKET;
    }
    return traced(real<SOCKET(WSAAPI *)(int, int, int)>("socket")(family, type, protocol));
}

// The value as the int that every option tcpsink sets is.
int WSAAPI setsockopt(SOCKET s, int level, int option, const char *value, int length)
{
    int number = 0;
    memcpy(&number, value, length == sizeof number ? sizeof number : 0);
    trace("setsockopt(%lld, %d, %d, %d, %d)", handle(s), level, option, number, length);
    return traced(real<int(WSAAPI *)(SOCKET, int, int, const char *, int)>("setsockopt")(
        s, level, option, value, length));
}

u_short WSAAPI htons(u_short value)
{
    trace("htons(%u)", value);
    const u_short result = real<u_short(WSAAPI *)(u_short)>("htons")(value);
    trace(" = %u\n", result);
    return result;
}

// The address as family:port:address, the port in host order.
int WSAAPI bind(SOCKET s, const sockaddr *address, int length)
{
    const auto *in = reinterpret_cast<const sockaddr_in *>(address);
    const auto *port = reinterpret_cast<const unsigned char *>(&in->sin_port);
    trace("bind(%lld, %d:%u:%lu, %d)", handle(s), in->sin_family, port[0] * 256U + port[1],
          in->sin_addr.s_addr, length);
    return traced(real<int(WSAAPI *)(SOCKET, const sockaddr *, int)>("bind")(s, address, length));
}

int WSAAPI WSAGetLastError()
{
    trace("WSAGetLastError()");
    return traced(real<int(WSAAPI *)()>("WSAGetLastError")());
}

// A closesocket that succeeds clears the error code, as a Windows may (the
// WSAGetLastError page warns of it) and Wine's does not: a code read after
// it is lost.
int WSAAPI closesocket(SOCKET s)
{
    trace("closesocket(%lld)", handle(s));
    const int result = real<int(WSAAPI *)(SOCKET)>("closesocket")(s);
    if (result == 0) {
        real<void(WSAAPI *)(int)>("WSASetLastError")(0);
    }
    return traced(result);
}

int WSAAPI listen(SOCKET s, int backlog)
{
    trace("listen(%lld, %d)", handle(s), backlog);
    if (failed("listen")) {
        return SOCKET_ERROR;
    }
    return traced(real<int(WSAAPI *)(SOCKET, int)>("listen")(s, backlog));
}

SOCKET WSAAPI accept(SOCKET s, sockaddr *address, int *length)
{
    trace("accept(%lld, %s, %s)", handle(s), address == nullptr ? "0" : "address",
          length == nullptr ? "0" : "length");
    if (failed("accept")) {
        return INVALID_SOCKET;
    }
    return traced(real<SOCKET(WSAAPI *)(SOCKET, sockaddr *, int *)>("accept")(s, address, length));
}

int WSAAPI recv(SOCKET s, char *buffer, int length, int flags)
{
    trace("recv(%lld, %d, %d)", handle(s), length, flags);
    return traced(real<int(WSAAPI *)(SOCKET, char *, int, int)>("recv")(s, buffer, length, flags));
}

// The keep-alive timing as its three values; other codes by number alone.
int WSAAPI WSAIoctl(SOCKET s, DWORD code, void *in, DWORD in_length, void *out, DWORD out_length,
                    DWORD *returned, WSAOVERLAPPED *overlapped,
                    LPWSAOVERLAPPED_COMPLETION_ROUTINE completion)
{
    trace("WSAIoctl(%lld, 0x%08lx", handle(s), static_cast<unsigned long>(code));
    if (code == SIO_KEEPALIVE_VALS && in_length == sizeof(tcp_keepalive)) {
        const auto *timing = static_cast<const tcp_keepalive *>(in);
        trace(", %lu, %lu, %lu", static_cast<unsigned long>(timing->onoff),
              static_cast<unsigned long>(timing->keepalivetime),
              static_cast<unsigned long>(timing->keepaliveinterval));
    }
    trace(")");
    return traced(real<int(WSAAPI *)(SOCKET, DWORD, void *, DWORD, void *, DWORD, DWORD *,
                                     WSAOVERLAPPED *, LPWSAOVERLAPPED_COMPLETION_ROUTINE)>(
        "WSAIoctl")(s, code, in, in_length, out, out_length, returned, overlapped, completion));
}
