# Install layout and packages: a Debian package from the native build, and
# from each Windows build a zip of tcpsink.exe, README.txt (the manual in
# Windows terms) and the licence. Every version in them is PROJECT_VERSION.
include(GNUInstallDirs)

# Everything is installed as one named component, which CPack installs by
# name: its list of installed files then goes to install_manifest_tcpsink.txt,
# not to the install_manifest.txt of a cmake --install. Else packaging would
# overwrite that list, which removing an installed tcpsink reads, and once
# sudo had written it, fail on a file of root's.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME tcpsink)
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};tcpsink;tcpsink;/")

set(CPACK_PACKAGE_NAME tcpsink)
set(CPACK_PACKAGE_VENDOR "tcpsink developers")
set(CPACK_PACKAGE_CONTACT "tcpsink developers <tcpsink@users.noreply.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "show, byte for byte, what a TCP client sends")
# Lines of at most 80 characters, as Debian's control files want them.
set(CPACK_PACKAGE_DESCRIPTION "\
tcpsink listens on a TCP port and copies every byte that a client sends to
standard output, unchanged and as it arrives. It serves one client at a time,
announces each connection and each disconnect, never sends anything back, and
runs until it is stopped. Point any client at the port (a device, an HTTP
client, a script) and read the raw bytes it sends.")
set(CPACK_STRIP_FILES ON)

# The same source gives the same packages: the source's date in every time
# stamp, fixed modes whatever the umask, a fixed zip. Each finished package
# goes to the release folder, which holds one version's packages and their
# SHA256SUMS, nothing else; CPack's own work stays in the build folder.
set(TCPSINK_RELEASE_DIR ${PROJECT_BINARY_DIR}/release CACHE PATH "Folder that packaging fills with the release")
set(CPACK_TCPSINK_RELEASE_DIR ${TCPSINK_RELEASE_DIR})
set(CPACK_TCPSINK_SOURCE_DATE_EPOCH ${TCPSINK_SOURCE_DATE_EPOCH})
# BUILDINFO beside the checksums names where each tool and library that makes
# a difference to a package's bytes comes from: the compiler with its C++ and
# C (or mingw-w64) libraries, binutils, CMake, and the packaging tools that
# finish_package.cmake adds.
set(build_files ${CMAKE_CXX_COMPILER} ${CMAKE_LINKER} ${CMAKE_AR} ${CMAKE_STRIP} ${CMAKE_COMMAND})
foreach(library IN ITEMS libstdc++.a libc.so.6 crt2.o libssp.a)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${library}
                  OUTPUT_VARIABLE file OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(IS_ABSOLUTE "${file}" AND EXISTS "${file}") # else this tool-chain has none
    list(APPEND build_files ${file})
  endif()
endforeach()
set(CPACK_TCPSINK_BUILD_FILES ${build_files})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/before_package.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package_modes.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/finish_package.cmake)

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS LICENSE)

configure_file(man/tcpsink.1.in tcpsink.1 @ONLY)

if(WIN32)
  install(TARGETS tcpsink RUNTIME DESTINATION .)
  # README.txt, the manual in Windows terms, and the licence, each with
  # Windows line ends. Without groff (a Windows host, say) tcpsink builds, but
  # the zip cannot be made, and packaging says so.
  find_program(TCPSINK_GROFF groff)
  if(TCPSINK_GROFF)
    list(APPEND CPACK_TCPSINK_BUILD_FILES ${TCPSINK_GROFF})
    function(windows_text text source)
      add_custom_command(OUTPUT ${text}
                         COMMAND ${CMAKE_COMMAND} -DIN=${source} -DOUT=${text} ${ARGN}
                                 -P ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
                         DEPENDS ${source} ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake VERBATIM)
      install(FILES ${CMAKE_BINARY_DIR}/${text} DESTINATION .)
    endfunction()
    math(EXPR bits "${CMAKE_SIZEOF_VOID_P} * 8")
    windows_text(README.txt ${CMAKE_BINARY_DIR}/tcpsink.1 -DMAN=${TCPSINK_GROFF} -DBITS=${bits}
                 "-DTITLE=tcpsink ${PROJECT_VERSION} for Windows")
    windows_text(LICENSE.txt ${PROJECT_SOURCE_DIR}/LICENSE)
    add_custom_target(windows_texts ALL DEPENDS README.txt LICENSE.txt)
  else()
    message(STATUS "Packaging: no groff to render README.txt; tcpsink builds, but no zip can be made")
    set(CPACK_TCPSINK_MISSING "groff (Debian package groff-base)")
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  include(CPack)
  return()
endif()

# Debian's own changelog, made from CHANGELOG.md: "## VERSION - DATE" heads
# each entry, and its "- " items become the entry's "  * " items.
file(READ ${PROJECT_SOURCE_DIR}/CHANGELOG.md changes)
string(FIND "${changes}" "\n## " start)
string(SUBSTRING "${changes}" ${start} -1 changes)
set(debian_changelog "")
while(changes MATCHES "^\n## ([^ ]+) - ([^\n]+)\n(.*)$")
  set(version "${CMAKE_MATCH_1}")
  set(date "${CMAKE_MATCH_2}")
  set(items "${CMAKE_MATCH_3}")
  set(changes "")
  string(FIND "${items}" "\n## " next)
  if(next GREATER -1)
    string(SUBSTRING "${items}" ${next} -1 changes)
    string(SUBSTRING "${items}" 0 ${next} items)
  endif()
  string(STRIP "${items}" items)
  string(REPLACE "\n  " "\n    " items "\n${items}")
  string(REPLACE "\n- " "\n  * " items "${items}")
  # Debian wants each entry newer than the one before: a release is stamped
  # one second after each earlier release of its day.
  string(REGEX MATCHALL "\n## [^ ]+ - ${date}\n" earlier "${changes}")
  list(LENGTH earlier second)
  if(second LESS 10)
    set(second "0${second}")
  endif()
  string(APPEND debian_changelog "tcpsink (${version}) unstable; urgency=medium\n${items}\n\n"
         " -- ${CPACK_PACKAGE_CONTACT}  ${date} 00:00:${second} +0000\n\n")
endwhile()
string(STRIP "${debian_changelog}" debian_changelog)
file(WRITE ${CMAKE_BINARY_DIR}/changelog "${debian_changelog}\n")

# Debian's machine-readable copyright file, with the licence's own text.
string(REPLACE "\n\n" "\n.\n" license "${TCPSINK_LICENSE}")
string(REPLACE "\n" "\n " license "${license}")
file(WRITE ${CMAKE_BINARY_DIR}/copyright "\
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: tcpsink

Files: *
Copyright: ${TCPSINK_COPYRIGHT_HOLDER}
License: Expat
 ${license}
")

# Debian wants manual pages and change logs compressed, most strongly and
# without a time stamp, so that the package is the same at every build.
find_program(TCPSINK_GZIP gzip REQUIRED)
list(APPEND CPACK_TCPSINK_BUILD_FILES ${TCPSINK_GZIP})
foreach(file tcpsink.1 changelog)
  add_custom_command(OUTPUT ${file}.gz
                     COMMAND ${TCPSINK_GZIP} -9 -n -k -f ${file}
                     DEPENDS ${CMAKE_BINARY_DIR}/${file}
                     WORKING_DIRECTORY ${CMAKE_BINARY_DIR} VERBATIM)
endforeach()
add_custom_target(compressed_docs ALL DEPENDS tcpsink.1.gz changelog.gz)

# The folders that installing makes are 0755 whatever the umask.
set(folders ${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_MANDIR}/man1 ${CMAKE_INSTALL_DOCDIR})
install(CODE "set(FOLDERS \"${folders}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/install_folders.cmake)
install(TARGETS tcpsink RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/tcpsink.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz ${CMAKE_BINARY_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
