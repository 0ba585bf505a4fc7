# Copies a text file with CR LF line ends, for readers (such as Notepad)
# that expect them. With PART, only the lines between the lines
# "<!-- PART: begin -->" and "<!-- PART: end -->", which a Markdown reader
# does not show.
#   cmake -DINPUT=... -DOUTPUT=... [-DPART=...] -P crlf.cmake
cmake_minimum_required(VERSION 3.25)

file(READ ${INPUT} text)
string(REPLACE "\r\n" "\n" text "${text}")
if(DEFINED PART)
  set(begin "<!-- ${PART}: begin -->\n")
  set(end "<!-- ${PART}: end -->\n")
  string(FIND "${text}" "${begin}" first)
  string(FIND "${text}" "${end}" last)
  if(first EQUAL -1 OR last LESS first)
    message(FATAL_ERROR "${INPUT}: no lines <!-- ${PART}: begin --> and "
                        "<!-- ${PART}: end -->, in this order")
  endif()
  string(LENGTH "${begin}" length)
  math(EXPR first "${first} + ${length}")
  math(EXPR length "${last} - ${first}")
  string(SUBSTRING "${text}" ${first} ${length} text)
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
