# Run by cpack once a package is made: the package is put in a fixed form
# (what CPack leaves to the file system, the time zone, the umask and the
# builder is set) and copied to the release folder. That folder holds one
# version: packages of any other are removed from it, and SHA256SUMS lists
# every package of this version there, this one included.
set(version ${CPACK_PACKAGE_VERSION})
set(release ${CPACK_TCPSINK_RELEASE_DIR})
find_program(python3 NAMES python3 python REQUIRED)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND ${python3} ${CMAKE_CURRENT_LIST_DIR}/reproducible_package.py ${package}
                          $ENV{SOURCE_DATE_EPOCH}
                  COMMAND_ERROR_IS_FATAL ANY)
  file(COPY ${package} DESTINATION ${release})
endforeach()

# Only what packaging puts there is removed: other versions' packages, and the
# checksum files and CPack working folder that builds before 1.1.2 left.
file(GLOB stale ${release}/tcpsink_*.deb ${release}/tcpsink-*-windows-*.zip ${release}/tcpsink*.sha256)
string(REPLACE "." "\\." version_pattern ${version})
list(FILTER stale EXCLUDE REGEX "/(tcpsink_${version_pattern}_[^/]+\\.deb|tcpsink-${version_pattern}-windows-[^/]+\\.zip)$")
if(stale)
  file(REMOVE ${stale})
endif()
file(REMOVE_RECURSE ${release}/_CPack_Packages)

file(GLOB packages ${release}/tcpsink_${version}_*.deb ${release}/tcpsink-${version}-windows-*.zip)
set(lines "")
foreach(package IN LISTS packages)
  get_filename_component(name ${package} NAME)
  file(SHA256 ${package} hash)
  list(APPEND lines "${name}\t${hash}")
endforeach()
list(SORT lines) # by name, whatever order the folder lists them in
list(TRANSFORM lines REPLACE "^([^\t]+)\t(.+)$" "\\2  \\1")
string(REPLACE ";" "\n" lines "${lines}")
file(WRITE ${release}/SHA256SUMS "${lines}\n")

set(build_files ${CPACK_TCPSINK_BUILD_FILES} ${CMAKE_CPACK_COMMAND})
if(CPACK_GENERATOR STREQUAL "DEB")
  foreach(tool IN ITEMS file dpkg-shlibdeps dpkg-deb)
    find_program(TCPSINK_TOOL_${tool} ${tool} NO_CACHE REQUIRED)
    list(APPEND build_files ${TCPSINK_TOOL_${tool}})
  endforeach()
endif()
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${package} NAME)
  execute_process(COMMAND ${python3} ${CMAKE_CURRENT_LIST_DIR}/build_info.py ${release} ${name} ${build_files}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
message(STATUS "The release of tcpsink ${version}: ${release}, checksums in SHA256SUMS, "
               "what made them in BUILDINFO")
