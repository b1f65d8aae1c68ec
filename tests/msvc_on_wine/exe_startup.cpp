// Stand-in for the MSVC runtime's exe start-up (mainCRTStartup), in the
// MSVC-mode check: the arguments from the Universal C Runtime, main, and exit
// with main's status. tcpsink has no global constructors to run. Its own
// file, so that a DLL, which starts elsewhere, never links it.
#include <corecrt_startup.h>
#include <stdlib.h>

int main(int argc, char *argv[]);

extern "C" int mainCRTStartup()
{
    _set_app_type(_crt_console_app);
    if (_configure_narrow_argv(_crt_argv_unexpanded_arguments) != 0) {
        exit(255);
    }
    exit(main(__argc, __argv));
}
