// Stand-ins for what the MSVC C runtime links statically into every program
// and Wine's libraries lack: the /GS cookie, the DLL start-up, the Control
// Flow Guard pointers and the load configuration (the exe start-up is in
// exe_startup.cpp). Linked only into the MSVC-mode check's programs; a build
// with the real SDK and runtime never sees this file.
#include <windows.h>

#include <stddef.h>
#include <stdint.h>

extern "C" {

// The runtime's /GS support: the cookie and the check that every protected
// function calls. The real start-up sets the cookie from values that change
// with each run; here it stays one fixed value, as the check does not test
// the cookie's randomness.
uintptr_t __security_cookie = static_cast<uintptr_t>(0x2B992DDFA232BB40ULL);

void __fastcall __security_check_cookie(uintptr_t cookie)
{
    if (cookie != __security_cookie) {
        __fastfail(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE);
    }
}

// The runtime's DLL start-up, for the test's Windows Sockets stand-in.
BOOL WINAPI _DllMainCRTStartup(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

// The runtime's Control Flow Guard support: the checks that guarded indirect
// calls go through. Windows' loader replaces them in an image that it guards;
// until then, as in the runtime, they let every call through.
static void __cdecl no_check()
{
}
void *__guard_check_icall_fptr = reinterpret_cast<void *>(&no_check);
#ifdef _M_X64
__attribute__((naked)) static void dispatch_to_rax()
{
    __asm__("jmp *%rax");
}
void *__guard_dispatch_icall_fptr = reinterpret_cast<void *>(&dispatch_to_rax);
#endif

// The runtime's load configuration (loadcfg), which the loader reads: the
// cookie, and the tables that the linker makes for /guard:cf and /SAFESEH,
// whose counts and flags it gives as the values of these symbols. Pointers
// throughout, as only they can be set from symbols at link time; on x64 the
// last one spans the guard flags and the code-integrity fields after them,
// which stay zero.
extern char __guard_fids_table[], __guard_fids_count[], __guard_flags[];
#ifdef _M_IX86
extern char __safe_se_handler_table[], __safe_se_handler_count[];
#define SAFE_EXCEPTION_HANDLERS __safe_se_handler_table, __safe_se_handler_count
#define GUARD_DISPATCH nullptr
#else
#define SAFE_EXCEPTION_HANDLERS nullptr, nullptr
#define GUARD_DISPATCH &__guard_dispatch_icall_fptr
#endif

// IMAGE_LOAD_CONFIG_DIRECTORY up to the guard flags. The fields from the
// time stamp to the edit list stay zero: the loader's defaults.
struct load_configuration {
    DWORD Size;
    unsigned char defaults[sizeof(void *) == 8 ? 0x54 : 0x38];
    const void *SecurityCookie;
    const void *SEHandlerTable;
    const void *SEHandlerCount;
    const void *GuardCFCheckFunctionPointer;
    const void *GuardCFDispatchFunctionPointer;
    const void *GuardCFFunctionTable;
    const void *GuardCFFunctionCount;
    const void *GuardFlags;
};
static_assert(offsetof(load_configuration, SecurityCookie) == (sizeof(void *) == 8 ? 0x58 : 0x3C) &&
                  offsetof(load_configuration, GuardFlags) == (sizeof(void *) == 8 ? 0x90 : 0x58),
              "not the layout of IMAGE_LOAD_CONFIG_DIRECTORY");

extern const load_configuration _load_config_used;
const load_configuration _load_config_used = {sizeof(load_configuration),
                                              {},
                                              &__security_cookie,
                                              SAFE_EXCEPTION_HANDLERS,
                                              &__guard_check_icall_fptr,
                                              GUARD_DISPATCH,
                                              __guard_fids_table,
                                              __guard_fids_count,
                                              __guard_flags};
}
