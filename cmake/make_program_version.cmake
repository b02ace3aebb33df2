# Writes the program's version into OUTPUT, a header for the version resources and the code:
# the text (vxm_version_text), the four numbers of the resources' fixed part and the year of the
# copyright (the commit's, through SOURCE_DATE_EPOCH when a release sets it). The file changes
# only when one of them does, so an unchanged tree rebuilds nothing.
include(${CMAKE_CURRENT_LIST_DIR}/version_text.cmake)
vxm_version_text(text "${SOURCE}" "${PROJECT_VERSION}")
string(REPLACE "." "," numbers "${PROJECT_VERSION}")
string(TIMESTAMP year "%Y" UTC)
file(WRITE "${OUTPUT}.new" "#pragma once
#define VXM_VERSION_TEXT \"${text}\"
#define VXM_VERSION_NUMBERS ${numbers},0
#define VXM_COPYRIGHT_YEAR \"${year}\"
")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.new" "${OUTPUT}")
file(REMOVE "${OUTPUT}.new")
