// Stands in for the Windows SDK's winsock2.h in the MSVC-mode check: Wine's,
// found next, lacks WSAAPI and makes the byte-order functions inline macros,
// so an executable would never import them from WS2_32.dll as one built
// with the SDK does. Here they are the DLL's functions again.
#pragma once
#pragma clang system_header
#include_next <winsock2.h>

#ifndef WSAAPI
#define WSAAPI WINAPI
#endif
#undef htonl
#undef htons
#undef ntohl
#undef ntohs
extern "C" {
WINSOCK_API_LINKAGE u_long WSAAPI htonl(u_long);
WINSOCK_API_LINKAGE u_short WSAAPI htons(u_short);
WINSOCK_API_LINKAGE u_long WSAAPI ntohl(u_long);
WINSOCK_API_LINKAGE u_short WSAAPI ntohs(u_short);
}
