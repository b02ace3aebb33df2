# Native build: the platform-free core and its tests, under AddressSanitizer and UBSan.
find_package(Boost 1.81 REQUIRED COMPONENTS program_options)
find_package(Threads REQUIRED)
option(VXM_SANITIZE "Build the native core under AddressSanitizer and UBSan" ON)
# A tree of its own builds the report server's loopback test under ThreadSanitizer instead.
option(VXM_TSAN "Build under ThreadSanitizer (only the server's threads test is meant)" OFF)
if(VXM_TSAN)
  # Asio's fences are not modelled by ThreadSanitizer; GCC warns at every handler.
  set(VXM_SANITIZE_FLAGS -fsanitize=thread -fno-omit-frame-pointer -Wno-tsan)
elseif(VXM_SANITIZE)
  set(VXM_SANITIZE_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer
      -fno-sanitize-recover=undefined)
endif()

vxm_add_core_library(vxmcore ${VXM_SANITIZE_FLAGS})
target_link_libraries(vxmcore PUBLIC Boost::program_options Threads::Threads)

if(VXM_TESTS)
  add_executable(core_tests ${VXM_CORE_TEST_SOURCES})
  target_link_libraries(core_tests PRIVATE vxmcore gtest_main)
  target_compile_definitions(core_tests PRIVATE ${VXM_TEST_DEFINITIONS})
  add_test(NAME core_tests_native COMMAND core_tests)
endif()

# Benchmarks print figures; scripts/bench builds them without sanitizers and runs them.
vxm_add_benchmarks()
include(cmake/Server.cmake)
