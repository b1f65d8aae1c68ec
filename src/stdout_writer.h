// Writing to stdout: every byte and message reaches it, waited for while it
// is only full, or the caller learns that it cannot.
#ifndef TCPSINK_STDOUT_WRITER_H
#define TCPSINK_STDOUT_WRITER_H

#include <stddef.h>

// Writes length bytes of text in one piece where stdout takes them so; false
// once stdout cannot take the rest.
bool show_text(const char *text, size_t length);

// Writes one byte of a client's, one formatted write; false if stdout cannot take it.
bool show_byte(unsigned char value);

#endif
