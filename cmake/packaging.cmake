# Install layout and packages: a Debian package from the native build, a zip
# of tcpsink.exe and the README from the Windows build.
include(GNUInstallDirs)

if(WIN32)
  install(TARGETS tcpsink RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  install(TARGETS tcpsink RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES man/tcpsink.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

set(CPACK_PACKAGE_NAME tcpsink)
set(CPACK_PACKAGE_VENDOR "tcpsink developers")
set(CPACK_PACKAGE_CONTACT "tcpsink developers <tcpsink@users.noreply.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "show, byte for byte, what a TCP client sends")
set(CPACK_PACKAGE_DESCRIPTION
    "tcpsink listens on a TCP port and copies every byte that a client sends to standard output, \
unchanged and as it arrives. It serves one client at a time, announces each connection and \
each disconnect, never sends anything back, and runs until it is stopped.")
set(CPACK_PACKAGE_CHECKSUM SHA256)
include(CPack)
