# Included right after project() in the MSVC-mode check: every program and
# DLL made afterwards links the stand-ins for what the MSVC runtime would.
if(PROJECT_NAME STREQUAL CMAKE_TRY_COMPILE)
  # A check's own program, linked as with the real runtime but without any of
  # the start-up code, so main is its entry (it is never run).
  add_link_options(/entry:main)
  return()
endif()
unset(CMAKE_TRY_COMPILE_TARGET_TYPE) # from here on, checks link programs
add_library(msvc_runtime_standins STATIC ${CMAKE_CURRENT_LIST_DIR}/crt_standins.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/exe_startup.cpp)
link_libraries(msvc_runtime_standins)
# The load configuration is the runtime's; the linker would not look for it
# in a library unasked.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_link_options(/include:__load_config_used)
else()
  add_link_options(/include:_load_config_used)
endif()
