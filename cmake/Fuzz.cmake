# Fuzz build (clang, -DVXM_FUZZ=ON): one libFuzzer program per fuzz/*_fuzz.cpp, over the same
# core sources as the program, all under AddressSanitizer and UBSan.
find_package(Boost 1.81 REQUIRED COMPONENTS program_options)
find_package(Threads REQUIRED)
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz build needs clang (libFuzzer): configure with CMAKE_CXX_COMPILER=clang++")
endif()

# Coverage instrumentation everywhere; only the programs link libFuzzer's main. A UBSan finding
# aborts, so the fuzzer records it as a crash.
# The other libraries built natively (the UI library's core) take the same flags.
set(VXM_SANITIZE_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer -g -O1)
vxm_add_core_library(vxmcore_fuzz ${VXM_SANITIZE_FLAGS})
target_link_libraries(vxmcore_fuzz PUBLIC Boost::program_options Threads::Threads)

# The report server's code, under the same flags.
include(cmake/Server.cmake)

# What the targets share: property checks, the shipped tables, the stand-in for the probe run.
file(GLOB fuzz_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*.cpp)
set(support_sources ${fuzz_sources})
list(FILTER support_sources EXCLUDE REGEX "_fuzz\\.cpp$")
list(FILTER fuzz_sources INCLUDE REGEX "_fuzz\\.cpp$")
add_library(fuzz_support OBJECT ${support_sources})
target_link_libraries(fuzz_support PUBLIC vxmcore_fuzz korfact_core vxmserver)
target_compile_definitions(fuzz_support PRIVATE ${VXM_TEST_DEFINITIONS})

add_custom_target(fuzz_targets)
foreach(src IN LISTS fuzz_sources)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE fuzz_support)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_compile_definitions(${name} PRIVATE ${VXM_TEST_DEFINITIONS})
  add_dependencies(fuzz_targets ${name})
endforeach()
