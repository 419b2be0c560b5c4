# Writes the dispatch members of NMLCorrelation.idl as one C preprocessor row
# each, so that the server's dispatch table and its member identifiers come
# from the type library text itself:
#
#   NML_MEMBER(Headers, 0x00000001, DISPATCH_PROPERTYPUT, "YesNo", "VARIANT_BOOL", false)
#
# and the uuids of the library, the enumeration, the interface and the class:
#
#   NML_UUID(library, "69CA1882-BE13-4A0F-BFD3-468B65AC65C2")   (also enumeration, dispinterface, coclass)
#
# Usage: cmake -DIDL=NMLCorrelation.idl -DOUT=dispatch_members.inc -P generate_dispatch_members.cmake
cmake_minimum_required(VERSION 3.25)
file(READ "${IDL}" idl)
# Comments out first: they may quote declarations. Brackets and semicolons
# become < > and @, which CMake's lists leave alone.
string(REGEX REPLACE "//[^\n]*" "" idl "${idl}")
string(REPLACE "[" "<" idl "${idl}")
string(REPLACE "]" ">" idl "${idl}")
string(REPLACE ";" "@" idl "${idl}")

set(ws "[ \t\r\n]*")
set(word "[A-Za-z_][A-Za-z0-9_]*")
set(rows "// Generated from ${IDL} at build time; do not edit.\n")

set(member "<${ws}id\\((0x[0-9A-Fa-f]+)\\)(${ws},${ws}propput)?${ws}>${ws}void${ws}(${word})\\(${ws}<([^>]*)>${ws}(${word})${ws}\\*${ws}(${word})${ws}\\)${ws}@")
string(REGEX MATCHALL "${member}" members "${idl}")
list(LENGTH members count)
if(count EQUAL 0)
  message(FATAL_ERROR "${IDL}: no dispatch members found")
endif()
foreach(m IN LISTS members)
  string(REGEX MATCH "${member}" _ "${m}")
  set(id "${CMAKE_MATCH_1}")
  set(kind DISPATCH_METHOD)
  if(CMAKE_MATCH_2)
    set(kind DISPATCH_PROPERTYPUT)
  endif()
  set(name "${CMAKE_MATCH_3}")
  set(attributes "${CMAKE_MATCH_4}")
  set(type "${CMAKE_MATCH_5}")
  set(param "${CMAKE_MATCH_6}")
  set(optional false)
  if(attributes MATCHES "optional")
    set(optional true)
  endif()
  string(APPEND rows "NML_MEMBER(${name}, ${id}, ${kind}, \"${param}\", \"${type}\", ${optional})\n")
endforeach()

foreach(kind library enum dispinterface coclass)
  # "<uuid(...), ...> kind name"; the enumeration's sits in "typedef <uuid(...)> enum".
  if(NOT idl MATCHES "uuid\\(([0-9A-Fa-f-]+)\\)[^>]*>${ws}${kind}[ \t\r\n]")
    message(FATAL_ERROR "${IDL}: no uuid for the ${kind}")
  endif()
  string(TOUPPER "${CMAKE_MATCH_1}" uuid)
  set(field ${kind})
  if(kind STREQUAL "enum")
    set(field enumeration)  # not the C++ keyword
  endif()
  string(APPEND rows "NML_UUID(${field}, \"${uuid}\")\n")
endforeach()

# Rewritten only when changed, so that an edit elsewhere does not rebuild.
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL rows)
  file(WRITE "${OUT}" "${rows}")
endif()
