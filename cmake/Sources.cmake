# Each subsystem folder holds platform-free files (*.cpp) and thin platform files (*_win.cpp).
# The platform-free ones form the core library that builds natively as well.
set(VXM_SUBSYSTEMS common app probe eval report dialog framework)
set(VXM_CORE_SOURCES)
set(VXM_WIN_SOURCES)
set(VXM_ENTRY_SOURCES)
foreach(dir IN LISTS VXM_SUBSYSTEMS)
  file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  foreach(src IN LISTS found)
    if(src MATCHES "/app/[^/]*_win\\.cpp$")
      list(APPEND VXM_ENTRY_SOURCES ${src})  # process entry and start-up: the program only
    elseif(src MATCHES "_win\\.cpp$")
      list(APPEND VXM_WIN_SOURCES ${src})
    else()
      list(APPEND VXM_CORE_SOURCES ${src})
    endif()
  endforeach()
endforeach()

file(GLOB VXM_CORE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/core/*.cpp)
file(GLOB VXM_WIN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cpp)
file(GLOB VXM_E2E_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)

set(VXM_TEST_DEFINITIONS
    VXM_RESOURCES_DIR="${CMAKE_SOURCE_DIR}/resources"
    VXM_TESTS_DIR="${CMAKE_SOURCE_DIR}/tests"
    VXM_TOOLS_DIR="${CMAKE_SOURCE_DIR}/tools")

# The core library of the platform-free sources. Further arguments are compile and link flags
# that its users take as well (the sanitizers).
function(vxm_add_core_library target)
  add_library(${target} STATIC ${VXM_CORE_SOURCES})
  add_dependencies(${target} data_digests)
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
  target_compile_options(${target} PUBLIC ${ARGN})
  target_link_options(${target} PUBLIC ${ARGN})
endfunction()

# One program per tools/bench/*_bench.cpp, over the core library.
function(vxm_add_benchmarks)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/bench/*_bench.cpp)
  foreach(src IN LISTS sources)
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE vxmcore)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_definitions(${name} PRIVATE ${VXM_TEST_DEFINITIONS})
  endforeach()
endfunction()
