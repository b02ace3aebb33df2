# Writes the server's version, the commit it is built from ("unknown" outside a git checkout),
# into OUTPUT as a C++ definition; the file changes only when the version does, so an unchanged
# tree rebuilds nothing.
execute_process(COMMAND git describe --always --dirty --abbrev=12
                WORKING_DIRECTORY "${SOURCE}" OUTPUT_VARIABLE version
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
if(failed OR version STREQUAL "")
  set(version "unknown")
endif()
file(WRITE "${OUTPUT}.new"
     "#include \"server/monitor/build_version.hpp\"\n\nconst char kServerVersion[] = \"${version}\";\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.new" "${OUTPUT}")
file(REMOVE "${OUTPUT}.new")
