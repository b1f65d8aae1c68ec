# 64-bit Windows: the same source, so that the Windows suite can run under
# 64-bit Wine where the kernel will not start 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(tcpsink_wine wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
