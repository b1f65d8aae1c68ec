// One client at a time: every received byte goes to stdout as it arrives.
#include "listener.h"

#include <stdio.h>

// Copies the client's bytes, one recv and one write each, until it closes
// or the connection fails; both count as a disconnect.
static void copy_client_bytes(SOCKET client)
{
    char received = 0;
    while (recv(client, &received, 1, 0) == 1) {
        printf("%c", static_cast<unsigned char>(received));
    }
}

exit_status serve_clients(SOCKET listening)
{
    for (;;) {
        if (listen(listening, 5) < 0) {
            return STATUS_LISTEN_FAILED;
        }
        SOCKET client = accept(listening, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            if (accept_error_is_transient(WSAGetLastError())) {
                continue; // that client is gone; the listener is fine
            }
            return STATUS_ACCEPT_FAILED;
        }
        printf("connected, reading data\n");
        copy_client_bytes(client);
        printf("\n\nDisconnect\n\n");
        (void)closesocket(client);
    }
}
