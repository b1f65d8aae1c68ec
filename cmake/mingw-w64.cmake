# Shared by the Windows tool-chain files: cross-compiles with Debian's
# mingw-w64 for CMAKE_SYSTEM_PROCESSOR and runs what it builds under Wine.
set(CMAKE_SYSTEM_NAME Windows)

# Without the cross compiler, stop before CMake caches anything of it: a
# configure that went on would keep empty build-type flags and the system's
# own binutils, and a later one, mingw-w64 installed, would build a release
# that is not the release.
find_program(tcpsink_compiler ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-g++ NO_CACHE)
if(NOT tcpsink_compiler)
  string(REPLACE "_" "-" package g++-mingw-w64-${CMAKE_SYSTEM_PROCESSOR})
  message(FATAL_ERROR "No ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-g++: install Debian package ${package}")
endif()
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
