// Writing to stdout, the one place that knows how a write to it fails.
#include "stdout_writer.h"

#include "platform.h"

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
// again, so no byte is shown twice or lost.
bool show_text(const char *text, size_t length)
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
bool show_byte(unsigned char value)
{
    while (!written(printf("%c", value) == 1)) {
        if (!stdout_takes_more_later()) {
            return false;
        }
    }
    return true;
}
