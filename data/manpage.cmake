# Writes the tessary(1) manual page from the program's own help texts.
# Usage: cmake -DTESSARY=path/to/tessary -DVERSION=x.y.z -DOUTPUT=tessary.1 -P manpage.cmake

function(help_of out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${TESSARY} ${ARGN} --help
    OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "tessary ${ARGN} --help failed: ${status}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# roff-safe text: backslashes doubled, leading dots and quotes escaped, hyphens made literal.
function(roff out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

help_of(overview)
# The command names are the first word of the indented lines after "Commands:".
string(REGEX MATCH "Commands:\n(( +[^\n]*\n)+)" listing "${overview}")
string(REGEX MATCHALL "\n  [a-z-]+" names "\n${CMAKE_MATCH_1}")

roff(page_overview "${overview}")
set(page ".TH TESSARY 1 \"\" \"tessary ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\ntessary \\- a searchable home for the files in your folders\n")
string(APPEND page ".SH SYNOPSIS\n.B tessary\n[\\fICOMMAND\\fR [\\fIOPTIONS\\fR]]\n")
string(APPEND page ".SH DESCRIPTION\n.nf\n${page_overview}.fi\n.SH COMMANDS\n")
foreach(entry IN LISTS names)
  string(STRIP "${entry}" name)
  help_of(text ${name})
  roff(text "${text}")
  string(APPEND page ".SS ${name}\n.nf\n${text}.fi\n")
endforeach()
file(WRITE "${OUTPUT}" "${page}")
