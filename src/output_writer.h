// Writing to stdout and stderr: every byte and message reaches its stream,
// waited for while the stream is only full, or the caller learns that it
// cannot.
#ifndef TCPSINK_OUTPUT_WRITER_H
#define TCPSINK_OUTPUT_WRITER_H

#include <stddef.h>

// Writes length bytes of text to stdout in one piece where stdout takes them
// so; false once stdout cannot take the rest.
bool show_text(const char *text, size_t length);

// Writes one byte of a client's, one formatted write; false if stdout cannot take it.
bool show_byte(unsigned char value);

// Writes length bytes of text to stderr, as show_text does to stdout.
bool show_error(const char *text, size_t length);

#endif
