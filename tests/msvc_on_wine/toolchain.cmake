# The MSVC-mode check: tcpsink built as MSVC builds it (clang-cl, lld-link,
# llvm-rc, CMake's MSVC branch) against Wine's Windows headers and import
# libraries, and run under Wine. Included by msvc-i686.cmake or
# msvc-x86_64.cmake, which set CMAKE_SYSTEM_PROCESSOR. Needs Debian's clang,
# lld, llvm and libwine-dev (libwine-dev:i386 for 32-bit).
set(CMAKE_SYSTEM_NAME Windows)
set(wine_arch ${CMAKE_SYSTEM_PROCESSOR})
if(wine_arch STREQUAL i686)
  set(wine_arch i386)
endif()
set(wine_libraries /usr/lib/${wine_arch}-linux-gnu/wine/${wine_arch}-windows)
set(wine_headers /usr/include/wine/wine)

# Debian keeps each LLVM version's tools under their plain names in a folder
# of its own (/usr/lib/llvm-19/bin): the newest there, and the rest of the
# tools from beside that clang-cl. Found the same way each time CMake reads
# this file, as its compiler checks do without this build's cache.
file(GLOB llvm_folders LIST_DIRECTORIES true /usr/lib/llvm-*/bin)
list(SORT llvm_folders COMPARE NATURAL ORDER DESCENDING)
find_program(TCPSINK_CLANG_CL NAMES clang-cl HINTS ${llvm_folders} REQUIRED)
get_filename_component(llvm_folder ${TCPSINK_CLANG_CL} DIRECTORY)
set(CMAKE_CXX_COMPILER ${TCPSINK_CLANG_CL})
set(CMAKE_CXX_COMPILER_TARGET ${CMAKE_SYSTEM_PROCESSOR}-pc-windows-msvc)
foreach(tool IN ITEMS lld-link llvm-rc llvm-mt llvm-lib llvm-nm llvm-dlltool)
  string(MAKE_C_IDENTIFIER ${tool} name)
  find_program(TCPSINK_${name} NAMES ${tool} HINTS ${llvm_folder} ${llvm_folders} REQUIRED)
endforeach()
set(CMAKE_LINKER ${TCPSINK_lld_link})
set(CMAKE_RC_COMPILER ${TCPSINK_llvm_rc})
set(CMAKE_MT ${TCPSINK_llvm_mt})
set(CMAKE_AR ${TCPSINK_llvm_lib})
# The compiler checks make a library: no program links before the stand-ins exist.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# Wine's headers after the stand-ins' own; thread-safe statics would need the
# runtime's _Init_thread_header, which Wine does not have.
set(standins ${CMAKE_CURRENT_LIST_DIR})
set(CMAKE_CXX_FLAGS_INIT "/FI${standins}/clang_builtins.h -I${standins}/include \
-imsvc ${wine_headers}/msvcrt -imsvc ${wine_headers}/windows /Zc:threadSafeInit-")
set(CMAKE_RC_FLAGS_INIT "-I ${wine_headers}/windows")

# Import libraries as the SDK's are: Wine's lib*.a hold long-format import
# objects, which /SAFESEH refuses on 32-bit, and static start-up code that is
# not the runtime's. Each is made again from the functions Wine's imports, by
# the name the linker asks for. The DLL runtime is the Universal C Runtime
# (msvcrt.lib), as Wine's headers compile for it; Wine has no static C
# runtime, and no oldnames.lib (the POSIX names, which tcpsink does not use).
set(import_libraries ${CMAKE_BINARY_DIR}/wine-import-libraries)
file(MAKE_DIRECTORY ${import_libraries})
if(wine_arch STREQUAL i386)
  set(machine i386)
  set(decoration "_") # 32-bit C names carry a leading underscore
else()
  set(machine i386:x86-64)
  set(decoration "")
endif()
foreach(library IN ITEMS kernel32 user32 gdi32 winspool shell32 ole32 oleaut32 uuid comdlg32
                         advapi32 ws2_32 ucrtbase)
  set(import_library ${import_libraries}/${library}.lib)
  if(library STREQUAL ucrtbase)
    set(import_library ${import_libraries}/msvcrt.lib)
  endif()
  if(EXISTS ${import_library})
    continue()
  endif()
  execute_process(COMMAND ${TCPSINK_llvm_nm} ${wine_libraries}/lib${library}.a
                  OUTPUT_VARIABLE symbols ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "I __imp_${decoration}[^\n]+" imports "${symbols}")
  list(TRANSFORM imports REPLACE "^I __imp_${decoration}" "")
  list(REMOVE_DUPLICATES imports)
  string(REPLACE ";" "\n" exports "${imports}")
  file(WRITE ${import_libraries}/${library}.def "LIBRARY ${library}.dll\nEXPORTS\n${exports}\n")
  # -k: imported by the undecorated name, as Windows' DLLs export them
  execute_process(COMMAND ${TCPSINK_llvm_dlltool} -m ${machine} -k -d ${import_libraries}/${library}.def
                          -l ${import_library} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
set(linker_flags "/libpath:${import_libraries} /nodefaultlib:oldnames")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${linker_flags})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${linker_flags})
set(CMAKE_MSVC_RUNTIME_LIBRARY MultiThreadedDLL)
# The start-up code, /GS and Control Flow Guard support that the runtime would link in.
set(CMAKE_PROJECT_INCLUDE ${standins}/runtime_standins.cmake)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL i686)
  find_program(TCPSINK_WINE NAMES wine)
else()
  find_program(TCPSINK_WINE NAMES wine64 PATHS /usr/lib/wine)
endif()
if(TCPSINK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TCPSINK_WINE})
endif()
