// One client at a time: every received byte goes to stdout as it arrives.
#include "listener.h"
#include "output_writer.h"

// Copies the client's bytes, one recv and one write each, until it closes or
// the connection fails (both count as a disconnect); false if stdout fails.
static bool copy_client_bytes(SOCKET client)
{
    char received = 0;
    while (recv(client, &received, 1, 0) == 1) {
        if (!show_byte(static_cast<unsigned char>(received))) {
            return false;
        }
    }
    return true;
}

exit_status serve_clients(SOCKET listening)
{
    static const char connected[] = "connected, reading data\n";
    static const char disconnect[] = "\n\nDisconnect\n\n";
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
        give_up_on_vanished_client(client);
        // On a failed write the client is left to the end of the process.
        if (!show_text(connected, sizeof connected - 1) || !copy_client_bytes(client) ||
            !show_text(disconnect, sizeof disconnect - 1)) {
            return STATUS_OUTPUT_FAILED;
        }
        (void)closesocket(client);
    }
}
