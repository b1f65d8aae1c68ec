// The few Windows Sockets 2 names tcpsink uses. On Windows they are the real
// ones; elsewhere they are written over POSIX sockets, so the entry and the
// loop read the same on every platform. Each platform's side is one header.
#ifndef TCPSINK_PLATFORM_H
#define TCPSINK_PLATFORM_H

#ifdef _WIN32
#include "platform_windows.h"
#else
#include "platform_posix.h"
#endif

#endif
