# The one date that every time stamp in a build carries, so that the same
# source gives the same bytes: SOURCE_DATE_EPOCH when exported, else the last
# commit's time, else, outside git, the newest CHANGELOG.md entry's date.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(TCPSINK_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  find_package(Git QUIET)
  set(commit_time "")
  if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(commit_time MATCHES "^[0-9]+$")
    set(TCPSINK_SOURCE_DATE_EPOCH ${commit_time})
    # A new commit or checkout configures again, so that the date follows it.
    if(EXISTS ${PROJECT_SOURCE_DIR}/.git/logs/HEAD)
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/.git/logs/HEAD)
    endif()
  else()
    # "## VERSION - Wed, 09 Dec 2026": midnight UTC of that day, counted in
    # days from the civil calendar (March-based years, as in the usual
    # days-from-civil method).
    file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md heading REGEX "^## " LIMIT_COUNT 1)
    if(NOT heading MATCHES ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9])$")
      message(FATAL_ERROR "CHANGELOG.md's newest heading has no date: ${heading}")
    endif()
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND months ${CMAKE_MATCH_2} month)
    math(EXPR year "${CMAKE_MATCH_3} - (11 - ${month}) / 10") # January and February: the year before
    math(EXPR month_from_march "(${month} + 10) % 12")
    math(EXPR day_of_year "(153 * ${month_from_march} + 2) / 5 + ${CMAKE_MATCH_1} - 1")
    math(EXPR days "${year} * 365 + ${year} / 4 - ${year} / 100 + ${year} / 400 + ${day_of_year} - 719468")
    math(EXPR TCPSINK_SOURCE_DATE_EPOCH "${days} * 86400")
  endif()
endif()
if(NOT TCPSINK_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is not a number of seconds: ${TCPSINK_SOURCE_DATE_EPOCH}")
endif()
message(STATUS "Time stamps of this build: SOURCE_DATE_EPOCH=${TCPSINK_SOURCE_DATE_EPOCH}")
