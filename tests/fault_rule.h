// The fault a test asks for, read the same way by both injectors:
// TCPSINK_FAULT="call:code" fails every such call with code, "call:code:N"
// only the first N.
#ifndef TCPSINK_FAULT_RULE_H
#define TCPSINK_FAULT_RULE_H

#include <stdlib.h>
#include <string.h>

// The code this call is to fail with, or 0 to let it through.
inline int injected_fault(const char *call)
{
    const char *fault = getenv("TCPSINK_FAULT");
    const size_t length = strlen(call);
    if (fault == nullptr || strncmp(fault, call, length) != 0 || fault[length] != ':') {
        return 0;
    }
    char *end = nullptr;
    const long code = strtol(fault + length + 1, &end, 10);
    const long times = *end == ':' ? strtol(end + 1, nullptr, 10) : 0;
    static long injected = 0;
    if (times != 0 && injected >= times) {
        return 0;
    }
    ++injected;
    return static_cast<int>(code);
}

#endif
