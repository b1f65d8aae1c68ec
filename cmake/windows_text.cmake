# Writes a text for the Windows zip with Windows line ends, which every
# Notepad shows: IN as it is, or, with MAN (groff), the manual page IN
# rendered as plain text in Windows terms for a build of BITS (32 or 64),
# headed TITLE in place of the manual's running head and foot.
# Run as cmake -DIN=... -DOUT=... [-DMAN=... -DBITS=... -DTITLE=...] -P.
if(MAN)
  execute_process(COMMAND ${MAN} -man -Tascii -P-cbou -rwindows=${BITS} ${IN}
                  OUTPUT_VARIABLE text COMMAND_ERROR_IS_FATAL ANY)
  if(NOT text MATCHES "^[^\n]+\n+(.*[^\n])\n+[^\n]+\n*$")
    message(FATAL_ERROR "${IN} did not render as a manual page")
  endif()
  string(LENGTH "${TITLE}" length)
  string(REPEAT "=" ${length} rule)
  set(text "${TITLE}\n${rule}\n\n${CMAKE_MATCH_1}\n")
else()
  file(READ ${IN} text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
