// Test-only shared object, loaded with LD_PRELOAD: makes socket, listen or
// accept fail the way a real system will not on demand.
// TCPSINK_FAULT="call:errno" fails every such call; "call:errno:N" the first N.
#include <dlfcn.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

struct sockaddr;

static bool inject(const char *call)
{
    const char *fault = std::getenv("TCPSINK_FAULT");
    const size_t length = std::strlen(call);
    if (fault == nullptr || std::strncmp(fault, call, length) != 0 || fault[length] != ':') {
        return false;
    }
    char *end = nullptr;
    const long code = std::strtol(fault + length + 1, &end, 10);
    const long times = *end == ':' ? std::strtol(end + 1, nullptr, 10) : 0;
    static long injected = 0;
    if (times != 0 && injected >= times) {
        return false;
    }
    ++injected;
    errno = static_cast<int>(code);
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
