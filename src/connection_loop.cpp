// One client at a time: every received byte goes to stdout as it arrives.
#include "listener.h"

#include <stdio.h>

// The count and the stream's error flag together tell a failed write: Wine's
// C runtime returns 0 from a failed printf and sets the flag, so the count
// alone is not trusted.
static bool written(bool all_counted)
{
    return all_counted && ferror(stdout) == 0;
}

// A message is one fwrite, which, unlike printf, tells how much of it went
// out: a terminal or a socket can take part of a message and then refuse the
// rest. While stdout is only full, what is left of the message is written
// again, so no byte is shown twice or lost. False once stdout cannot take it.
static bool show_text(const char *text, size_t length)
{
    for (;;) {
        const size_t count = fwrite(text, 1, length, stdout);
        if (written(count == length)) {
            return true;
        }
        text += count;
        length -= count;
        if (!stdout_takes_more_later()) {
            return false;
        }
    }
}

// One byte cannot go out in part, so printf's count is enough.
static bool show_byte(unsigned char value)
{
    while (!written(printf("%c", value) == 1)) {
        if (!stdout_takes_more_later()) {
            return false;
        }
    }
    return true;
}

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
        // On a failed write the client is left to the end of the process.
        if (!show_text(connected, sizeof connected - 1) || !copy_client_bytes(client) ||
            !show_text(disconnect, sizeof disconnect - 1)) {
            return STATUS_OUTPUT_FAILED;
        }
        (void)closesocket(client);
    }
}
