# Test script: fails when a function of one object reserves a page or more of stack in one step.
# The object is built without stack probes (cmake/WindowsBuild.cmake), so such a function could
# step over the stack's guard page.
# Inputs: OBJDUMP, OBJECTS (the library's object paths joined by "|"), NAME (the object's
# file name).
cmake_minimum_required(VERSION 3.20)
string(REPLACE "|" ";" objects "${OBJECTS}")
list(FILTER objects INCLUDE REGEX "/${NAME}$")
if(NOT objects)
  message(FATAL_ERROR "no object ${NAME} among ${OBJECTS}")
endif()
execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${objects} OUTPUT_VARIABLE code
                COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "sub +\\$0x[0-9a-f]+,%esp" reservations "${code}")
foreach(reservation IN LISTS reservations)
  string(REGEX REPLACE ".*\\$(0x[0-9a-f]+),.*" "\\1" size "${reservation}")
  math(EXPR size "${size}")
  if(size GREATER_EQUAL 4096)
    message(FATAL_ERROR "${NAME}: a function reserves ${size} bytes of stack at once")
  endif()
endforeach()
message(STATUS "${NAME} keeps every frame below a page")
