// Test-only: starts a program with only the standard handles asked for, as a
// GUI program, a service or a scheduler may, and ends with its exit status.
// usage: start_with_handles HANDLES PROGRAM [ARGUMENT...], HANDLES naming the
// handles given: i (stdin), o (stdout), e (stderr); the others are null.
// The C headers only: Wine has no MSVC C++ library for the MSVC-mode check.
#include <windows.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char *argv[])
{
    if (argc < 3) {
        return 125;
    }
    static char command[32768]; // Windows' longest command line
    size_t used = 0;
    for (int i = 2; i < argc; ++i) {
        const int length = snprintf(command + used, sizeof command - used, " \"%s\"", argv[i]);
        if (length < 0 || static_cast<size_t>(length) >= sizeof command - used) {
            return 125;
        }
        used += static_cast<size_t>(length);
    }
    const auto given = [&](char name, DWORD handle) {
        return strchr(argv[1], name) != nullptr ? GetStdHandle(handle) : nullptr;
    };
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = given('i', STD_INPUT_HANDLE);
    startup.hStdOutput = given('o', STD_OUTPUT_HANDLE);
    startup.hStdError = given('e', STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    DWORD status = 0;
    if (CreateProcessA(nullptr, command + 1, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process) == 0 ||
        WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0 ||
        GetExitCodeProcess(process.hProcess, &status) == 0) {
        return 126;
    }
    return static_cast<int>(status);
}
