// Test-only shared object, loaded with LD_PRELOAD: makes socket, listen or
// accept fail the way a real system will not on demand (see fault_rule.h),
// and writes each of these calls with its result to the file TCPSINK_TRACE
// names, as the Windows Sockets stand-in does, so a test can see its fault
// was injected.
#include "fault_rule.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstdio>

struct sockaddr;

// Flushed at once, so each line stands even if tcpsink is stopped next. Keeps
// errno, which the caller reads.
static int traced(const char *call, int fd, int result)
{
    const int code = errno;
    static FILE *const file = [] {
        const char *path = getenv("TCPSINK_TRACE");
        return path == nullptr || *path == '\0' ? nullptr : fopen(path, "w");
    }();
    if (file != nullptr) {
        if (result < 0) {
            (void)fprintf(file, "%s(%d) = failed %d\n", call, fd, code);
        } else {
            (void)fprintf(file, "%s(%d) = %d\n", call, fd, result);
        }
        (void)fflush(file);
    }
    errno = code;
    return result;
}

static bool inject(const char *call)
{
    const int code = injected_fault(call);
    if (code == 0) {
        return false;
    }
    errno = code;
    return true;
}

template <typename Function> static Function real(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

extern "C" int socket(int domain, int type, int protocol)
{
    return traced(
        "socket", -1,
        inject("socket") ? -1 : real<int (*)(int, int, int)>("socket")(domain, type, protocol));
}

extern "C" int listen(int fd, int backlog)
{
    return traced("listen", fd,
                  inject("listen") ? -1 : real<int (*)(int, int)>("listen")(fd, backlog));
}

extern "C" int accept(int fd, sockaddr *address, unsigned int *length)
{
    return traced("accept", fd,
                  inject("accept") ? -1
                                   : real<int (*)(int, sockaddr *, unsigned int *)>("accept")(
                                         fd, address, length));
}
