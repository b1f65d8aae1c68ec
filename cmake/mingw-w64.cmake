# Shared by the Windows tool-chain files: cross-compiles with Debian's
# mingw-w64 for CMAKE_SYSTEM_PROCESSOR and runs what it builds under Wine.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_CXX_COMPILER ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-g++)
set(CMAKE_RC_COMPILER ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

find_program(TCPSINK_WINE NAMES ${tcpsink_wine} PATHS /usr/lib/wine)
if(TCPSINK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TCPSINK_WINE})
endif()
