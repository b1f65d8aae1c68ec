# Run by cpack once a package is made, before it is copied beside the others:
# the package is put in a fixed form (what CPack leaves to the file system,
# the time zone, the umask and the builder is set), and SHA256SUMS beside the
# packages lists every package of this version there, this one included.
set(version ${CPACK_PACKAGE_VERSION})
find_program(python3 NAMES python3 python REQUIRED)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND ${python3} ${CMAKE_CURRENT_LIST_DIR}/reproducible_package.py ${package}
                          $ENV{SOURCE_DATE_EPOCH}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()

file(GLOB packages ${CPACK_PACKAGE_DIRECTORY}/tcpsink_${version}_*.deb
     ${CPACK_PACKAGE_DIRECTORY}/tcpsink-${version}-windows-*.zip)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${package} NAME)
  list(REMOVE_ITEM packages ${CPACK_PACKAGE_DIRECTORY}/${name}) # the older copy, if any
  list(APPEND packages ${package})
endforeach()
set(lines "")
foreach(package IN LISTS packages)
  get_filename_component(name ${package} NAME)
  file(SHA256 ${package} hash)
  list(APPEND lines "${name}\t${hash}")
endforeach()
list(SORT lines) # by name, whatever order the folder lists them in
list(TRANSFORM lines REPLACE "^([^\t]+)\t(.+)$" "\\2  \\1")
string(REPLACE ";" "\n" lines "${lines}")
file(WRITE ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS "${lines}\n")
message(STATUS "Checksums of the packages: ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS")
