# Run by cpack once the files are installed in its staging folder, before it
# makes the package, whose archives keep the staging folder's modes. The
# install rules fix every file's mode (programs 0755, the rest 0644) and the
# folders they make, but CPack makes the prefix's own folders (usr) with the
# umask taken from its modes: under a strict umask (077) a package would
# differ, and hide its folders from other users once installed. Every
# staged folder is 0755 here.
file(CHMOD_RECURSE ${CPACK_TEMPORARY_DIRECTORY}
     DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                           WORLD_EXECUTE)
