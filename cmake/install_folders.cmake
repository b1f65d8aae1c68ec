# Run by the install script before it installs a file: makes each folder in
# FOLDERS (relative to the prefix, or absolute, as GNUInstallDirs allows) that
# does not exist yet, 0755 whatever the umask. file(INSTALL) would make them
# with the umask taken from its modes, so under a strict umask (077) the
# manual and the documents would be hidden from every other user, and a
# package would differ. Folders that exist are left as they are.
foreach(folder IN LISTS FOLDERS)
  if(IS_ABSOLUTE "${folder}")
    set(path "$ENV{DESTDIR}${folder}")
  else()
    set(path "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${folder}")
  endif()
  set(missing "")
  # Up to the first folder that exists, or the start of a relative path.
  while(NOT path STREQUAL "" AND NOT IS_DIRECTORY "${path}")
    list(PREPEND missing "${path}")
    get_filename_component(path "${path}" DIRECTORY)
  endwhile()
  foreach(path IN LISTS missing)
    file(MAKE_DIRECTORY "${path}")
    file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                     WORLD_READ WORLD_EXECUTE)
  endforeach()
endforeach()
