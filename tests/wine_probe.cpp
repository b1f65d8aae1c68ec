// Test-only: a program that does nothing but end with status 42, so that the
// suite can tell whether this Wine runs programs of the build's kind at all.
// A Wine without its 32-bit half starts a 32-bit program and ends it at once,
// with status 0 and no output.
int main()
{
    return 42;
}
