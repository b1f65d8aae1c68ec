# Run by cpack once the files are installed in its staging folder, before it
# makes the package, whose archives keep the staging folder's modes. Every
# file has its mode from the install rules already (programs 0755, the rest
# 0644); folders are made with the umask taken from CMake's own modes, so a
# strict umask (027, 077) would leave them closed to other users once
# installed, and give other bytes. They are set to 0755 here.
file(CHMOD_RECURSE ${CPACK_TEMPORARY_DIRECTORY}
     DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                           WORLD_EXECUTE)
