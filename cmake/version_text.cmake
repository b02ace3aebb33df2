# The project's version as people see it: CMake's project version, followed in a git checkout by
# what git describe says of the commit ("1.0.0-68a9b6a3c1d2", "1.0.0-3-g68a9b6a3c1d2-dirty"; a
# tag named for the version itself adds nothing: "1.0.0"). Outside a checkout, the number alone.
function(vxm_version_text out source project_version)
  execute_process(COMMAND git describe --tags --always --dirty --abbrev=12
                  WORKING_DIRECTORY "${source}" OUTPUT_VARIABLE described
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  set(text "${project_version}")
  if(NOT failed AND NOT described STREQUAL "")
    string(REGEX REPLACE "^v?${project_version}-?" "" described "${described}")
    if(NOT described STREQUAL "")
      string(APPEND text "-${described}")
    endif()
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()
