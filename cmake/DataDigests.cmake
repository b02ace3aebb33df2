# The digest table of the embedded data files is generated from the files themselves, so a
# changed table needs no hand edit.
set(VXM_DATA_FILES
    "TestShader.txt=${CMAKE_SOURCE_DIR}/resources/TestShader.txt"
    "cpu.txt=${CMAKE_SOURCE_DIR}/resources/cpu.txt"
    "gpu.txt=${CMAKE_SOURCE_DIR}/resources/gpu.txt")
set(VXM_DIGEST_HEADER ${CMAKE_BINARY_DIR}/generated/data_digest_table.inc)
set(digest_inputs)
foreach(entry IN LISTS VXM_DATA_FILES)
  string(REGEX REPLACE "^[^=]*=" "" path "${entry}")
  list(APPEND digest_inputs ${path})
endforeach()
string(REPLACE ";" "," files_arg "${VXM_DATA_FILES}")
add_custom_command(
  OUTPUT ${VXM_DIGEST_HEADER}
  COMMAND ${CMAKE_COMMAND} "-DFILES=${files_arg}" -DOUTPUT=${VXM_DIGEST_HEADER}
          -P ${CMAKE_SOURCE_DIR}/cmake/make_digest_table.cmake
  DEPENDS ${digest_inputs} ${CMAKE_SOURCE_DIR}/cmake/make_digest_table.cmake
  COMMENT "Generating the data digest table"
  VERBATIM)
add_custom_target(data_digests DEPENDS ${VXM_DIGEST_HEADER})
