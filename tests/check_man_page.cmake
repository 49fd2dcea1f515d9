# Fails when a program's --help names a long option the OPTIONS section of its man page lacks, or an exit
# status its help footer lists that the EXIT STATUS section lacks. Run as
#   cmake -DPROGRAM=<program> -DMAN_PAGE=<page>.1.in -P check_man_page.cmake
cmake_minimum_required(VERSION 3.25)
foreach(required PROGRAM MAN_PAGE)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "check_man_page.cmake needs -D${required}=...")
  endif()
endforeach()

execute_process(COMMAND "${PROGRAM}" --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help ended with ${status}")
endif()
file(READ "${MAN_PAGE}" page)

# The text from a section heading (.SH NAME or .SH "NAME") up to the next one.
function(man_section out name)
  string(REGEX MATCH "\n\\.SH \"?${name}\"?\n" heading "${page}")
  if(heading STREQUAL "")
    message(FATAL_ERROR "${MAN_PAGE} has no ${name} section")
  endif()
  string(FIND "${page}" "${heading}" start)
  string(LENGTH "${heading}" headingLength)
  math(EXPR start "${start} + ${headingLength}")
  string(SUBSTRING "${page}" ${start} -1 rest)
  string(FIND "${rest}" "\n.SH " end)
  string(SUBSTRING "${rest}" 0 ${end} section)
  set(${out} "${section}" PARENT_SCOPE)
endfunction()

# Roff writes an option's dashes as \-; the longest run is taken so that --baseline is not found inside
# --write-baseline.
man_section(options OPTIONS)
string(REGEX MATCHALL "\\\\-\\\\-[A-Za-z0-9]+(\\\\-[A-Za-z0-9]+)*" documented "${options}")
list(TRANSFORM documented REPLACE "\\\\-" "-")

string(REGEX MATCHALL "--[A-Za-z0-9]+(-[A-Za-z0-9]+)*" printed "${help}")
list(REMOVE_DUPLICATES printed)
if(printed STREQUAL "")
  message(FATAL_ERROR "no long option found in the help of ${PROGRAM}:\n${help}")
endif()
set(missing)
foreach(option IN LISTS printed)
  if(NOT option IN_LIST documented)
    list(APPEND missing ${option})
  endif()
endforeach()

# The footer lists each status as an indented number at the start of a line.
string(FIND "${help}" "Exit status:" footerStart)
if(footerStart GREATER -1)
  string(SUBSTRING "${help}" ${footerStart} -1 footer)
  string(REGEX MATCHALL "\n  +[0-9]+ " statusLines "${footer}")
  man_section(exitStatus "EXIT STATUS")
  foreach(line IN LISTS statusLines)
    string(STRIP "${line}" number)
    if(NOT exitStatus MATCHES "\n\\.B ${number}\n")
      list(APPEND missing "exit status ${number}")
    endif()
  endforeach()
endif()

if(missing)
  list(JOIN missing ", " missingText)
  message(FATAL_ERROR "${MAN_PAGE} does not document what ${PROGRAM} --help shows: ${missingText}")
endif()
