# Makes the manual page from the --help text, so that the two never say different things.
# Usage: cmake -DINPUT=CommandLineHelp.txt -DOUTPUT=foldwise-installer.1 -DVERSION=1.0.0 -P ManPage.cmake
# A block under a heading ("Options:") becomes that section, kept as laid out; a block without
# one becomes a filled paragraph (the first of them the DESCRIPTION).
file(READ ${INPUT} help)
string(REPLACE "\\" "\\e" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(REGEX REPLACE "\n\n+" "\n\n" help "${help}")
# A semicolon would split a CMake list: it is kept out of the way while the text is cut into blocks.
string(REPLACE ";" "@SEMICOLON@" help "${help}")
string(REPLACE "\n\n" ";" blocks "${help}")

set(page ".TH FOLDWISE\\-INSTALLER 1 \"\" \"foldwise\\-installer ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\nfoldwise\\-installer \\- install or remove the Foldwise plug\\-in in Acrobat Pro\n")
set(described FALSE)
foreach(block IN LISTS blocks)
  string(STRIP "${block}" block)
  string(REPLACE "@SEMICOLON@" ";" block "${block}")
  if(block STREQUAL "")
    continue()
  endif()
  # Lines that would read as requests to the formatter start with a zero-width character.
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" block "${block}")
  if(block MATCHES "^([A-Z][A-Za-z ]*):\n(.*)$")
    string(TOUPPER "${CMAKE_MATCH_1}" heading)
    if(heading STREQUAL "USAGE")
      set(heading "SYNOPSIS")
    endif()
    string(APPEND page ".SH ${heading}\n.nf\n${CMAKE_MATCH_2}\n.fi\n")
  elseif(NOT described)
    string(APPEND page ".SH DESCRIPTION\n${block}\n")
    set(described TRUE)
  else()
    string(APPEND page ".PP\n${block}\n")
  endif()
endforeach()
file(WRITE ${OUTPUT} "${page}")
