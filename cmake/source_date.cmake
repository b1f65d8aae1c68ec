# The one date that every time stamp in a build carries, so that a version
# names one set of bytes: SOURCE_DATE_EPOCH when exported, else, as Debian
# takes it from its changelog, the date of this version's CHANGELOG.md entry.
# A commit that changes nothing that ships then changes no artifact.
file(READ ${PROJECT_SOURCE_DIR}/CHANGELOG.md changes)
set(date_pattern "[A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9])")
if(NOT changes MATCHES "\n## ([^ \n]+) - (${date_pattern})\n")
  message(FATAL_ERROR "CHANGELOG.md has no entry headed \"## VERSION - Ddd, DD Mon YYYY\"")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "CHANGELOG.md's newest entry is not version ${PROJECT_VERSION}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md)

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(TCPSINK_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  # Midnight UTC of that day, counted in days from the civil calendar
  # (March-based years, as in the usual days-from-civil method), and a second
  # for each earlier release of the same day, as in the Debian change log.
  set(day ${CMAKE_MATCH_3})
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(FIND months ${CMAKE_MATCH_4} month)
  math(EXPR year "${CMAKE_MATCH_5} - (11 - ${month}) / 10") # January and February: the year before
  string(REGEX MATCHALL "\n## [^ \n]+ - ${CMAKE_MATCH_2}\n" same_day "${changes}")
  list(LENGTH same_day releases_that_day)
  math(EXPR month_from_march "(${month} + 10) % 12")
  math(EXPR day_of_year "(153 * ${month_from_march} + 2) / 5 + ${day} - 1")
  math(EXPR days "${year} * 365 + ${year} / 4 - ${year} / 100 + ${year} / 400 + ${day_of_year} - 719468")
  math(EXPR TCPSINK_SOURCE_DATE_EPOCH "${days} * 86400 + ${releases_that_day} - 1")
endif()
if(NOT TCPSINK_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is not a number of seconds: ${TCPSINK_SOURCE_DATE_EPOCH}")
endif()
# The manual's date is that time's day; string(TIMESTAMP) takes the time from
# SOURCE_DATE_EPOCH, set for this one call where it is not exported.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  string(TIMESTAMP TCPSINK_DATE "%Y-%m-%d" UTC)
else()
  set(ENV{SOURCE_DATE_EPOCH} ${TCPSINK_SOURCE_DATE_EPOCH})
  string(TIMESTAMP TCPSINK_DATE "%Y-%m-%d" UTC)
  unset(ENV{SOURCE_DATE_EPOCH})
endif()
message(STATUS "Time stamps of this build: SOURCE_DATE_EPOCH=${TCPSINK_SOURCE_DATE_EPOCH} (${TCPSINK_DATE})")
