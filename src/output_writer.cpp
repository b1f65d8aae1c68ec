// Writing to stdout and stderr, the one place that knows how a write to them
// fails.
#include "output_writer.h"

#include "platform.h"

#include <stdio.h>

// The count and the stream's error flag together tell a failed write: Wine's
// C runtime returns 0 from a failed printf and sets the flag, so the count
// alone is not trusted.
static bool written(FILE *stream, bool all_counted)
{
    return all_counted && ferror(stream) == 0;
}

// A message is one fwrite, which, unlike printf, tells how much of it went
// out: a terminal or a socket can take part of a message and then refuse the
// rest. While the stream is only full, what is left of the message is
// written again, so no byte is shown twice or lost.
static bool write_text(FILE *stream, const char *text, size_t length)
{
    for (;;) {
        const size_t count = fwrite(text, 1, length, stream);
        if (written(stream, count == length)) {
            return true;
        }
        text += count;
        length -= count;
        if (!stream_takes_more_later(stream)) {
            return false;
        }
    }
}

bool show_text(const char *text, size_t length)
{
    return write_text(stdout, text, length);
}

bool show_error(const char *text, size_t length)
{
    return write_text(stderr, text, length);
}

// One byte cannot go out in part, so printf's count is enough.
bool show_byte(unsigned char value)
{
    while (!written(stdout, printf("%c", value) == 1)) {
        if (!stream_takes_more_later(stdout)) {
            return false;
        }
    }
    return true;
}
