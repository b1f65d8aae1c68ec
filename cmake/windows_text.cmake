# Writes a text for the Windows zip with Windows line ends, which every
# Notepad shows: IN as it is, or, with MAN, the manual page IN rendered as
# plain text by groff. Run as cmake -DIN=... -DOUT=... [-DMAN=groff] -P.
if(MAN)
  execute_process(COMMAND ${MAN} -man -Tascii -P-cbou ${IN} OUTPUT_VARIABLE text
                  COMMAND_ERROR_IS_FATAL ANY)
else()
  file(READ ${IN} text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
