// What the entry hands to the connection loop: the bound listening socket.
// The loop hands back the exit status it ends the program with.
#ifndef TCPSINK_LISTENER_H
#define TCPSINK_LISTENER_H

#include "platform.h"

// The program's exit statuses, one for each way it can end: 0 to 6 fit a byte.
enum exit_status : unsigned char {
    STATUS_USAGE = 0,
    STATUS_STARTUP_FAILED = 1,
    STATUS_BIND_FAILED = 2,
    STATUS_LISTEN_FAILED = 3,
    STATUS_ACCEPT_FAILED = 4,
    STATUS_SOCKET_FAILED = 5,
    STATUS_OUTPUT_FAILED = 6,
};

// Serves one client after another until listen, accept or a write to stdout
// fails; returns STATUS_LISTEN_FAILED, STATUS_ACCEPT_FAILED or
// STATUS_OUTPUT_FAILED, having written no message for it.
exit_status serve_clients(SOCKET listening);

#endif
