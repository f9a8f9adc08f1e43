# Turns messages/messages.txt into the input of the system's message tool:
# a Windows resource script (FORMAT rc, a string table for windres) or an
# X/Open message source (FORMAT msg, for gencat). With IDENTIFIERS ON every
# text is its own identifier, which tests use to see which text a status
# got.
# Usage: cmake -DSOURCE=... -DOUTPUT=... -DFORMAT=rc|msg [-DIDENTIFIERS=ON]
#              -P generate_messages.cmake
cmake_minimum_required(VERSION 3.20)
file(STRINGS "${SOURCE}" lines ENCODING UTF-8)
if(FORMAT STREQUAL "rc")
  set(out "// Generated from messages.txt: do not edit.\nSTRINGTABLE\nBEGIN\n")
elseif(FORMAT STREQUAL "msg")
  set(out "$ Generated from messages.txt: do not edit.\n$quote \"\n$set 1\n")
else()
  message(FATAL_ERROR "FORMAT is rc or msg, not '${FORMAT}'")
endif()
set(seen "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]*(#|$)")
    continue()
  endif()
  if(NOT line MATCHES "^([0-9]+)[ \t]+([-0-9]+|\\*)[ \t]+\"([^\"\\\\]*)\"[ \t]*$")
    message(FATAL_ERROR "${SOURCE}: cannot read the line: ${line}")
  endif()
  set(id ${CMAKE_MATCH_1})
  set(text "${CMAKE_MATCH_3}")
  if(id IN_LIST seen)
    message(FATAL_ERROR "${SOURCE}: identifier ${id} twice")
  endif()
  list(APPEND seen ${id})
  if(IDENTIFIERS)
    set(text "${id}")
  endif()
  if(FORMAT STREQUAL "rc")
    string(APPEND out "  ${id}, \"${text}\"\n")
  else()
    string(APPEND out "${id} \"${text}\"\n")
  endif()
endforeach()
if(FORMAT STREQUAL "rc")
  string(APPEND out "END\n")
endif()
# Rewritten only when it changes, so that an unchanged text set rebuilds
# nothing.
file(WRITE "${OUTPUT}.new" "${out}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
