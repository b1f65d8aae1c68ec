// Test-only shared object, loaded with LD_PRELOAD: makes socket, listen or
// accept fail the way a real system will not on demand (see fault_rule.h).
#include "fault_rule.h"

#include <dlfcn.h>

#include <cerrno>

struct sockaddr;

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
    return inject("socket") ? -1 : real<int (*)(int, int, int)>("socket")(domain, type, protocol);
}

extern "C" int listen(int fd, int backlog)
{
    return inject("listen") ? -1 : real<int (*)(int, int)>("listen")(fd, backlog);
}

extern "C" int accept(int fd, sockaddr *address, unsigned int *length)
{
    return inject("accept")
               ? -1
               : real<int (*)(int, sockaddr *, unsigned int *)>("accept")(fd, address, length);
}
