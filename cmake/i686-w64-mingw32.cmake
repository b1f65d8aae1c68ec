# 32-bit Windows, tcpsink's own platform. Debian's wine runs 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(tcpsink_wine wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
