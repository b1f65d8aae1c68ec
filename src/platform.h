// The few Windows Sockets 2 names tcpsink uses. On Windows they are the real
// ones; elsewhere they are written over POSIX sockets, so the entry and the
// loop read the same on every platform. Each platform's side is one header.
#ifndef TCPSINK_PLATFORM_H
#define TCPSINK_PLATFORM_H

// When the system asks a silent client's host whether it is still there:
// after this many seconds without a byte, then at this interval, giving up
// after this many probes go unanswered. Go's network defaults for the first
// two, which most Go servers run with, and the count that Windows from Vista
// on uses and the POSIX side copies: a client whose host vanished is given up
// about 165 seconds after its last byte on either platform.
constexpr int KEEPALIVE_IDLE_SECONDS = 15;
constexpr int KEEPALIVE_INTERVAL_SECONDS = 15;
constexpr int KEEPALIVE_PROBES = 10;

#ifdef _WIN32
#include "platform_windows.h"
#else
#include "platform_posix.h"
#endif

#endif
