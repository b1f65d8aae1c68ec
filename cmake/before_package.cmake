# Read by cpack before it makes a package. A package made without one of the
# tools it needs would differ from the release, or not be one (without
# dpkg-shlibdeps, CPack leaves out the .deb's Depends): packaging stops at
# once, naming the Debian package to install, and the release folder is left
# as it was. Then the package's time stamps (the Debian archive's members and
# headers, the zip's members) are the source's date, unless SOURCE_DATE_EPOCH
# is exported for this run.
set(missing ${CPACK_TCPSINK_MISSING}) # what configure did not find
set(programs python3) # the finishing step's; then each generator's own
set(packages python3)
if(CPACK_GENERATOR STREQUAL "DEB")
  list(APPEND programs file dpkg-shlibdeps)
  list(APPEND packages file dpkg-dev)
endif()
foreach(program package IN ZIP_LISTS programs packages)
  find_program(TCPSINK_TOOL_${program} ${program} NO_CACHE)
  if(NOT TCPSINK_TOOL_${program})
    list(APPEND missing "${program} (Debian package ${package})")
  endif()
endforeach()
if(missing)
  list(JOIN missing ", " missing)
  message(FATAL_ERROR "Packaging needs ${missing}: install, then configure and package again")
endif()

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} "${CPACK_TCPSINK_SOURCE_DATE_EPOCH}")
endif()
