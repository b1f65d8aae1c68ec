# Read by cpack before it makes a package: the package's time stamps (the
# Debian archive's members and headers, the zip's members) are the source's
# date, unless SOURCE_DATE_EPOCH is exported for this run.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} "${CPACK_TCPSINK_SOURCE_DATE_EPOCH}")
endif()
