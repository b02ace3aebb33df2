# Writes the server's version, the project's version with the commit it is built from, into
# OUTPUT as a C++ definition; the file changes only when the version does, so an unchanged tree
# rebuilds nothing.
include(${CMAKE_CURRENT_LIST_DIR}/version_text.cmake)
vxm_version_text(version "${SOURCE}" "${PROJECT_VERSION}")
file(WRITE "${OUTPUT}.new"
     "#include \"server/monitor/build_version.hpp\"\n\nconst char kServerVersion[] = \"${version}\";\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.new" "${OUTPUT}")
file(REMOVE "${OUTPUT}.new")
