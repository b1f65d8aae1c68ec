// tcpsink: listens on a TCP port and shows on stdout, byte for byte, what
// each client sends, one client at a time.
#include "listener.h"
#include "output_writer.h"

#include <stdio.h>
#include <string.h>

// The fixed messages, one for each ending; the start-up and bind failures
// add an error code and are composed where they happen.
static const char *message_for(exit_status status)
{
    switch (status) {
    case STATUS_USAGE:
        return "command line:  port number\n";
    case STATUS_LISTEN_FAILED:
        return "Error in listening on port";
    case STATUS_ACCEPT_FAILED:
        return "Error in accepting connection";
    case STATUS_SOCKET_FAILED:
        return "Could not create socket";
    case STATUS_OUTPUT_FAILED:
        return "Could not write to standard output\n";
    case STATUS_STARTUP_FAILED:
    case STATUS_BIND_FAILED:
        break;
    }
    return "";
}

// Every message goes through the writer that waits while its stream is full.
// The status tells how tcpsink ended even if its message cannot be written,
// so whether it was is not looked at. stdout cannot carry the message that it
// failed.
static int end_with(exit_status status, const char *message)
{
    if (status == STATUS_OUTPUT_FAILED) {
        (void)show_error(message, strlen(message));
    } else {
        (void)show_text(message, strlen(message));
    }
    return status;
}

static int end_with(exit_status status)
{
    return end_with(status, message_for(status));
}

// atoi's rule (C-locale white space, a sign, digits up to the first other
// character) without its undefined overflow: unsigned arithmetic wraps modulo
// 2^32, a multiple of 65536, so the port is the value modulo 65536 for every
// input, negative values in two's complement.
static unsigned short port_from_argument(const char *text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) {
        ++text;
    }
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    unsigned int value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10U + static_cast<unsigned int>(*text - '0');
    }
    if (negative) {
        value = 0U - value;
    }
    return static_cast<unsigned short>(value & 0xFFFFU);
}

// A byte sent as TCP urgent data (telnet's interrupt, FTP's abort) is kept
// out of the stream unless asked for, and would never be shown: in line it
// stays in its place. Set on the listener, it holds for every connection
// accepted from it: Linux copies a listener's options to each, and
// Microsoft's accept page says an accepted socket has the listener's
// properties. If it cannot be set, urgent bytes stay out of the stream as
// before and every other byte is still shown, so the result is not looked at.
static void receive_urgent_bytes_in_line(SOCKET listening)
{
    const int on = 1;
    (void)setsockopt(listening, SOL_SOCKET, SO_OOBINLINE, reinterpret_cast<const char *>(&on),
                     sizeof on);
}

int main(int argc, char *argv[])
{
    if (!prepare_standard_streams()) {
        return end_with(STATUS_OUTPUT_FAILED);
    }
    if (argc != 2) {
        return end_with(STATUS_USAGE);
    }
    const unsigned short port = port_from_argument(argv[1]);

    WSADATA wsa_data;
    const int startup_error = WSAStartup(MAKEWORD(2, 2), &wsa_data);
    // cppcheck-suppress knownConditionTrueFalse ; only the POSIX stand-in always succeeds
    if (startup_error != 0) {
        char message[64]; // room for any long
        (void)snprintf(message, sizeof message, "WSAStartup failed with error: %ld\n",
                       static_cast<long>(startup_error));
        return end_with(STATUS_STARTUP_FAILED, message);
    }

    const SOCKET listening = socket(AF_INET, SOCK_STREAM, 0);
    if (listening == INVALID_SOCKET) {
        return end_with(STATUS_SOCKET_FAILED);
    }

    set_port_rule(listening);
    receive_urgent_bytes_in_line(listening);

    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = INADDR_ANY;
    if (bind(listening, reinterpret_cast<const sockaddr *>(&address), sizeof address) < 0) {
        const int bind_error = WSAGetLastError(); // before any other call can change it
        (void)closesocket(listening);
        char message[64]; // room for any int
        (void)snprintf(message, sizeof message, "Could not bind socket to port: %d\n", bind_error);
        return end_with(STATUS_BIND_FAILED, message);
    }

    return end_with(serve_clients(listening));
}
