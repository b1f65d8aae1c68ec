// The few Windows Sockets 2 names tcpsink uses. On Windows they are the real
// ones; elsewhere they are written over POSIX sockets, so the entry and the
// loop read the same on every platform. Each platform's side is one header.
#ifndef TCPSINK_PLATFORM_H
#define TCPSINK_PLATFORM_H

// A client whose host vanished (power lost, cable pulled) sends no FIN or
// reset, and would hold tcpsink in recv for ever, every later client behind
// it. Each platform's give_up_on_vanished_client turns on keep-alive: the
// system probes a silent client's host and ends the connection when it stops
// answering; recv then fails, a disconnect. A client whose host answers stays
// as long as it likes. The probes start after this many seconds without a
// byte, then come at this interval, giving up after this many go unanswered:
// Go's network defaults for the first two, which most Go servers run with,
// and the count that Windows from Vista on uses and the POSIX side copies. A
// client whose host vanished is given up about 165 seconds after its last
// byte on either platform.
constexpr int KEEPALIVE_IDLE_SECONDS = 15;
constexpr int KEEPALIVE_INTERVAL_SECONDS = 15;
constexpr int KEEPALIVE_PROBES = 10;

#ifdef _WIN32
#include "platform_windows.h"
#else
#include "platform_posix.h"
#endif

#endif
