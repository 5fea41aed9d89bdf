# Writes a manual page from a tool's help texts:
#   cmake -DTOOL=path -DNAME=name -DOUT=name.1 -P ManPage.cmake
# NAME comes from the first paragraph after the usage line of `TOOL --help`,
# SYNOPSIS from the usage lines, DESCRIPTION from the whole text, and one
# section per command listed under "Commands:" that answers `COMMAND --help`.
cmake_minimum_required(VERSION 3.25)

function(run_help out_var ok_var)
  execute_process(COMMAND ${TOOL} ${ARGN} --help OUTPUT_VARIABLE text RESULT_VARIABLE status ERROR_QUIET)
  set(${out_var} "${text}" PARENT_SCOPE)
  if(status EQUAL 0 AND text MATCHES "^Usage: ")
    set(${ok_var} TRUE PARENT_SCOPE)
  else()
    set(${ok_var} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Preformatted roff: backslashes escaped, hyphens as minus signs (options
# stay copyable), no line taken for a request.
function(to_roff out_var text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(REGEX REPLACE "\n+$" "" text "${text}")
  set(${out_var} ".nf\n${text}\n.fi\n" PARENT_SCOPE)
endfunction()

run_help(help ok)
if(NOT ok)
  message(FATAL_ERROR "${TOOL} --help did not print its usage")
endif()
execute_process(COMMAND ${TOOL} --version OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REGEX REPLACE "\n.*" "" version "${version}")

# The usage line, then a blank line, then the one-paragraph summary.
string(REGEX MATCH "^Usage: [^\n]*" usage "${help}")
string(REGEX REPLACE "^Usage: " "" usage "${usage}")
string(REGEX MATCH "\n\n([^\n]+(\n[^\n]+)*)" summary "${help}")
string(STRIP "${CMAKE_MATCH_1}" summary)
string(REPLACE "\n" " " summary "${summary}")
string(REGEX REPLACE "\\.$" "" summary "${summary}")

string(TOUPPER "${NAME}" title)
string(REPLACE "-" "\\-" name_roff "${NAME}")
string(REPLACE "-" "\\-" summary_roff "${summary}")
set(page ".TH ${title} 1 \"\" \"${version}\" \"User Commands\"\n.SH NAME\n${name_roff} \\- ${summary_roff}\n")
to_roff(block "${usage}")
string(APPEND page ".SH SYNOPSIS\n${block}")
string(REGEX REPLACE "^Usage: [^\n]*\n+" "" description "${help}")
to_roff(block "${description}")
string(APPEND page ".SH DESCRIPTION\n${block}")

# Commands: the first word of each indented line under "Commands:".
string(REGEX MATCH "\nCommands:\n(  [^\n]*\n)+" commands "${help}")
string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*" commands "${commands}")
set(sections "")
foreach(command IN LISTS commands)
  string(STRIP "${command}" command)
  if(command IN_LIST seen)
    continue()
  endif()
  list(APPEND seen ${command})
  run_help(text ok ${command})
  if(ok)
    to_roff(block "${text}")
    string(REPLACE "-" "\\-" command_roff "${command}")
    string(APPEND sections ".SS ${command_roff}\n${block}")
  endif()
endforeach()
if(sections)
  string(APPEND page ".SH COMMANDS\n${sections}")
endif()
string(APPEND page ".SH SEE ALSO\nThe documents installed in share/doc/velkorcrypto/ of the prefix (/usr/share/doc/velkorcrypto/\nfrom the Debian package).\n")
file(WRITE "${OUT}" "${page}")
