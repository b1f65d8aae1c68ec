// What the entry hands to the connection loop: the bound listening socket.
// The loop hands back the exit status it ends the program with.
#ifndef TCPSINK_LISTENER_H
#define TCPSINK_LISTENER_H

#include "platform.h"

// The program's exit statuses, one for each way it can end.
enum exit_status {
    STATUS_USAGE = 0,
    STATUS_STARTUP_FAILED = 1,
    STATUS_BIND_FAILED = 2,
    STATUS_LISTEN_FAILED = 3,
    STATUS_ACCEPT_FAILED = 4,
    STATUS_SOCKET_FAILED = 5,
};

// Serves one client after another until listen or accept fails; returns
// STATUS_LISTEN_FAILED or STATUS_ACCEPT_FAILED, having written nothing.
exit_status serve_clients(SOCKET listening);

#endif
